// From a drive letter to the USB hub port behind it, and what the port and
// the device on it report.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/unique_handle.h"

// The steps of the walk; each leaves its outputs untouched when it fails.
// The hub port of the disk whose device number is the volume's (its address;
// 0 when the disk has none).
bool FindUsbPortNumber(char letter, plat::ULONG& port);
// The disk (removable drive) or CD-ROM (optical drive) node behind the volume.
bool FindVolumeDevInst(char letter, plat::DEVINST& devInst);
// The interface path of the hub node.
bool FindHubDevicePath(plat::DEVINST hub, std::u16string& path);
// The hub above the drive's USB device, opened for queries, and its port.
bool LocateUsbPort(char letter, plat::UniqueFile& hub, plat::ULONG& port);
// The device on the port: its bcdUSB and its serial-number string ("X" when
// shorter than two characters). A port without a device succeeds and writes
// neither.
bool QueryHubPort(plat::HANDLE hub, plat::ULONG port, plat::WORD& bcdUsb,
                  std::u16string& serialText);

// The USB protocols the drive's port supports (bit 1: USB 1.1, 2: USB 2.0,
// 4: USB 3) and the device's bcdUSB. Callers set both first: a port without
// a device leaves bcdUsb as it was, and a failure leaves supportedProtocols
// untouched (bcdUsb may already hold the device's value).
bool QueryUsbConnectionSpeed(char letter, plat::ULONG& supportedProtocols, plat::WORD& bcdUsb);

// A USB 3 device that reports itself at USB 2 speed (bcdUSB 0x0210) in a port
// without USB 3 support.
bool IsUsb3DeviceInUsb2Port(plat::ULONG supportedProtocols, plat::WORD bcdUsb);
