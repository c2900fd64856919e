// Physical drives of the simulated world. The disk imager fills this in;
// until then no physical drive answers.
#include "platform/sim/sim_impl.h"

namespace sim {

std::unique_ptr<IoObject> OpenPhysicalDrive(World&, DWORD, const OpenRequest&, DWORD& error) {
  error = plat::ERROR_FILE_NOT_FOUND;
  return nullptr;
}

}  // namespace sim
