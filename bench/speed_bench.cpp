// The Read/Write test's rates on a real folder against fio and dd measured in
// the same run, on the same file system: the test's write and read rates
// should lie within 10% of fio's (direct I/O, 8 MiB blocks, 80 MiB, one job,
// the synchronous engine). The File test's rates are printed beside them.
//
// fio is asked to do the I/O the test does: its writes append to a new file
// and each waits for the device (write-through), and its figure is folded
// from the latency of each call by the test's own running-rate rule, which
// weighs the last pass half and the first two 1/512 each. fio's plain
// bandwidth, and its write into a laid-out file without the wait, are
// printed beside it: on a device with a volatile write cache and no FUA the
// wait costs a cache flush per write, whoever writes.
//
// Usage: speed_bench [FOLDER]   (default: speed-bench in the working folder)
// The folder's file system must honour direct I/O (ext4, xfs; not tmpfs).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
// A pass here takes anywhere from 5 to 27 ms, and the running rate leans on
// the last passes: fewer rounds let the median wander past the 10%.
constexpr int kRounds = 15;

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

// One fio job in direction `rw` ("write" or "read") on the benchmark's terms,
// plus `extra` options.
struct FioRates {
  double bandwidth = 0;  // fio's own figure: bytes over the job's run time
  double folded = 0;     // its calls' latencies folded as the test folds its passes
};

// fio times with the monotonic clock, as the test's counter does: with its
// default TSC clock the ratios ran some 5% high in a virtual machine.
FioRates Fio(const fs::path& file, const char* rw, const std::string& extra = {}) {
  const fs::path log = file.parent_path() / "peer-log";
  std::string json = Run("fio --name=peer --filename=" + file.string() + " --rw=" + rw +
                         " --bs=8M --size=80M --direct=1 --ioengine=sync --numjobs=1"
                         " --write_lat_log=" + log.string() + " --log_avg_msec=0"
                         " --clocksource=clock_gettime --output-format=json" + extra);
  FioRates rates;
  std::size_t at = json.find(std::string("\"") + rw + "\" : {");
  at = at == std::string::npos ? at : json.find("\"bw_bytes\" : ", at);
  if (at == std::string::npos) {
    std::fprintf(stderr, "fio gave no %s figure:\n%s\n", rw, json.c_str());
    return rates;
  }
  rates.bandwidth = std::strtod(json.c_str() + at + 13, nullptr) / kMiB;
  // Each line of the log is one call: "msec, latency in ns, direction, bytes, ...".
  const fs::path lat = log.string() + "_lat.1.log";
  if (FILE* f = std::fopen(lat.c_str(), "r")) {
    long long msec = 0, ns = 0, bytes = 0;
    int dir = 0, pass = 0;
    while (std::fscanf(f, "%lld, %lld, %d, %lld, %*[^\n]", &msec, &ns, &dir, &bytes) == 4) {
      if (ns > 0) rates.folded = FoldRate(rates.folded, bytes / (ns / 1e9) / kMiB, ++pass);
    }
    std::fclose(f);
  }
  for (const char* kind : {"_lat", "_clat", "_slat"}) fs::remove(log.string() + kind + ".1.log");
  return rates;
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

// What the folder's block device does with a write that must reach the
// medium: with a volatile cache and no FUA, every such write ends in a flush.
std::string DeviceWriteCache(const fs::path& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return "device unknown";
  const std::string dev = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                          std::to_string(minor(st.st_dev));
  auto read = [](const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
      char line[64] = {};
      if (std::fgets(line, sizeof line, f)) text = line;
      std::fclose(f);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  };
  for (const std::string& queue : {dev + "/queue", dev + "/../queue"}) {
    const std::string cache = read(queue + "/write_cache");
    if (!cache.empty()) return "device cache: " + cache + ", FUA " + read(queue + "/fua");
  }
  return "device cache unknown";
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
    std::fprintf(stderr, "fio is missing: scripts/bench_speed.sh installs it\n");
    return 1;
  }

  const fs::path peerFile = folder / "peer.bin";
  std::vector<double> rwW, rwR, fileW, fileR, peerW, peerR, peerBwW, peerBwR, plainW, ddW, ddR;
  auto test = [&] {
    Rates rw = Tidewell(folder, false);
    Rates file = Tidewell(folder, true);
    rwW.push_back(rw.write);
    rwR.push_back(rw.read);
    fileW.push_back(file.write);
    fileR.push_back(file.read);
  };
  auto peers = [&] {
    // The peer writes as the test does: appending to a new file, each call
    // waiting for the device as write-through does.
    fs::remove(peerFile);
    FioRates w = Fio(peerFile, "write", " --fallocate=none --sync=dsync");
    FioRates r = Fio(peerFile, "read");
    peerW.push_back(w.folded);
    peerR.push_back(r.folded);
    peerBwW.push_back(w.bandwidth);
    peerBwR.push_back(r.bandwidth);
    // Beside it, fio's plain direct write into a laid-out file, with no wait.
    fs::remove(peerFile);
    plainW.push_back(Fio(peerFile, "write").bandwidth);
    fs::remove(peerFile);
    ddW.push_back(Dd("dd if=/dev/zero of=" + peerFile.string() + " bs=8M count=10 oflag=direct"));
    ddR.push_back(Dd("dd if=" + peerFile.string() + " of=/dev/null bs=8M iflag=direct"));
    fs::remove(peerFile);
  };
  // Whoever goes first in a round meets the device in another state, so the
  // order alternates.
  for (int round = 0; round < kRounds; ++round) {
    if (round % 2) {
      peers();
      test();
    } else {
      test();
      peers();
    }
  }

  const double w = Median(rwW), r = Median(rwR), fw = Median(peerW), fr = Median(peerR);
  std::printf("median of %d rounds, MiB/s (the test's MB/s)\n", kRounds);
  std::printf("%-36s %10s %10s\n", "", "write", "read");
  std::printf("%-36s %10.2f %10.2f\n", "Read/Write test", w, r);
  std::printf("%-36s %10.2f %10.2f\n", "File test", Median(fileW), Median(fileR));
  std::printf("%-36s %10.2f %10.2f\n", "fio, folded as the test folds", fw, fr);
  std::printf("%-36s %10.2f %10.2f\n", "fio, its bandwidth", Median(peerBwW), Median(peerBwR));
  std::printf("%-36s %10.2f %10s\n", "fio, laid-out file, no wait", Median(plainW), "");
  std::printf("%-36s %10.2f %10.2f\n", "dd oflag/iflag=direct", Median(ddW), Median(ddR));
  std::printf("Read/Write test / fio folded: %10.3f %10.3f   (target 0.90 to 1.10)\n", w / fw,
              r / fr);
  std::printf("Read/Write test / fio bandwidth: %7.3f %10.3f\n", w / Median(peerBwW),
              r / Median(peerBwR));
  std::printf("write / fio without the wait:  %7.3f   (%s)\n", w / Median(plainW),
              DeviceWriteCache(folder).c_str());
  const bool met = w / fw >= 0.9 && w / fw <= 1.1 && r / fr >= 0.9 && r / fr <= 1.1;
  std::printf("target %s\n", met ? "met" : "missed");
  return 0;
}
