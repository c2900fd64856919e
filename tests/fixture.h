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
