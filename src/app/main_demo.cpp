// The demo's entry point: the real window over a simulated machine, so every
// tool can be tried with no device at risk.
#include "app/app.h"
#include "platform/sim/demo_scenario.h"
#include "platform/sim/sim.h"

#include <windows.h>

#include <string>

namespace {

// Each stick's root is a folder under the user's temporary folder, made at
// start, so a speed test moves real bytes; the drive's rates, typical of its
// kind, hold the transfers back. MB/s for writing, then reading.
struct DemoStick {
  char letter;
  double write, read;
};
constexpr DemoStick kSticks[] = {
    {'E', 70, 140},                // USB 3 stick at USB 3 speed
    {'F', 18, 34}, {'G', 18, 34},  // USB 2 stick, two partitions
    {'H', 20, 36}, {'J', 20, 36},  // USB 2 sticks on USB 3 ports
    {'I', 28, 38},                 // USB 3 stick held to the USB 2 bus
};

void AddStickFolders(sim::World& world) {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return;  // the sticks then hold no files, and a test says so
  std::wstring base = std::wstring(temp, n) + L"TidewellDemo";
  CreateDirectoryW(base.c_str(), nullptr);
  for (const DemoStick& stick : kSticks) {
    std::wstring folder = base + L"\\" + static_cast<wchar_t>(stick.letter);
    CreateDirectoryW(folder.c_str(), nullptr);
    world.MapDriveFolder(stick.letter, std::u16string(folder.begin(), folder.end()));
    world.SetDriveRates(stick.letter, stick.write * 1048576, stick.read * 1048576);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  sim::World world;
  sim::Install(&world);
  world.SetFileVersion(TIDEWELL_VERSION_MAJOR, TIDEWELL_VERSION_MINOR, TIDEWELL_VERSION_PATCH,
                       TIDEWELL_VERSION_TWEAK);
  BuildDemoWorld(world);
  AddStickFolders(world);
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
