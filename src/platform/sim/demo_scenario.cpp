#include "platform/sim/demo_scenario.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct ClassPlan {
  const plat::GUID* guid;
  const char* idFormat;  // one %06d for the serial
  int phantoms;
  int failEvery;  // every n-th removal fails; 0 for none
  int blank;      // phantoms without a registry key
  int present;
};

const ClassPlan kPlans[] = {
    {&plat::GUID_DEVCLASS_DISKDRIVE, "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C5300%06d&0", 240, 0, 1, 2},
    {&plat::GUID_DEVCLASS_VOLUME, "STORAGE\\VOLUME\\_??_USBSTOR#DISK&VEN_SANDISK&PROD_CRUZER_BLADE#4C5300%06d&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}", 240, 0, 0, 3},
    {&plat::GUID_DEVCLASS_USB, "USB\\VID_0781&PID_5567\\4C5300%06d", 300, 37, 2, 4},
    {&plat::GUID_DEVCLASS_CDROM, "USBSTOR\\CDROM&VEN_GENERIC&PROD_AUTORUN_DISK&REV_1.00\\7&2A3B%06d&0", 110, 25, 0, 1},
    {&plat::GUID_DEVCLASS_SCSIADAPTER, "SCSI\\UASPSTOR&VEN_JMICRON\\%06d", 60, 0, 0, 1},
    {&plat::GUID_DEVCLASS_VOLUMESNAPSHOT, "STORAGE\\VOLUMESNAPSHOT\\HARDDISKVOLUMESNAPSHOT%06d", 80, 0, 0, 0},
};

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

void BuildDemoWorld(sim::World& world) {
  std::uint32_t seed = 20261210;
  auto next = [&seed] {  // a fixed sequence: every start shows the same machine
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  const double minAge = std::log(300.0), maxAge = std::log(3.0 * 365 * 86400);
  int serial = 1;
  for (const ClassPlan& plan : kPlans) {
    for (int i = 0; i < plan.phantoms + plan.present; ++i) {
      char id[256];
      std::snprintf(id, sizeof id, plan.idFormat, serial++);
      if (i >= plan.phantoms) {
        world.AddPresent(*plan.guid, Widen(id));
        continue;
      }
      auto age = static_cast<std::int64_t>(std::exp(minAge + (maxAge - minAge) * next()));
      std::size_t index = world.AddPhantom(*plan.guid, Widen(id), age, /*withKey=*/i >= plan.blank);
      if (plan.failEvery && i % plan.failEvery == plan.failEvery - 1)
        world.SetRemoveError(index, plat::ERROR_ACCESS_DENIED);
    }
  }
}
