// The imager against dd on the same files: a 1 GiB file-backed drive, 90%
// zeros, imaged in full and short with dd's block size the drive's cylinder,
// alternating, best of three. Then the peak resident memory a run adds, for
// a 1 GiB and a 4 GiB drive: it must stay within two blocks.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "imager/disk_image.h"
#include "platform/sim/sim.h"

namespace {

namespace fs = std::filesystem;

constexpr plat::DWORD kTracks = 255, kSectors = 63, kBytes = 512;
constexpr std::uint64_t kBlock = kTracks * kSectors * kBytes;  // 8,225,280

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A drive file of `size` bytes: its first tenth pseudo-random, the rest zeros
// (a hole). Returns its cylinders.
std::uint64_t MakeDrive(const fs::path& file, std::uint64_t size) {
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string chunk(1 << 20, '\0');
    std::uint32_t seed = 12345;
    for (std::uint64_t written = 0; written < size / 10; written += chunk.size()) {
      for (char& c : chunk) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
  }
  fs::resize_file(file, size);
  return size / kBlock;
}

void AddDrive(sim::World& world, const fs::path& file, std::uint64_t cylinders) {
  sim::World::PhysicalDrive d;
  d.geometry = {static_cast<plat::LONGLONG>(cylinders), 11, kTracks, kSectors, kBytes};
  d.backingFile = U16(file.string());
  world.AddPhysicalDrive(1, d);
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double ImageSeconds(const fs::path& out, bool shortImage) {
  ImageJob job;
  job.imagePath = U16(out.string());
  job.deviceNumber = 1;
  job.shortImage = shortImage ? 1 : 0;
  auto t0 = std::chrono::steady_clock::now();
  if (!CreateDiskImage(job)) {
    std::fprintf(stderr, "image failed: %u\n", job.errorCode);
    std::exit(1);
  }
  return Seconds(std::chrono::steady_clock::now() - t0);
}

double DdSeconds(const fs::path& drive, const fs::path& out, std::uint64_t cylinders) {
  std::string cmd = "dd if='" + drive.string() + "' of='" + out.string() + "' bs=" + std::to_string(kBlock) +
                    " count=" + std::to_string(cylinders) + " status=none";
  auto t0 = std::chrono::steady_clock::now();
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "dd failed\n");
    std::exit(1);
  }
  return Seconds(std::chrono::steady_clock::now() - t0);
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Peak resident growth of a full run, in a child process of its own so that
// no earlier run's peak counts.
long PeakGrowthKb(const fs::path& drive, std::uint64_t cylinders) {
  int pipefd[2];
  if (pipe(pipefd) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    sim::World world;
    sim::Install(&world);
    AddDrive(world, drive, cylinders);
    long before = ResidentKb();
    ImageSeconds("/dev/null", false);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    long growth = usage.ru_maxrss - before;
    if (write(pipefd[1], &growth, sizeof growth) != sizeof growth) _exit(1);
    _exit(0);
  }
  long growth = -1;
  if (read(pipefd[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  waitpid(pid, nullptr, 0);
  close(pipefd[0]);
  close(pipefd[1]);
  return growth;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "tw_image_bench";
  fs::create_directories(dir);
  const fs::path drive = dir / "drive-1g.bin", out = dir / "out.img", ddOut = dir / "dd.img";
  const std::uint64_t cylinders = MakeDrive(drive, 1ull << 30);

  bool ok = true;
  {
    sim::World world;
    sim::Install(&world);
    AddDrive(world, drive, cylinders);
    for (bool shortImage : {false, true}) {
      double best = 1e9, bestDd = 1e9;
      for (int round = 0; round < 3; ++round) {
        best = std::min(best, ImageSeconds(out, shortImage));
        bestDd = std::min(bestDd, DdSeconds(drive, ddOut, cylinders));
      }
      const double bytes = static_cast<double>(cylinders * kBlock);
      const double rate = bytes / best / 1e6, ddRate = bytes / bestDd / 1e6;
      const double ratio = rate / ddRate;
      std::printf("%-6s image %7.0f MB/s   dd %7.0f MB/s   ratio %.2f (at least 0.95)%s\n",
                  shortImage ? "short" : "full", rate, ddRate, ratio, ratio >= 0.95 ? "" : "  FAIL");
      ok = ok && ratio >= 0.95;
    }
    sim::Install(nullptr);
  }
  fs::remove(out);
  fs::remove(ddOut);

  const fs::path big = dir / "drive-4g.bin";
  const std::uint64_t bigCylinders = MakeDrive(big, 4ull << 30);
  const long growth1 = PeakGrowthKb(drive, cylinders), growth4 = PeakGrowthKb(big, bigCylinders);
  const long limit = static_cast<long>(2 * kBlock / 1024);
  std::printf("peak resident growth: 1 GiB %ld KiB, 4 GiB %ld KiB (at most %ld KiB, two blocks)%s\n",
              growth1, growth4, limit, growth1 >= 0 && growth4 >= 0 && growth1 <= limit && growth4 <= limit ? "" : "  FAIL");
  ok = ok && growth1 >= 0 && growth4 >= 0 && growth1 <= limit && growth4 <= limit;
  fs::remove_all(dir);
  return ok ? 0 : 1;
}
