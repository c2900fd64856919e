// From a drive letter to the USB hub port behind it, and what the port and
// the device on it report.
#pragma once

#include "platform/platform.h"

// The USB protocols the drive's port supports (bit 1: USB 1.1, 2: USB 2.0,
// 4: USB 3) and the device's bcdUSB. Outputs stay untouched on failure, so
// callers set them first.
bool QueryUsbConnectionSpeed(char letter, plat::ULONG& supportedProtocols, plat::WORD& bcdUsb);

// A USB 3 device that reports itself at USB 2 speed (bcdUSB 0x0210) in a port
// without USB 3 support.
bool IsUsb3DeviceInUsb2Port(plat::ULONG supportedProtocols, plat::WORD bcdUsb);
