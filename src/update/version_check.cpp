#include "update/version_check.h"

#include <climits>
#include <cstring>
#include <cwctype>

#include "framework/framework.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace {

constexpr char kMarker[] = "TIDEWELL:";
// A silent network must not hold the check for ever.
constexpr plat::DWORD kTimeoutMs = 30000;

// The C library's decimal rule (white space, sign, digits), saturating as
// strtol does, then taken as unsigned 32 bits.
std::uint32_t DecimalNumber(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

struct InternetTraits {
  using Type = plat::HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { plat::InternetCloseHandle(h); }
};
using UniqueInternet = plat::UniqueHandle<InternetTraits>;

}  // namespace

bool VersionListCollector::Add(const char* bytes, std::size_t count) {
  if (count == 0) return false;
  if (bytesRead_ + count > kVersionListLimit) return false;
  bytesRead_ += count;
  text_.append(bytes, strnlen(bytes, count));
  return true;
}

bool ParseVersionText(const std::wstring& text, std::uint32_t& major, std::uint32_t& minor,
                      std::uint32_t& build, std::uint32_t& revision) {
  std::size_t first = text.find(L'.');
  if (first == std::wstring::npos) return false;
  std::size_t second = text.find(L'.', first + 1);
  if (second == std::wstring::npos) return false;
  std::size_t third = text.find(L'.', second + 1);
  major = DecimalNumber(text.substr(0, first));
  minor = DecimalNumber(text.substr(first + 1, second - first - 1));
  if (third == std::wstring::npos) {
    build = DecimalNumber(text.substr(second + 1));
    revision = 0;
  } else {
    build = DecimalNumber(text.substr(second + 1, third - second - 1));
    revision = DecimalNumber(text.substr(third + 1));
  }
  return true;
}

bool FindListedVersion(const std::string& body, std::wstring& version) {
  std::size_t marker = body.find(kMarker);
  if (marker == std::string::npos) return false;
  std::size_t start = marker + sizeof(kMarker) - 1;
  std::size_t end = body.find("\r\n", start);
  if (end == std::string::npos) return false;
  // Each byte stands for itself: only digits, dots and blanks matter below,
  // and they are the same in every ANSI code page.
  std::wstring wide;
  for (std::size_t i = start; i < end; ++i)
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(body[i])));
  std::size_t b = 0, e = wide.size();
  while (b < e && IsBlank(wide[b])) ++b;
  while (e > b && IsBlank(wide[e - 1])) --e;
  version = wide.substr(b, e - b);
  return true;
}

bool ListsNewerVersion(const std::string& body, const OwnVersion& own) {
  std::wstring listed;
  if (!FindListedVersion(body, listed)) return false;
  if (listed == own.text) return false;
  std::uint32_t major = 0, minor = 0, build = 0, revision = 0;
  if (!ParseVersionText(listed, major, minor, build, revision)) return false;
  if (major != own.major) return major > own.major;
  if (minor != own.minor) return minor > own.minor;
  return build > own.build;
}

std::wstring VersionListAddress() {
  return std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/downloads/version.htm";
}

std::wstring DownloadPackageAddress() {
  return std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/downloads/Tidewell.zip";
}

bool FetchVersionList(const std::wstring& address, std::string& body) {
  const std::u16string agent = fw::ToU16(fw::AppName());
  UniqueInternet session(plat::InternetOpenW(agent.c_str(), plat::INTERNET_OPEN_TYPE_PRECONFIG,
                                             nullptr, nullptr, plat::INTERNET_FLAG_DONT_CACHE));
  if (!session) return false;
  for (plat::DWORD option :
       {plat::INTERNET_OPTION_CONNECT_TIMEOUT, plat::INTERNET_OPTION_SEND_TIMEOUT,
        plat::INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    plat::DWORD ms = kTimeoutMs;
    if (!plat::InternetSetOptionW(session.get(), option, &ms, sizeof(ms))) return false;
  }
  const std::u16string url = fw::ToU16(address);
  // Never INTERNET_FLAG_IGNORE_CERT_*: the platform checks the certificate.
  UniqueInternet file(plat::InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                             plat::INTERNET_FLAG_RELOAD |
                                                 plat::INTERNET_FLAG_DONT_CACHE |
                                                 plat::INTERNET_FLAG_TRANSFER_ASCII,
                                             0));
  if (!file) return false;
  // An error page is no version list, whatever it holds.
  plat::DWORD status = 0, size = sizeof(status);
  if (!plat::HttpQueryInfoW(file.get(), plat::HTTP_QUERY_STATUS_CODE | plat::HTTP_QUERY_FLAG_NUMBER,
                            &status, &size, nullptr) ||
      status != 200)
    return false;
  VersionListCollector collector;
  char buffer[kVersionListPiece + 1];
  for (;;) {
    plat::DWORD read = 0;
    if (!plat::InternetReadFile(file.get(), buffer, kVersionListPiece, &read)) return false;
    if (read > kVersionListPiece) return false;
    buffer[read] = 0;
    if (!collector.Add(buffer, read)) break;
  }
  file.reset();  // the file first, then the session
  session.reset();
  body = collector.Text();
  return true;
}
