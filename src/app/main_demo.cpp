// The demo's entry point: the real window over a simulated machine, so every
// tool can be tried with no device at risk.
#include "app/app.h"
#include "platform/sim/demo_scenario.h"
#include "platform/sim/sim.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  sim::World world;
  sim::Install(&world);
  world.SetFileVersion(TIDEWELL_VERSION_MAJOR, TIDEWELL_VERSION_MINOR, TIDEWELL_VERSION_PATCH,
                       TIDEWELL_VERSION_TWEAK);
  BuildDemoWorld(world);
  // The demo's drives have real bytes, kept in the user's temporary folder.
  wchar_t temp[MAX_PATH + 1] = L"";
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n > 0 && n <= MAX_PATH) AddDemoDisks(world, std::u16string(temp, temp + n));
  world.SetRealTime(true);
  world.SetRemovalDelayMs(25);  // about what the class installer takes on a real machine
  theApp.InitInstance();
  world.WaitForThreads();
  sim::Install(nullptr);
  return 0;
}
