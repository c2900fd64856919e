#include "update/version_check.h"

#include <climits>
#include <cstring>
#include <cwctype>

namespace {

constexpr char kMarker[] = "TIDEWELL:";

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
