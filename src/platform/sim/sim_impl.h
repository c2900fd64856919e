// The simulated world's state, shared by the files that implement the
// platform calls (sim.cpp and its siblings). Not for tests: they use sim.h.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/sim/sim.h"
#include "platform/sim/sim_io.h"

namespace sim {

using plat::FILETIME;
using plat::LONGLONG;
using plat::LPTHREAD_START_ROUTINE;

struct SimMutex {
  std::thread::id owner;
  int count = 0;
  int handles = 0;
  std::u16string name;
};

struct SimThread {
  LPTHREAD_START_ROUTINE start = nullptr;
  void* param = nullptr;
  bool resumed = false;
  bool cancelled = false;
  bool done = false;
  bool handleOpen = true;
  bool parked = false;  // idle in its message loop
  std::thread thread;
};

struct Handle {
  enum Kind { Mutex, Thread, Io } kind;
  std::shared_ptr<SimMutex> mutex;
  std::shared_ptr<SimThread> thread;
  std::shared_ptr<IoHandleState> io;
};

struct DevInfoSet {
  std::vector<std::size_t> devices;  // indexes into Impl::devices
  std::vector<std::size_t> interfaces;  // indexes into Impl::interfaces (interface sets)
};

struct DeviceNode {
  DEVINST parent = 0;
  std::u16string instanceId;
  bool hasAddress = false;
  DWORD address = 0;
};

struct Hub {
  std::map<DWORD, World::UsbPort> ports;
};

struct Key {
  FILETIME lastWrite{};
};

struct OpenKey {
  std::u16string path;
};

struct IoFault {
  std::u16string path;
  bool write;
  LONGLONG offset;
  DWORD error;
};
using FileOpen = World::FileOpen;

struct Failure {
  std::string call;
  DWORD error;
  int skip;
};

struct World::Impl {
  mutable std::mutex mu;
  std::condition_variable cv;  // mutex releases and thread ends
  std::vector<Device> devices;
  std::vector<std::pair<GUID, DWORD>> brokenClasses;
  std::unordered_map<std::u16string, Key> keys;                // lower-case path
  std::unordered_set<DevInfoSet*> sets;
  std::unordered_set<OpenKey*> openKeys;
  std::unordered_set<Handle*> handles;
  std::map<std::u16string, std::shared_ptr<SimMutex>> mutexes;  // by name
  std::vector<std::shared_ptr<SimThread>> threads;
  std::vector<Failure> failures;
  std::map<std::string, int> calls;
  std::vector<ShellCall> shellCalls;

  // Files and drive folders (sim_files.cpp).
  std::map<char, std::u16string> driveFolders;  // upper-case letter -> host folder
  std::map<char, HostSpace> diskSpace;          // set by a test; else the host's
  std::vector<IoFault> ioFaults;
  std::vector<FileOpen> fileOpens;
  std::function<LONGLONG()> counter;

  // Volumes, device nodes, interfaces and hubs (sim_volumes.cpp, sim_usb.cpp).
  std::map<char, World::Volume> volumes;            // upper-case letter
  std::vector<DeviceNode> nodes;                    // DEVINST = kFirstNode + index
  std::vector<World::Interface> interfaces;
  std::map<DEVINST, Hub> hubs;
  std::vector<World::HubRequest> hubRequests;
  static constexpr DEVINST kFirstNode = 0x10000;  // above the phantom classes' nodes
  LONGLONG counterFrequency = 10000000;
  // Physical drives (sim_disks.cpp).
  struct DiskOpen {
    DWORD access, share;
  };
  struct Disk {
    World::PhysicalDrive drive;
    std::shared_ptr<std::vector<DiskOpen>> opens = std::make_shared<std::vector<DiskOpen>>();
  };
  std::map<DWORD, Disk> disks;

  std::int64_t nowBase = 1765000000;  // 2025-12-06, UTC
  std::atomic<std::int64_t> virtualMs{0};
  bool realTime = false;
  std::chrono::steady_clock::time_point realStart;

  // Drive rates, the call log and the memory blocks (sim_files.cpp).
  std::map<char, std::pair<double, double>> driveRates;  // write, read bytes per second
  bool logCalls = false;
  std::vector<std::string> callLog;
  std::unordered_set<void*> allocations;
  void LogLocked(const char* call) {
    if (logCalls) callLog.emplace_back(call);
  }

  // Counts the call and takes a pending failure for it, if one is due.
  bool Fails(const std::string& call, DWORD& error) {
    std::lock_guard<std::mutex> lock(mu);
    ++calls[call];
    if (logCalls) callLog.push_back(call);
    for (auto it = failures.begin(); it != failures.end(); ++it) {
      if (it->call != call) continue;
      if (it->skip > 0) {
        --it->skip;
        return false;
      }
      error = it->error;
      failures.erase(it);
      return true;
    }
    return false;
  }

  std::int64_t NowMsLocked() const {
    if (realTime)
      return virtualMs.load() + std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - realStart)
                                    .count();
    return virtualMs.load();
  }
};

// The world's lock is taken by every call that reads or changes its state;
// an object behind a handle is used by one thread at a time, as the program
// uses its handles.

}  // namespace sim
