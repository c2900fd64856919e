// Plain files of the simulated world on a Windows host (the demo, the suite
// under Wine): the host's own file calls, which already speak the platform's
// flags and error codes.
#include "platform/sim/sim_io.h"

#include <windows.h>

namespace sim {

namespace {

const wchar_t* Host(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

class HostFile : public IoObject {
 public:
  explicit HostFile(::HANDLE h) : h_(h) {}
  ~HostFile() override { ::CloseHandle(h_); }

  bool ReadAt(plat::LONGLONG position, void* buffer, plat::DWORD size, plat::DWORD* read,
              plat::DWORD& error) override {
    ::DWORD n = 0;
    if (!Seek(position, error)) return false;
    if (!::ReadFile(h_, buffer, size, &n, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    *read = n;
    return true;
  }
  bool WriteAt(plat::LONGLONG position, const void* buffer, plat::DWORD size, plat::DWORD* written,
               plat::DWORD& error) override {
    ::DWORD n = 0;
    if (!Seek(position, error)) return false;
    if (!::WriteFile(h_, buffer, size, &n, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    *written = n;
    return true;
  }
  bool Size(plat::LONGLONG& size, plat::DWORD& error) override {
    ::LARGE_INTEGER s{};
    if (!::GetFileSizeEx(h_, &s)) {
      error = ::GetLastError();
      return false;
    }
    size = s.QuadPart;
    return true;
  }
  bool SetSize(plat::LONGLONG size, plat::DWORD& error) override {
    if (!Seek(size, error)) return false;
    if (!::SetEndOfFile(h_)) {
      error = ::GetLastError();
      return false;
    }
    return true;
  }

 private:
  bool Seek(plat::LONGLONG position, plat::DWORD& error) {
    ::LARGE_INTEGER to{};
    to.QuadPart = position;
    if (!::SetFilePointerEx(h_, to, nullptr, FILE_BEGIN)) {
      error = ::GetLastError();
      return false;
    }
    return true;
  }
  ::HANDLE h_;
};

}  // namespace

std::unique_ptr<IoObject> OpenHostFile(const std::u16string& hostPath, const OpenRequest& request,
                                       plat::DWORD& error) {
  ::HANDLE h = ::CreateFileW(Host(hostPath), request.access, request.share, nullptr,
                             request.disposition, request.flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return nullptr;
  }
  return std::make_unique<HostFile>(h);
}

plat::DWORD HostFileAttributes(const std::u16string& hostPath, plat::DWORD& error) {
  ::DWORD attributes = ::GetFileAttributesW(Host(hostPath));
  if (attributes == INVALID_FILE_ATTRIBUTES) error = ::GetLastError();
  return attributes;
}

bool HostDeleteFile(const std::u16string& hostPath, plat::DWORD& error) {
  if (::DeleteFileW(Host(hostPath))) return true;
  error = ::GetLastError();
  return false;
}

bool HostDiskSpace(const std::u16string& hostFolder, HostSpace& space, plat::DWORD& error) {
  std::u16string folder = hostFolder;
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  ::ULARGE_INTEGER caller{}, total{}, free{};
  ::DWORD spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
  if (!::GetDiskFreeSpaceExW(Host(folder), &caller, &total, &free) ||
      !::GetDiskFreeSpaceW(Host(folder.substr(0, 3)), &spc, &bps, &freeClusters, &totalClusters)) {
    error = ::GetLastError();
    return false;
  }
  space.freeToCaller = caller.QuadPart;
  space.total = total.QuadPart;
  space.totalFree = free.QuadPart;
  space.sectorsPerCluster = spc;
  space.bytesPerSector = bps;
  space.freeClusters = freeClusters;
  space.totalClusters = totalClusters;
  return true;
}

}  // namespace sim
