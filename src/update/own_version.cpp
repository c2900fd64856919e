#include "update/own_version.h"

#include <vector>

#include "platform/platform.h"

using namespace plat;

namespace {

bool ReadFixedFileInfo(VS_FIXEDFILEINFO& out) {
  WCHAR path[260] = {};
  if (GetModuleFileNameW(nullptr, path, 260) == 0) return false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return false;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), u"\\", &value, &length) || length == 0) return false;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  if (info->dwSignature != VS_FFI_SIGNATURE) return false;
  out = *info;
  return true;
}

}  // namespace

bool GetOwnVersionNumbers(std::uint32_t& major, std::uint32_t& minor, std::uint32_t& build,
                          std::uint32_t& revision) {
  VS_FIXEDFILEINFO info{};
  if (!ReadFixedFileInfo(info)) return false;
  major = info.dwFileVersionMS >> 16;
  minor = info.dwFileVersionMS & 0xFFFF;
  build = info.dwFileVersionLS >> 16;
  revision = info.dwFileVersionLS & 0xFFFF;
  return true;
}

bool GetOwnVersionText(std::wstring& text) {
  std::uint32_t v[4];
  if (!GetOwnVersionNumbers(v[0], v[1], v[2], v[3])) return false;
  text = std::to_wstring(v[0]) + L"." + std::to_wstring(v[1]) + L"." + std::to_wstring(v[2]) + L"." +
         std::to_wstring(v[3]);
  return true;
}
