// Census and removal over many simulated phantoms: the run's own work per
// phantom (time inside the platform calls taken out), for the indexed run
// beside the straightforward walk of the list for every device. Figures are
// nanoseconds per phantom.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "phantom/census.h"
#include "phantom/removal.h"
#include "platform/sim/sim.h"

namespace {

// The peer: the list walked from its start for every device.
class ListWalk {
 public:
  explicit ListWalk(RemovalJob& job) : job_(job) {}
  PhantomRecord* Find(const plat::WCHAR* deviceId) const {
    for (auto& r : job_.records)
      if (SameDeviceId(*r, deviceId) && IsSelected(*r)) return r.get();
    return nullptr;
  }

 private:
  RemovalJob& job_;
};

void Populate(sim::World& world, int n) {
  // One class, so that a sample of the shuffled enumeration meets records
  // from the whole list.
  for (int i = 0; i < n; ++i) {
    char id[160];
    std::snprintf(id, sizeof id, "USBSTOR\\DISK&VEN_GENERIC&PROD_FLASH_DISK&REV_8.07\\%08X&%d", 0x4C530000 + i, i % 3);
    std::string s(id);
    world.AddPhantom(plat::GUID_DEVCLASS_DISKDRIVE, std::u16string(s.begin(), s.end()), 86400 + i);
  }
}

// Nanoseconds of own work (wall time minus time in platform calls).
template <class F>
double OwnNanos(F&& f) {
  std::int64_t callsBefore = sim::World::CallNanos();
  auto t0 = std::chrono::steady_clock::now();
  f();
  auto t1 = std::chrono::steady_clock::now();
  std::int64_t calls = sim::World::CallNanos() - callsBefore;
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count() - calls);
}

// Removal of `n` phantoms, stopped after `sample` devices; own ns per device
// removed. Shuffled, the enumeration no longer follows the list, as it does
// on a real machine: the worst case for the index, and what lets a sample of
// the walk meet records from the whole list.
template <class Index>
double RemovalPerPhantom(int n, int sample, bool shuffled = true) {
  sim::ScopedWorld world;
  Populate(*world, n);
  RemovalJob job;
  RunPhantomCensus(job);
  if (shuffled) world->ShuffleDevices(12345);
  int removed = 0;
  world->onClassInstaller = [&](const std::u16string&) {
    if (++removed == sample) job.aborted = 1;
  };
  double own = OwnNanos([&] { RemovePhantomsWith<Index>(job); });
  return own / removed;
}

double CensusPerPhantom(int n) {
  sim::ScopedWorld world;
  Populate(*world, n);
  RemovalJob job;
  double own = OwnNanos([&] { RunPhantomCensus(job); });
  return own / n;
}

// The best of a few runs: the machine's other work only ever adds time.
template <class F>
double Best(F&& f) {
  double best = f();
  for (int i = 1; i < 3; ++i) best = std::min(best, f());
  return best;
}

}  // namespace

int main() {
  std::printf("%8s %13s %13s %13s %13s %9s\n", "phantoms", "census", "indexed", "indexed", "walk",
              "walk/");
  std::printf("%8s %13s %13s %13s %13s %9s\n", "", "", "(in order)", "(shuffled)", "(shuffled)", "indexed");
  for (int n : {1000, 10000, 100000}) {
    // The walk grows with the list: at 100,000 it is sampled over 2,000
    // devices, whose positions in the list are spread evenly by the shuffle.
    int walkSample = n <= 10000 ? n : 2000;
    double census = Best([&] { return CensusPerPhantom(n); });
    double inOrder = Best([&] { return RemovalPerPhantom<SelectedRecordIndex>(n, n, false); });
    double indexed = Best([&] { return RemovalPerPhantom<SelectedRecordIndex>(n, n); });
    double walk = Best([&] { return RemovalPerPhantom<ListWalk>(n, walkSample); });
    std::printf("%8d %10.0f ns %10.0f ns %10.0f ns %10.0f ns %8.0fx\n", n, census, inOrder, indexed, walk,
                walk / indexed);
  }
  return 0;
}
