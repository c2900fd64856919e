// The USB serial-number string of the device behind a drive letter.
#pragma once

#include <string>

// Read from the hub port the device is plugged into. A port that reports no
// device succeeds and leaves `serial` as the caller set it.
bool ReadUsbSerialNumber(char letter, std::u16string& serial);
