// The Read/Write test's rates on a real folder against fio and dd measured in
// the same run, on the same file system: the test's write and read rates
// should lie within 10% of fio's (direct I/O, 8 MiB blocks, 80 MiB, one job,
// the synchronous engine). The File test's rates are printed beside them.
//
// Usage: speed_bench [FOLDER]   (default: speed-bench in the working folder)
// The folder's file system must honour direct I/O (ext4, xfs; not tmpfs).
#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "speedtest/speed_test.h"

namespace {

namespace fs = std::filesystem;

constexpr double kMiB = 1048576.0;
constexpr int kRounds = 3;

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// MiB/s of fio's job in direction `rw` ("write" or "read").
double Fio(const fs::path& file, const char* rw, const std::string& extra = {}) {
  std::string json = Run("fio --name=peer --filename=" + file.string() + " --rw=" + rw +
                         " --bs=8M --size=80M --direct=1 --ioengine=sync --numjobs=1"
                         " --output-format=json" + extra);
  std::size_t at = json.find(std::string("\"") + rw + "\" : {");
  at = at == std::string::npos ? at : json.find("\"bw_bytes\" : ", at);
  if (at == std::string::npos) {
    std::fprintf(stderr, "fio gave no %s figure:\n%s\n", rw, json.c_str());
    return 0;
  }
  return std::strtod(json.c_str() + at + 13, nullptr) / kMiB;
}

// MiB/s of dd: "N bytes (...) copied, S s, ...".
double Dd(const std::string& command) {
  std::string out = Run(command);
  std::size_t copied = out.find(" bytes");
  std::size_t comma = out.find("copied, ");
  if (copied == std::string::npos || comma == std::string::npos) {
    std::fprintf(stderr, "dd said:\n%s\n", out.c_str());
    return 0;
  }
  std::size_t line = out.rfind('\n', copied);
  double bytes = std::strtod(out.c_str() + (line == std::string::npos ? 0 : line + 1), nullptr);
  double seconds = std::strtod(out.c_str() + comma + 8, nullptr);
  return seconds > 0 ? bytes / seconds / kMiB : 0;
}

struct Rates {
  double write = 0, read = 0;
};

Rates Tidewell(const fs::path& folder, bool fileTest) {
  sim::ScopedWorld world;  // the counter is the host's monotonic clock
  const std::string host = folder.string();
  world->MapDriveFolder('E', std::u16string(host.begin(), host.end()));
  SpeedJob job;
  job.driveLetter = 'E';
  job.fileTest = fileTest ? 1 : 0;
  if (!RunSpeedTest(job)) std::fprintf(stderr, "the speed test failed: code %u\n", job.errorCode);
  return {job.writeRate, job.readRate};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool HonoursDirectIo(const fs::path& folder) {
  const fs::path probe = folder / "direct-probe";
  int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY | O_DIRECT, 0644);
  if (fd >= 0) ::close(fd);
  fs::remove(probe);
  return fd >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = fs::absolute(argc > 1 ? argv[1] : "speed-bench");
  fs::create_directories(folder);
  if (!HonoursDirectIo(folder)) {
    std::fprintf(stderr, "%s: its file system refuses direct I/O; pick another folder\n",
                 folder.c_str());
    return 1;
  }
  struct statfs sfs {};
  ::statfs(folder.c_str(), &sfs);
  std::printf("folder %s (file system magic 0x%lx; 0xef53 is ext2/3/4)\n", folder.c_str(),
              static_cast<unsigned long>(sfs.f_type));
  if (Run("fio --version").find("fio-") != 0) {
    std::fprintf(stderr, "fio is missing: scripts/bench.sh installs it\n");
    return 1;
  }

  const fs::path peerFile = folder / "peer.bin";
  std::vector<double> rwW, rwR, fileW, fileR, fioW, fioR, ddW, ddR, dsyncW;
  for (int round = 0; round < kRounds; ++round) {
    Rates rw = Tidewell(folder, false);
    Rates file = Tidewell(folder, true);
    rwW.push_back(rw.write);
    rwR.push_back(rw.read);
    fileW.push_back(file.write);
    fileR.push_back(file.read);
    fs::remove(peerFile);
    fioW.push_back(Fio(peerFile, "write"));
    fioR.push_back(Fio(peerFile, "read"));
    fs::remove(peerFile);
    // Beside it, appends that wait for the device as write-through does.
    dsyncW.push_back(Fio(peerFile, "write", " --fallocate=none --sync=dsync"));
    fs::remove(peerFile);
    ddW.push_back(Dd("dd if=/dev/zero of=" + peerFile.string() + " bs=8M count=10 oflag=direct"));
    ddR.push_back(Dd("dd if=" + peerFile.string() + " of=/dev/null bs=8M iflag=direct"));
    fs::remove(peerFile);
  }

  const double w = Median(rwW), r = Median(rwR), fw = Median(fioW), fr = Median(fioR);
  std::printf("median of %d rounds, MiB/s (the test's MB/s)\n", kRounds);
  std::printf("%-24s %10s %10s\n", "", "write", "read");
  std::printf("%-24s %10.2f %10.2f\n", "Read/Write test", w, r);
  std::printf("%-24s %10.2f %10.2f\n", "File test", Median(fileW), Median(fileR));
  std::printf("%-24s %10.2f %10.2f\n", "fio direct=1 sync", fw, fr);
  std::printf("%-24s %10.2f %10.2f\n", "dd oflag/iflag=direct", Median(ddW), Median(ddR));
  std::printf("%-24s %10.2f %10s\n", "fio appends, dsync", Median(dsyncW), "");
  std::printf("Read/Write test / fio:   %10.3f %10.3f   (target 0.90 to 1.10)\n", w / fw, r / fr);
  const bool met = w / fw >= 0.9 && w / fw <= 1.1 && r / fr >= 0.9 && r / fr <= 1.1;
  std::printf("target %s\n", met ? "met" : "missed");
  return 0;
}
