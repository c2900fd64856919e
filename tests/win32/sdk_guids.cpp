// Our interface classes against the SDK's, defined here from its headers.
// platform.h must come before <windows.h>.
// clang-format off
#include <cstring>

#include "platform/platform.h"

#include <initguid.h>
#include <windows.h>
#include <usbioctl.h>
// clang-format on

namespace {
bool Same(const plat::GUID& ours, const ::GUID& sdk) { return std::memcmp(&ours, &sdk, sizeof sdk) == 0; }
}  // namespace

bool InterfaceClassesAreTheSdks() {
  return Same(plat::GUID_DEVINTERFACE_DISK, ::GUID_DEVINTERFACE_DISK) &&
         Same(plat::GUID_DEVINTERFACE_CDROM, ::GUID_DEVINTERFACE_CDROM) &&
         Same(plat::GUID_DEVINTERFACE_USB_HUB, ::GUID_DEVINTERFACE_USB_HUB);
}
