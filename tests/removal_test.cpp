#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"
#include "phantom/removal.h"
#include "ui/messages.h"

using namespace plat;

namespace {

constexpr int kJobControls[] = {1003, 1004, 1005, 1, 1007, 1008, 1009, 1011, 1013, 1010,
                                1016, 1028, 1033, 1017, 1018, 1015, 1014, 1030, 1026, 1027};
constexpr int kLeftUsable[] = {1002, 1035, 1036, 1019, 1041, 1020, 1029};

class RemovalTest : public DialogTest {
 protected:
  // `n` USB phantoms, a day old each.
  void AddPhantoms(int n, const char* prefix = "USB\\VID_0781&PID_5567\\") {
    for (int i = 0; i < n; ++i) world->AddPhantom(GUID_DEVCLASS_USB, Id(prefix + std::to_string(i)), 86400);
  }
  bool Finish() { return hl::PumpUntilHandled(*dlg, WM_REMOVAL_FINISHED); }
  // The counts field 1001 showed from the start of the run on.
  std::vector<std::wstring> Countdown() const {
    const hl::Log& log = hl::EventLog(*dlg);
    auto start = std::find_if(log.begin(), log.end(),
                              [](const std::wstring& e) { return e.rfind(L"1006 text Removing", 0) == 0; });
    std::vector<std::wstring> out;
    for (auto it = start; it != log.end(); ++it) {
      if (it->rfind(L"1006 text", 0) == 0 && it != start) break;  // the result
      if (it->rfind(L"1001 text ", 0) == 0) out.push_back(it->substr(10));
    }
    return out;
  }
};

std::vector<std::wstring> Counts(std::vector<unsigned> values) {
  std::vector<std::wstring> out;
  for (unsigned v : values) out.push_back(std::to_wstring(v) + L" phantoms to remove.");
  return out;
}

TEST_F(RemovalTest, FiveRemovedCountDownEveryOneAndLeaveTheCensusEmpty) {
  AddPhantoms(5);
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\KEPT", 86400);
  CTidewellDlg& d = Open();
  hl::Click(d, 1007);  // disk drives stay
  ASSERT_TRUE(hl::Click(d, 1002));
  EXPECT_EQ(Text(1006), L"Removing 5 phantoms now!");
  EXPECT_EQ(Text(1002), L"Abort");
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Countdown(), Counts({4, 3, 2, 1, 0}));
  EXPECT_EQ(Text(1006), L"Success!");
  EXPECT_EQ(Text(1002), L"Remove");
  EXPECT_EQ(Text(1000), L"1 phantoms detected.");
  EXPECT_EQ(Text(1001), L"0 phantoms to remove.");  // the disk box is still unchecked
  EXPECT_EQ(Text(1009), L"USB = 0");
  EXPECT_EQ(world->Phantoms(), std::vector<std::u16string>{u"DISK\\KEPT"});
}

TEST_F(RemovalTest, TwoHundredFiftyCountDownByTensThenByOnes) {
  AddPhantoms(250);
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  ASSERT_TRUE(Finish());
  std::vector<unsigned> expected;
  for (unsigned v = 240; v >= 100; v -= 10) expected.push_back(v);
  for (int v = 99; v >= 0; --v) expected.push_back(static_cast<unsigned>(v));
  EXPECT_EQ(Countdown(), Counts(expected));
  EXPECT_EQ(Text(1006), L"Success!");
}

TEST_F(RemovalTest, AFailedRemovalPostsNothingAndIsCounted) {
  AddPhantoms(5);
  world->SetRemoveError(4, ERROR_ACCESS_DENIED);  // the last one
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Countdown(), Counts({4, 3, 2, 1}));
  EXPECT_EQ(Text(1006), L"There were errors! 1 phantoms failed removal.");
  EXPECT_EQ(Text(1000), L"1 phantoms detected.");  // still there
}

TEST_F(RemovalTest, ADeviceAttachedAgainIsLeftAloneAndCountedAsFailed) {
  AddPhantoms(3);
  world->onClassInstaller = [&](const std::u16string& id) {
    if (id == Id("USB\\VID_0781&PID_5567\\0")) world->SetStatus(2, CR_SUCCESS);
  };
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(world->DeviceAt(2).removeCalls, 0);
  EXPECT_EQ(Text(1006), L"There were errors! 1 phantoms failed removal.");
  EXPECT_EQ(Text(1000), L"0 phantoms detected.");  // present now, so no phantom
}

TEST_F(RemovalTest, AbortStopsAfterTheDeviceInHandAndTheRestAreListedAgain) {
  AddPhantoms(5);
  Gate gate;
  HoldWorkerAt(*world, gate, Id("USB\\VID_0781&PID_5567\\1"));
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  ASSERT_TRUE(gate.WaitReached());
  hl::Click(d, 1002);  // Abort
  hl::Click(d, 1002);  // twice: same single result
  EXPECT_EQ(Text(1002), L"Abort");
  gate.Release();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Text(1006), L"Aborted!");
  EXPECT_EQ(world->DeviceAt(1).removed, true);  // the one in hand
  EXPECT_EQ(world->DeviceAt(2).removeCalls, 0);
  EXPECT_EQ(Text(1000), L"3 phantoms detected.");
  EXPECT_EQ(Text(1001), L"3 phantoms to remove.");
  EXPECT_EQ(d.Removal().aborted, 0);
  EXPECT_EQ(hl::Pump(d), 0);  // one end message only
}

TEST_F(RemovalTest, AbortStillWorksWhenTheAbortLockCannotBeHad) {
  AddPhantoms(4);
  world->FailCall("CreateMutexW", ERROR_ACCESS_DENIED);  // "IsAborted" held by an object of another kind
  Gate gate;
  HoldWorkerAt(*world, gate, Id("USB\\VID_0781&PID_5567\\0"));
  CTidewellDlg& d = Open();
  ASSERT_FALSE(d.Removal().abortLock.IsValid());
  hl::Click(d, 1002);
  ASSERT_TRUE(gate.WaitReached());
  hl::Click(d, 1002);
  gate.Release();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Text(1006), L"Aborted!");
  EXPECT_EQ(Text(1000), L"3 phantoms detected.");
}

TEST_F(RemovalTest, AnAbortAfterTheLastAbortTestStillReadsAborted) {
  AddPhantoms(2);
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  world->WaitForThreads();  // the worker has posted its end and returned
  hl::Click(d, 1002);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Text(1006), L"Aborted!");
  EXPECT_EQ(Text(1000), L"0 phantoms detected.");
}

TEST_F(RemovalTest, TheJobControlsAreLockedForTheRunAndTheOutcomeWaitsOneSecond) {
  AddPhantoms(3);
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  for (int id : kJobControls) EXPECT_FALSE(hl::Enabled(d, id)) << id;
  for (int id : kLeftUsable) EXPECT_TRUE(hl::Enabled(d, id)) << id;

  std::wstring statusDuringWait;
  bool exitEnabledDuringWait = true;
  std::int64_t before = world->NowMs();
  world->onSleep = [&](DWORD ms) {
    if (ms != 1000) return;
    statusDuringWait = Text(1006);
    exitEnabledDuringWait = hl::Enabled(d, 1);
  };
  ASSERT_TRUE(Finish());
  EXPECT_EQ(statusDuringWait, L"Removing 3 phantoms now!");
  EXPECT_FALSE(exitEnabledDuringWait);
  EXPECT_GE(world->NowMs() - before, 1000);
  EXPECT_EQ(Text(1006), L"Success!");
  for (int id : kJobControls) EXPECT_TRUE(hl::Enabled(d, id)) << id;
  EXPECT_GT(hl::Invalidations(d, 1006), 0);
  EXPECT_GT(hl::Invalidations(d, 1001), 0);
}

TEST_F(RemovalTest, NothingSelectedShowsAMessageAndStartsNothing) {
  AddPhantoms(2);
  CTidewellDlg& d = Open();
  for (int box : {1007, 1008, 1009, 1011, 1013, 1010}) hl::Click(d, box);
  hl::Click(d, 1002);
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].text, L"No phantoms to remove.");
  EXPECT_EQ(hl::MessageBoxesShown()[0].type, fw::MB_OK | fw::MB_ICONWARNING);
  EXPECT_EQ(world->CallCount("CreateThread"), 1);  // the update check's, at start
  EXPECT_EQ(Text(1002), L"Remove");
  EXPECT_TRUE(hl::Enabled(d, 1));
}

TEST_F(RemovalTest, AWorkerThatCannotBeCreatedIsReportedAndTheDialogIsIdleAgain) {
  AddPhantoms(2);
  CTidewellDlg& d = Open();
  world->FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
  hl::Click(d, 1002);
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].text,
            L"The phantom removal could not be started.\n"
            L"Not enough memory resources are available to process this command.\r\n");
  EXPECT_EQ(Text(1002), L"Remove");
  EXPECT_EQ(Text(1006), L"This tool requires Administrator privileges to operate.");
  for (int id : kJobControls) EXPECT_TRUE(hl::Enabled(d, id)) << id;
  // And the next click runs normally.
  hl::Click(d, 1002);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Text(1006), L"Success!");
}

TEST_F(RemovalTest, ClosingDuringARunAbortsAndEndsAfterTheRunHasEnded) {
  struct Case {
    const char* name;
    void (*close)(CTidewellDlg&);
  } cases[] = {
      {"Escape", [](CTidewellDlg& d) { hl::PressEscape(d); }},
      {"close box", [](CTidewellDlg& d) { hl::SysCommand(d, fw::SC_CLOSE); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    for (int i = 0; i < 4; ++i) w->AddPhantom(GUID_DEVCLASS_USB, Id("USB\\" + std::to_string(i)), 60);
    Gate gate;
    HoldWorkerAt(*w, gate, u"USB\\0");
    CTidewellDlg d;
    hl::Open(d);
    hl::Click(d, 1002);
    ASSERT_TRUE(gate.WaitReached());
    c.close(d);
    EXPECT_FALSE(hl::IsEnded(d));  // the worker still uses the job
    gate.Release();
    ASSERT_TRUE(hl::PumpUntil(d, [&] { return hl::IsEnded(d); }));
    EXPECT_EQ(hl::EndResult(d), fw::IDCANCEL);
    EXPECT_EQ(hl::Text(d, 1006), L"Aborted!");
    EXPECT_EQ(w->Phantoms().size(), 3u);
    hl::Close(d);
  }
}

TEST_F(RemovalTest, ARemovalDuringAnotherWorkerKeepsTheSelectionLockedUntilBothEnd) {
  for (bool otherEndsFirst : {true, false}) {
    SCOPED_TRACE(otherEndsFirst ? "the other worker ends first" : "the removal ends first");
    sim::ScopedWorld w;
    for (int i = 0; i < 3; ++i) w->AddPhantom(GUID_DEVCLASS_USB, Id("USB\\" + std::to_string(i)), 60);
    Gate gate;
    HoldWorkerAt(*w, gate, u"USB\\0");
    CTidewellDlg d;
    hl::Open(d);
    d.DisableJobControls();  // another tool's worker starts; it leaves 1002 alone
    ASSERT_TRUE(hl::Click(d, 1002));
    ASSERT_TRUE(gate.WaitReached());
    if (otherEndsFirst) d.EnableJobControls();
    for (int id : kJobControls) EXPECT_FALSE(hl::Enabled(d, id)) << id;
    gate.Release();
    ASSERT_TRUE(hl::PumpUntilHandled(d, WM_REMOVAL_FINISHED));
    EXPECT_EQ(hl::Enabled(d, 1003), otherEndsFirst);
    EXPECT_EQ(hl::Enabled(d, 1007), otherEndsFirst);
    if (!otherEndsFirst) d.EnableJobControls();
    for (int id : kJobControls) EXPECT_TRUE(hl::Enabled(d, id)) << id;
    hl::Close(d);
  }
}

TEST_F(RemovalTest, EachRunKeepsItsThreadObjectPastTheThreadsEnd) {
  AddPhantoms(4);
  CTidewellDlg& d = Open();
  EXPECT_EQ(d.RemovalThread(), nullptr);
  hl::Click(d, 1002);
  ASSERT_TRUE(Finish());
  const fw::CWinThread* first = d.RemovalThread();
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->m_bAutoDelete);
  world->WaitForThreads();
  EXPECT_EQ(WaitForSingleObject(first->Handle(), 0), WAIT_OBJECT_0);
}

// ---- The run itself, without the dialog ----

class RemovePhantomsTest : public SimTest {
 protected:
  RemovalJob job;
};

TEST_F(RemovePhantomsTest, ProgressStepsFollowTheRemainingCount) {
  struct Case {
    std::uint32_t remaining, step;
  } cases[] = {{0, 1}, {99, 1}, {100, 10}, {999, 10}, {1000, 100}, {9999, 100}, {10000, 1000}, {4000000000u, 1000}};
  for (const Case& c : cases) EXPECT_EQ(ProgressStep(c.remaining), c.step) << c.remaining;
}

TEST_F(RemovePhantomsTest, OnlySelectedStillPhantomDevicesAreRemovedAndRecordsKeepTheOutcome) {
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\UNCHECKED", 10);
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\FAILS", 10);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\OK", 10);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\NEW_IN_DB", 10);
  world->SetRemoveError(1, 0xE0000219 /* ERROR_NO_SUCH_DEVINST */);
  RunPhantomCensus(job);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\NOT_IN_LIST", 10);
  job.records[0]->categoryChecked = 0;
  job.records[3]->oldEnough = 0;

  EXPECT_EQ(RemovePhantoms(job), 1u);
  EXPECT_EQ(job.records[0]->removed, 0);
  EXPECT_EQ(job.records[1]->removed, 0);
  EXPECT_EQ(job.records[1]->lastError, 0xE0000219u);
  EXPECT_EQ(job.records[2]->removed, 1);
  EXPECT_EQ(job.records[2]->lastError, 0u);
  EXPECT_EQ(CountFailed(job), 1u);
  EXPECT_EQ(world->Phantoms(),
            (std::vector<std::u16string>{u"DISK\\UNCHECKED", u"DISK\\FAILS", u"VOL\\NEW_IN_DB", u"VOL\\NOT_IN_LIST"}));
  EXPECT_EQ(world->OpenDeviceInfoSets(), 0);
}

TEST_F(RemovePhantomsTest, TheRecordChosenIsTheFirstSelectedOneWithTheDevicesId) {
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\TWICE", 10);
  RunPhantomCensus(job);
  RunPhantomCensus(job);  // the same device listed twice
  job.records[0]->categoryChecked = 0;
  EXPECT_EQ(RemovePhantoms(job), 1u);
  EXPECT_EQ(job.records[1]->removed, 1);
  EXPECT_EQ(CountFailed(job), 0u);  // the removal succeeded: nothing reads as failed
}

TEST_F(RemovePhantomsTest, AClassThatCannotBeOpenedLeavesItsPhantomsCountedAsFailed) {
  world->AddPhantom(GUID_DEVCLASS_CDROM, u"CD\\1", 10);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\1", 10);
  RunPhantomCensus(job);
  world->BreakClass(GUID_DEVCLASS_CDROM);
  EXPECT_EQ(RemovePhantoms(job), 1u);
  EXPECT_EQ(CountFailed(job), 1u);
}

}  // namespace

namespace {

// The index must choose exactly the record a walk of the list would: the
// first selected one with the ID, none for an ID it does not hold.
TEST(SelectedRecordIndexTest, ChoosesWhatTheListWalkChooses) {
  sim::ScopedWorld world;
  RemovalJob job;
  auto add = [&](const std::u16string& id, bool selected) {
    auto r = std::make_unique<PhantomRecord>();
    std::copy(id.begin(), id.end(), r->deviceId);
    r->dated = 1;
    r->categoryChecked = selected ? 1 : 0;
    r->oldEnough = 1;
    job.records.push_back(std::move(r));
  };
  for (int i = 0; i < 3000; ++i) {
    std::string id = "USB\\VID_0781&PID_5567\\" + std::to_string(i % 1700);  // some twice
    add(std::u16string(id.begin(), id.end()), i % 7 != 0);
  }
  add(u"", false);  // a blank record
  SelectedRecordIndex index(job);
  // In list order (the hint answers), then from the end (the table does).
  std::vector<int> order;
  for (int i = 0; i < 1800; ++i) order.push_back(i);
  for (int i = 1799; i >= 0; --i) order.push_back(i);
  for (int i : order) {
    std::string s = "USB\\VID_0781&PID_5567\\" + std::to_string(i);
    std::u16string id(s.begin(), s.end());
    PhantomRecord* walked = nullptr;
    for (auto& r : job.records)
      if (SameDeviceId(*r, id.c_str()) && IsSelected(*r)) {
        walked = r.get();
        break;
      }
    ASSERT_EQ(index.Find(id.c_str()), walked) << i;
  }
  EXPECT_EQ(index.Find(u""), nullptr);
}

}  // namespace
