// From the bytes the server sends to the decision. The first byte sets the
// size of the pieces the reads hand out (0 for full pieces of 1,023 bytes,
// each step 4 bytes fewer); the rest is the body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/version_check.h"

namespace {

bool Newer(const std::string& body, const OwnVersion& own) { return ListsNewerVersion(body, own); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = kVersionListPiece - 4 * std::size_t{data[0]};
  const char* body = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  VersionListCollector collector;
  std::size_t offered = 0;
  for (std::size_t at = 0; at < length; at += piece) {
    std::string buffer(body + at, std::min(piece, length - at));
    if (!collector.Add(buffer.c_str(), buffer.size())) break;
    offered += buffer.size();
  }
  const std::string& text = collector.Text();
  if (text.size() > kVersionListLimit || text.size() > offered) std::abort();

  const OwnVersion own{L"1.2.3.4", 1, 2, 3, 4};
  if (!Newer(text, own)) return 0;

  // Announced: there is an entry, it parses, and it is not the own text.
  std::wstring listed;
  std::uint32_t v[4] = {};
  if (!FindListedVersion(text, listed) || listed == own.text ||
      !ParseVersionText(listed, v[0], v[1], v[2], v[3]))
    std::abort();
  // Newer is an order: the own version is then not newer than the listed one.
  OwnVersion swapped{listed, v[0], v[1], v[2], v[3]};
  if (Newer("TIDEWELL:1.2.3.4\r\n", swapped)) std::abort();
  return 0;
}
