// The program file's own version, from its version resource.
#pragma once

#include <cstdint>
#include <string>

// "%d.%d.%d.%d" of the file version; false when it cannot be read.
bool GetOwnVersionText(std::wstring& text);
bool GetOwnVersionNumbers(std::uint32_t& major, std::uint32_t& minor, std::uint32_t& build,
                          std::uint32_t& revision);
