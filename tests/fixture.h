// Shared test fixtures: a fresh simulated world per test, and the main
// dialog opened in the headless backend.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/headless/headless.h"
#include "platform/sim/sim.h"
#include "ui/tidewell_dlg.h"

namespace hl = fw::headless;

class SimTest : public ::testing::Test {
 protected:
  ~SimTest() override { hl::ResetScripts(); }
  sim::ScopedWorld world;
};

class DialogTest : public SimTest {
 protected:
  void TearDown() override {
    if (dlg) {
      hl::Close(*dlg);
      world->WaitForThreads();
    }
  }
  CTidewellDlg& Open() {
    dlg = std::make_unique<CTidewellDlg>();
    hl::Open(*dlg);
    return *dlg;
  }
  std::wstring Text(int id) const { return hl::Text(*dlg, id); }
  std::unique_ptr<CTidewellDlg> dlg;
};

inline std::u16string Id(const std::string& s) { return std::u16string(s.begin(), s.end()); }

#include <condition_variable>
#include <mutex>

// Holds a worker at a point until the test lets it go.
class Gate {
 public:
  void Arrive() {
    std::unique_lock<std::mutex> lock(m_);
    reached_ = true;
    cv_.notify_all();
    cv_.wait(lock, [&] { return released_; });
  }
  bool WaitReached(int ms = 10000) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return reached_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m_);
    released_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool reached_ = false;
  bool released_ = false;
};

// Holds the removal worker at the device with this ID, before its removal.
inline void HoldWorkerAt(sim::World& world, Gate& gate, std::u16string deviceId) {
  world.onClassInstaller = [&gate, deviceId](const std::u16string& id) {
    if (id == deviceId) gate.Arrive();
  };
}
