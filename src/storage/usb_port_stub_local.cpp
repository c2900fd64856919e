#include "storage/usb_port.h"
bool QueryUsbConnectionSpeed(char, plat::ULONG&, plat::WORD&) { return false; }
bool IsUsb3DeviceInUsb2Port(plat::ULONG p, plat::WORD b) { return !(p & 4) && b == 0x0210; }
