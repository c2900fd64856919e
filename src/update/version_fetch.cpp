// The fetch of the version list, and the maker's addresses.
#include "framework/framework.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"
#include "update/version_check.h"

namespace {

// A silent network must not hold the check for ever.
constexpr plat::DWORD kTimeoutMs = 30000;

struct InternetTraits {
  using Type = plat::HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { plat::InternetCloseHandle(h); }
};
using UniqueInternet = plat::UniqueHandle<InternetTraits>;

}  // namespace

std::wstring MakerAddress(const std::wstring& path) {
  return std::wstring(L"https://") + TIDEWELL_MAKER_HOST + path;
}

std::wstring VersionListAddress() { return MakerAddress(L"/downloads/version.htm"); }

std::wstring DownloadPackageAddress() { return MakerAddress(L"/downloads/Tidewell.zip"); }

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
