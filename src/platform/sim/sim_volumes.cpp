// Volumes, device interfaces and hubs of the simulated world.
// The drive list and the USB port walk fill this in; until then the world
// has no volume and no interface.
#include "platform/sim/sim_impl.h"

namespace sim {

std::unique_ptr<IoObject> OpenVolume(World&, char, const OpenRequest&, DWORD& error) {
  error = plat::ERROR_FILE_NOT_FOUND;
  return nullptr;
}

std::unique_ptr<IoObject> OpenDeviceInterface(World&, const OpenRequest&, DWORD& error) {
  error = plat::ERROR_FILE_NOT_FOUND;
  return nullptr;
}

}  // namespace sim

namespace plat {

DWORD GetLogicalDriveStringsA(DWORD size, char* buffer) {
  if (buffer && size > 0) buffer[0] = 0;
  return 0;
}

UINT GetDriveTypeA(const char*) { return DRIVE_NO_ROOT_DIR; }
UINT GetDriveTypeW(const WCHAR*) { return DRIVE_NO_ROOT_DIR; }

}  // namespace plat
