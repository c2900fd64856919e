// The version check: the version list fetched from the maker's web server,
// the entry of this program found in it, and the decision whether it names a
// newer version. The decision is plain code over bytes, so that it can be
// tested and fuzzed without a network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The program's own version, as the check compares it.
struct OwnVersion {
  std::wstring text;  // "%d.%d.%d.%d"
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t revision = 0;
};

// Pieces of the body read per call, and the most that is collected.
constexpr std::size_t kVersionListPiece = 1023;
constexpr std::size_t kVersionListLimit = 10000;

// Gathers the body as it is read: each piece as text up to its first zero
// byte, until a piece would take the bytes read past the limit.
class VersionListCollector {
 public:
  // `bytes` holds `count` bytes just read; false when reading is to stop
  // (nothing read, or the limit would be passed: the piece is not kept).
  bool Add(const char* bytes, std::size_t count);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  std::size_t bytesRead_ = 0;
};

// "A.B.C" or "A.B.C.D", each number by the C library's decimal rule taken
// as unsigned 32 bits; the fourth is 0 when absent. False with fewer than
// two dots; the outputs are then untouched.
bool ParseVersionText(const std::wstring& text, std::uint32_t& major, std::uint32_t& minor,
                      std::uint32_t& build, std::uint32_t& revision);

// The version text of this program's entry ("TIDEWELL:" up to the next
// CR LF), widened and trimmed; false when there is no complete entry.
bool FindListedVersion(const std::string& body, std::wstring& version);

// True when the collected body lists a version newer than `own`: its
// (major, minor, build) is greater, compared in that order.
bool ListsNewerVersion(const std::string& body, const OwnVersion& own);

// A page of the maker's web server (the build's host), from its path; the
// version list and the download package are two of them.
std::wstring MakerAddress(const std::wstring& path);
std::wstring VersionListAddress();
std::wstring DownloadPackageAddress();

// Fetches the document at `address` as the check reads the version list;
// false, silently, on any failure of the internet layer or an answer other
// than 200.
bool FetchVersionList(const std::wstring& address, std::string& body);
