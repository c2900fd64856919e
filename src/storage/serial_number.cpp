#include "storage/serial_number.h"

#include "storage/usb_port.h"

bool ReadUsbSerialNumber(char letter, std::u16string& serial) {
  plat::UniqueFile hub;
  plat::ULONG port = 0;
  if (!LocateUsbPort(letter, hub, port)) return false;
  plat::WORD bcdUsb = 0;
  return QueryHubPort(hub.get(), port, bcdUsb, serial);
}
