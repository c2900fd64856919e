// The speed test: its arithmetic, the worker's calls and failures on the sim
// (real bytes in a host folder mapped to E:), and the dialog around it.
#include "speedtest/speed_test.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "fixture.h"
#include "ui/messages.h"

using namespace plat;

namespace {

namespace fs = std::filesystem;

constexpr LONGLONG kFrequency = 3000000;  // 8 MiB at 10, 20 or 30 MB/s: whole counts

// Counts for a block at `mbs` MB/s.
LONGLONG Span(double mbs, DWORD blockSize = kSpeedBlockSize) {
  return static_cast<LONGLONG>(blockSize / 1048576.0 / mbs * kFrequency + 0.5);
}

class SpeedTest : public DialogTest {
 protected:
  SpeedTest() {
    dir = fs::temp_directory_path() /
          ("tw_speed_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string host = dir.string();
    world->MapDriveFolder('E', std::u16string(host.begin(), host.end()));
  }
  ~SpeedTest() override {
    // The dialog, and with it the worker, goes before its folder.
    if (dlg) {
      hl::Close(*dlg);
      dlg.reset();
    }
    world->WaitForThreads();
    fs::remove_all(dir);
  }

  // Pass i (both counts of it) takes spans[i] counts; the last span repeats.
  // `hold` runs on the worker before count number `at` (from 0) is given.
  void ScriptSpans(std::vector<LONGLONG> spans, int at = -1, std::function<void()> hold = {}) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    world->SetCounter(
        [calls, spans, at, hold] {
          int n = (*calls)++;
          if (n == at && hold) hold();
          auto pass = static_cast<std::size_t>(n / 2);
          LONGLONG base = static_cast<LONGLONG>(pass) * 100000000;
          return n % 2 == 0 ? base : base + spans[std::min(pass, spans.size() - 1)];
        },
        kFrequency);
  }

  // The drive in selector 1028, as the drive list puts it there.
  CTidewellDlg& OpenWithDrive(const wchar_t* item = L"E") {
    CTidewellDlg& d = Open();
    HWND selector = d.GetDlgItem(1028);
    if (fw::backend::SendMessage(selector, fw::CB_GETCOUNT, 0, 0) == 0) {
      fw::backend::SendMessage(selector, fw::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      fw::backend::SendMessage(selector, fw::CB_SETCURSEL, 0, 0);
    }
    return d;
  }
  bool Finish() { return hl::PumpUntilHandled(*dlg, WM_SPEED_FINISHED, 60000); }

  // What the backend did to one control since the window opened: entries
  // of the log that begin with "<id> <prefix>", without that part.
  std::vector<std::wstring> Logged(int id, const std::wstring& prefix) const {
    std::vector<std::wstring> out;
    const std::wstring head = std::to_wstring(id) + L" " + prefix;
    for (const std::wstring& e : hl::EventLog(*dlg))
      if (e.rfind(head, 0) == 0) out.push_back(e.substr(head.size()));
    return out;
  }
  bool FolderEmpty() const { return fs::is_empty(dir); }

  fs::path dir;
};

std::vector<std::wstring> Rates(std::initializer_list<const wchar_t*> texts) {
  return std::vector<std::wstring>(texts.begin(), texts.end());
}

// ---- Arithmetic ----

TEST(SpeedArithmetic, PassRatesRunningRatesTextsAndProgress) {
  EXPECT_DOUBLE_EQ(PassRate(kSpeedBlockSize, 5000000, 10000000), 16.0);  // 0.5 s
  EXPECT_EQ(FormatRate(PassRate(kSpeedBlockSize, 5000000, 10000000)), L"16.00 MB/s");

  double running = 0;
  const struct {
    double pass, running;
    const wchar_t* text;
  } folds[] = {{10, 10, L"10.00 MB/s"}, {20, 15, L"15.00 MB/s"}, {30, 22.5, L"22.50 MB/s"}};
  int k = 0;
  for (const auto& f : folds) {
    running = FoldRate(running, f.pass, ++k);
    EXPECT_DOUBLE_EQ(running, f.running);
    EXPECT_EQ(FormatRate(running), f.text);
  }
  EXPECT_EQ(FormatRate(1234.567), L"1234.57 MB/s");

  std::vector<int> progress;
  for (bool reading : {false, true})
    for (int pass = 1; pass <= kSpeedPasses; ++pass)
      progress.push_back(SpeedProgress(pass, reading));
  EXPECT_EQ(progress, (std::vector<int>{4,  9,  13, 18, 22, 27, 31, 36, 40, 45,
                                        54, 59, 63, 68, 72, 77, 81, 86, 90, 95}));
}

// ---- The worker on the sim ----

TEST_F(SpeedTest, BothTestsMakeTheSameCallsAndOnlyTheTimedSpansDiffer) {
  constexpr DWORD kBlock = 65536;  // small blocks: the calls are the same
  std::vector<std::string> trace[2];
  std::vector<std::vector<std::string>> spans[2];
  for (int fileTest : {0, 1}) {
    // At the first count of the read phase the file holds the ten blocks
    // written, all from the one pattern, and no zeros.
    std::vector<char> file;
    ScriptSpans({Span(10, kBlock)}, 20, [&] {
      for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
      }
    });
    SpeedJob job;
    job.blockSize = kBlock;
    job.driveLetter = 'E';
    job.fileTest = fileTest;
    world->StartCallLog();
    ASSERT_TRUE(RunSpeedTest(job));
    EXPECT_EQ(job.errorCode, 0u);
    EXPECT_DOUBLE_EQ(job.writeRate, 10.0);
    EXPECT_DOUBLE_EQ(job.readRate, 10.0);
    ASSERT_EQ(file.size(), 10u * kBlock);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + kBlock, file.end() - kBlock));
    EXPECT_NE(std::count(file.begin(), file.begin() + kBlock, '\0'), kBlock);

    std::vector<std::string> inSpan;
    bool open = false;
    for (const std::string& call : world->CallLog()) {
      if (call == "QueryPerformanceCounter") {
        if (open) spans[fileTest].push_back(inSpan);
        inSpan.clear();
        open = !open;
        continue;
      }
      trace[fileTest].push_back(call);
      if (open) inSpan.push_back(call);
    }
    EXPECT_TRUE(FolderEmpty());
    EXPECT_EQ(world->OpenIoHandles(), 0);
    EXPECT_EQ(world->LiveAllocations(), 0);
  }
  EXPECT_EQ(trace[0], trace[1]);
  const std::vector<std::string> expectedStart = {
      "GetDiskFreeSpaceW", "GetTempFileNameW", "VirtualAlloc", "QueryPerformanceFrequency",
      "CreateFileW",       "SetFilePointer",   "WriteFile",    "CloseHandle"};
  EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), trace[0].begin()));
  EXPECT_EQ(std::vector<std::string>(trace[0].end() - 2, trace[0].end()),
            (std::vector<std::string>{"DeleteFileW", "VirtualFree"}));
  ASSERT_EQ(spans[0].size(), 20u);
  ASSERT_EQ(spans[1].size(), 20u);
  for (int pass = 0; pass < 20; ++pass) {
    const char* transfer = pass < 10 ? "WriteFile" : "ReadFile";
    EXPECT_EQ(spans[0][pass], std::vector<std::string>{transfer}) << pass;
    EXPECT_EQ(spans[1][pass],
              (std::vector<std::string>{"CreateFileW", "SetFilePointer", transfer, "CloseHandle"}))
        << pass;
  }

  // The opens: the temporary file in the root, write-through and unbuffered.
  auto opens = world->FileOpens();
  ASSERT_EQ(opens.size(), 40u);
  for (std::size_t i = 0; i < opens.size(); ++i) {
    const bool writing = i % 20 < 10;
    EXPECT_EQ(opens[i].path.substr(0, 6), u"E:\\USB");
    EXPECT_EQ(opens[i].path, opens[i / 20 * 20].path);  // one file for each run
    EXPECT_EQ(opens[i].access, writing ? GENERIC_WRITE : GENERIC_READ);
    EXPECT_EQ(opens[i].share, writing ? FILE_SHARE_DELETE : FILE_SHARE_READ | FILE_SHARE_DELETE);
    EXPECT_EQ(opens[i].disposition, writing ? OPEN_ALWAYS : OPEN_EXISTING);
    EXPECT_EQ(opens[i].flags,
              writing ? FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING : FILE_FLAG_NO_BUFFERING);
  }
}

TEST_F(SpeedTest, EveryFailureHasItsCodeAndLeavesNoFileHandleOrBuffer) {
  constexpr DWORD kBlock = 65536;
  struct Case {
    const char* name;
    std::function<void(sim::World&)> arrange;
    DWORD code;
  };
  const std::u16string anyFile;  // faults at offsets name the file below
  const Case cases[] = {
      {"free space unknown",
       [](sim::World& w) { w.FailCall("GetDiskFreeSpaceW", ERROR_NOT_READY); },
       ERROR_INVALID_FUNCTION},
      {"one byte short in free clusters",
       [](sim::World& w) {
         sim::World::DiskSpace s;
         s.freeToCaller = s.total = s.totalFree = 1ull << 30;
         s.sectorsPerCluster = 1;
         s.bytesPerSector = 1;
         s.freeClusters = 10 * kBlock - 1;
         w.SetDiskSpace('E', s);
       },
       ERROR_NOT_ENOUGH_MEMORY},
      {"no temporary file",
       [](sim::World& w) { w.FailCall("GetTempFileNameW", ERROR_ACCESS_DENIED); },
       ERROR_WRITE_PROTECT},
      {"no buffer", [](sim::World& w) { w.FailCall("VirtualAlloc", ERROR_NOT_ENOUGH_MEMORY); },
       ERROR_NOT_ENOUGH_MEMORY},
      {"write open", [](sim::World& w) { w.FailCall("CreateFileW", ERROR_SHARING_VIOLATION, 3); },
       ERROR_WRITE_FAULT},
      {"move to the end",
       [](sim::World& w) { w.FailCall("SetFilePointer", ERROR_NEGATIVE_SEEK, 1); },
       ERROR_READ_FAULT},
      {"write", [](sim::World& w) { w.FailCall("WriteFile", ERROR_DISK_FULL, 4); },
       ERROR_WRITE_FAULT},
      {"read open", [](sim::World& w) { w.FailCall("CreateFileW", ERROR_SHARING_VIOLATION, 10); },
       ERROR_READ_FAULT},
      {"read position",
       [](sim::World& w) { w.FailCall("SetFilePointer", ERROR_NEGATIVE_SEEK, 12); },
       ERROR_READ_FAULT},
      {"read", [](sim::World& w) { w.FailCall("ReadFile", ERROR_NOT_READY, 9); }, ERROR_READ_FAULT},
  };
  for (const Case& c : cases) {
    sim::ScopedWorld w;
    const std::string host = dir.string();
    w->MapDriveFolder('E', std::u16string(host.begin(), host.end()));
    c.arrange(*w);
    SpeedJob job;
    job.blockSize = kBlock;
    job.driveLetter = 'E';
    EXPECT_FALSE(RunSpeedTest(job)) << c.name;
    EXPECT_EQ(job.errorCode, c.code) << c.name;
    EXPECT_TRUE(FolderEmpty()) << c.name;
    EXPECT_EQ(w->OpenIoHandles(), 0) << c.name;
    EXPECT_EQ(w->LiveAllocations(), 0) << c.name;
  }
}

TEST_F(SpeedTest, AShortTransferIsAFailureNotARate) {
  constexpr DWORD kBlock = 65536;
  for (bool write : {true, false}) {
    // The file's name is known once the platform has made it.
    world->SetCounter([&, armed = false]() mutable {
      if (!armed) {
        armed = true;
        for (const auto& entry : fs::directory_iterator(dir)) {
          std::string name = "E:\\" + entry.path().filename().string();
          world->FailIoAt(std::u16string(name.begin(), name.end()), write, 5 * kBlock + 100, 0);
        }
      }
      return LONGLONG{0};
    });
    SpeedJob job;
    job.blockSize = kBlock;
    job.driveLetter = 'E';
    EXPECT_FALSE(RunSpeedTest(job));
    EXPECT_EQ(job.errorCode, write ? ERROR_WRITE_FAULT : ERROR_READ_FAULT);
    EXPECT_TRUE(FolderEmpty());
  }
}

TEST_F(SpeedTest, FreeSpaceRuleAtStartAndInTheWorkerAtTheBoundary) {
  sim::World::DiskSpace s;
  s.total = s.totalFree = 1ull << 30;
  s.sectorsPerCluster = 1;
  s.bytesPerSector = 512;
  s.freeClusters = 10 * kSpeedBlockSize / 512;
  for (ULONGLONG free : {83886080ull, 83886079ull}) {
    s.freeToCaller = free;
    world->SetDiskSpace('E', s);
    EXPECT_EQ(HasSpaceForSpeedTest('E'), free == 83886080ull);
  }
  EXPECT_FALSE(HasSpaceForSpeedTest('Q'));  // no such drive

  s.freeToCaller = 83886079;
  world->SetDiskSpace('E', s);
  CTidewellDlg& d = OpenWithDrive();
  hl::Click(d, 1030);
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].text, L"Not enough space on the drive to perform test.");
  EXPECT_TRUE(hl::Enabled(d, 1030));
  EXPECT_EQ(world->CallCount("GetTempFileNameW"), 0);

  // Exactly enough starts it; the worker then finds its own figure.
  s.freeToCaller = 83886080;
  s.freeClusters -= 1;
  world->SetDiskSpace('E', s);
  hl::Click(d, 1030);
  EXPECT_FALSE(hl::Enabled(d, 1030));
  ASSERT_TRUE(Finish());
  EXPECT_EQ(world->CallCount("GetTempFileNameW"), 0);
  ASSERT_EQ(hl::MessageBoxesShown().size(), 2u);
  EXPECT_EQ(hl::MessageBoxesShown()[1].text,
            L"Error testing disk speed.\nNot enough memory resources are available to process "
            L"this command.\r\n");
}

// ---- The dialog ----

TEST_F(SpeedTest, ARunShowsRunningRatesProgressAndBothRatesAtTheEnd) {
  std::vector<LONGLONG> spans = {Span(10), Span(20), Span(30)};
  for (int i = 3; i < 10; ++i) spans.push_back(Span(30));
  spans.push_back(Span(40));  // the read phase
  ScriptSpans(spans);
  CTidewellDlg& d = OpenWithDrive();
  ASSERT_TRUE(hl::Click(d, 1030));
  for (int id : {1030, 1028, 1026, 1027, 1, 1015}) EXPECT_FALSE(hl::Enabled(d, id)) << id;
  ASSERT_TRUE(Finish());

  std::vector<std::wstring> writes = Logged(1031, L"text ");
  ASSERT_EQ(writes.size(), 12u);  // cleared, ten passes, the end
  EXPECT_EQ(writes[0], L"");
  EXPECT_EQ(std::vector<std::wstring>(writes.begin() + 1, writes.begin() + 4),
            Rates({L"10.00 MB/s", L"15.00 MB/s", L"22.50 MB/s"}));
  EXPECT_EQ(Text(1031), FormatRate(d.Speed().writeRate));
  EXPECT_EQ(Text(1032), L"40.00 MB/s");
  EXPECT_EQ(Logged(1032, L"text ").size(), 12u);

  std::vector<std::wstring> positions = Logged(1029, L"send 0x402 ");
  std::vector<std::wstring> expected = {L"0", L"0"};  // initialisation, Start
  for (int p : {4, 9, 13, 18, 22, 27, 31, 36, 40, 45, 54, 59, 63, 68, 72, 77, 81, 86, 90, 95, 100})
    expected.push_back(std::to_wstring(p));
  EXPECT_EQ(positions, expected);
  EXPECT_EQ(Logged(1029, L"send 0x410 "), Rates({L"1"}));  // normal, never red
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
  for (int id : {1030, 1028, 1026, 1027, 1, 1015}) EXPECT_TRUE(hl::Enabled(d, id)) << id;
  EXPECT_TRUE(FolderEmpty());
  EXPECT_EQ(d.Speed().postedTexts.Count(), 0u);
  EXPECT_EQ(world->CallCount("Sleep"), 1);
}

TEST_F(SpeedTest, TheFileTestRunsFromItsRadioButton) {
  ScriptSpans({Span(20)});
  CTidewellDlg& d = OpenWithDrive();
  hl::Click(d, 1027);
  world->StartCallLog();
  hl::Click(d, 1030);
  ASSERT_TRUE(Finish());
  auto log = world->CallLog();
  auto open = std::find(log.begin(), log.end(), "CreateFileW");
  ASSERT_NE(open, log.end());
  EXPECT_EQ(*(open - 1), "QueryPerformanceCounter");  // the span starts before the open
  EXPECT_EQ(Text(1031), L"20.00 MB/s");
  EXPECT_EQ(Text(1032), L"20.00 MB/s");
}

TEST_F(SpeedTest, AReadFailureKeepsTheRatesPostedAndTurnsTheBarRed) {
  ScriptSpans({Span(10)});
  world->FailCall("ReadFile", ERROR_NOT_READY, 3);
  CTidewellDlg& d = OpenWithDrive();
  hl::Click(d, 1030);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Text(1031), L"10.00 MB/s");
  EXPECT_EQ(Text(1032), L"10.00 MB/s");  // three passes read
  EXPECT_EQ(Logged(1032, L"text ").size(), 4u);
  EXPECT_EQ(hl::ProgressPos(d, 1029), 100);
  EXPECT_EQ(Logged(1029, L"send 0x410 ").back(), L"2");
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].text,
            L"Error testing disk speed.\nThe system cannot read from the specified device.\r\n");
  EXPECT_TRUE(FolderEmpty());
  EXPECT_TRUE(hl::Enabled(d, 1030));
}

TEST_F(SpeedTest, AWriteProtectedDriveFailsWithCode19) {
  world->FailCall("GetTempFileNameW", ERROR_WRITE_PROTECT);
  CTidewellDlg& d = OpenWithDrive();
  hl::Click(d, 1030);
  ASSERT_TRUE(Finish());
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].text,
            L"Error testing disk speed.\nThe media is write protected.\r\n");
  EXPECT_EQ(Text(1031), L"");
  EXPECT_EQ(Text(1032), L"");
}

TEST_F(SpeedTest, NoSelectionStartsNothing) {
  CTidewellDlg& d = Open();
  hl::Click(d, 1030);
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].text, L"The source drive has not been selected.");
  EXPECT_EQ(world->CallCount("GetDiskFreeSpaceExW"), 0);
  EXPECT_TRUE(hl::Enabled(d, 1030));
}

TEST_F(SpeedTest, ScaleByTheDevicesUsbRelease) {
  CTidewellDlg& d = Open();
  const struct {
    WORD bcdUsb;
    bool usb2;
  } cases[] = {{0x0200, true},  {0x0210, true},  {0x0300, false},
               {0x0110, false}, {0x0201, false}, {0, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(d.ShowRatingScale(c.bcdUsb), 1);
    std::vector<std::wstring> shown;
    for (int id = 1037; id <= 1040; ++id) shown.push_back(Text(id));
    EXPECT_EQ(shown, c.usb2 ? Rates({L"Poor\n0-5 MB/s", L"Good\n6-14 MB/s", L"Better\n15-20 MB/s",
                                     L"Best\n21+ MB/s"})
                            : Rates({L"Poor\n0-15 MB/s", L"Good\n16-20 MB/s", L"Better\n21-40 MB/s",
                                     L"Best\n41+ MB/s"}))
        << c.bcdUsb;
  }
}

TEST_F(SpeedTest, TheWarningComesFirstThenTheScaleThenTheTest) {
  const wchar_t* usb2Poor = L"Poor\n0-5 MB/s";
  const wchar_t* otherPoor = L"Poor\n0-15 MB/s";
  const struct {
    const char* name;
    bool onHub;
    plat::ULONG protocols;
    WORD bcdUsb;
    bool warns;
    const wchar_t* poor;
  } cases[] = {
      {"USB 3 stick in a USB 2 port", true, 3, 0x0210, true, usb2Poor},
      {"USB 3 stick in a USB 3 port", true, 7, 0x0210, false, usb2Poor},
      {"USB 2 stick in a USB 2 port", true, 3, 0x0200, false, usb2Poor},
      {"USB 3 stick at USB 3 speed", true, 7, 0x0300, false, otherPoor},
      {"no hub behind the drive", false, 0, 0, false, otherPoor},
      // The query fails after the device's release is known: as no answer.
      {"USB 3 stick whose serial request stalls", true, 7, 0x0210, false, otherPoor},
  };
  const std::string host = dir.string();
  for (const auto& c : cases) {
    sim::ScopedWorld w;
    w->MapDriveFolder('E', std::u16string(host.begin(), host.end()));
    if (c.onHub) {
      sim::World::UsbDrive drive;
      drive.letters = "E";
      drive.deviceNumber = 2;
      drive.device.supportedProtocols = c.protocols;
      drive.device.bcdUsb = c.bcdUsb;
      if (std::string(c.name).find("stalls") == std::string::npos) drive.serial = u"4C530001";
      w->AddUsbDrive(w->AddHub(u"\\\\?\\usb#root_hub#1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"),
                     drive);
    } else {
      w->AddVolume('E', sim::World::Volume{});
    }
    w->FailCall("GetDiskFreeSpaceW", ERROR_NOT_READY);  // the worker ends at once
    hl::ResetScripts();
    CTidewellDlg d;
    hl::Open(d);
    ASSERT_EQ(hl::Items(d, 1028), std::vector<std::wstring>{L"E"}) << c.name;
    hl::Click(d, 1030);
    ASSERT_TRUE(hl::PumpUntilHandled(d, WM_SPEED_FINISHED)) << c.name;
    const hl::Log& log = hl::EventLog(d);
    auto at = [&](const std::wstring& entry) {
      return std::find(log.begin(), log.end(), entry) - log.begin();
    };
    const auto warning = at(L"box Warning: USB3 device is in a USB2 port!");
    const auto scale = at(L"1037 text " + std::wstring(c.poor));
    const auto started = at(L"1030 disable");
    const auto end = static_cast<std::ptrdiff_t>(log.size());
    EXPECT_EQ(warning != end, c.warns) << c.name;
    if (c.warns) {
      EXPECT_LT(warning, scale) << c.name;
    }
    EXPECT_LT(scale, started) << c.name;
    EXPECT_LT(started, end) << c.name;
    EXPECT_EQ(hl::MessageBoxesShown().size(), c.warns ? 2u : 1u) << c.name;  // and the error
    hl::Close(d);
  }
}

TEST_F(SpeedTest, RemoveKeepsItsStateDuringATest) {
  for (bool enabledBefore : {true, false}) {
    Gate gate;
    ScriptSpans({Span(10)}, 4, [&] { gate.Arrive(); });
    CTidewellDlg& d = OpenWithDrive();
    fw::backend::EnableWindow(d.GetDlgItem(1002), enabledBefore);
    hl::Click(d, 1030);
    ASSERT_TRUE(gate.WaitReached());
    EXPECT_EQ(hl::Enabled(d, 1002), enabledBefore);
    gate.Release();
    ASSERT_TRUE(Finish());
    EXPECT_EQ(hl::Enabled(d, 1002), enabledBefore);
    hl::Close(d);
    dlg.reset();
  }
}

TEST_F(SpeedTest, ClosingStopsAfterThePassInHandAndDeletesTheFile) {
  Gate gate;
  ScriptSpans({Span(10)}, 5, [&] { gate.Arrive(); });  // inside the third write pass
  CTidewellDlg& d = OpenWithDrive();
  world->StartCallLog();
  hl::Click(d, 1030);
  ASSERT_TRUE(gate.WaitReached());
  hl::PressEscape(d);
  hl::Pump(d);
  EXPECT_FALSE(hl::IsEnded(d));  // not before the worker is done
  gate.Release();
  ASSERT_TRUE(hl::PumpUntil(d, [&] { return hl::IsEnded(d); }));
  auto log = world->CallLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), "WriteFile"), 3);
  EXPECT_EQ(std::count(log.begin(), log.end(), "ReadFile"), 0);
  EXPECT_TRUE(FolderEmpty());
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
  EXPECT_EQ(d.Speed().postedTexts.Count(), 0u);
}

TEST_F(SpeedTest, RateTextsQueuedWhenTheWindowGoesAreFreedOnce) {
  Gate gate;
  ScriptSpans({Span(10)}, 9, [&] { gate.Arrive(); });  // inside the fifth write pass
  CTidewellDlg& d = OpenWithDrive();
  hl::Click(d, 1030);
  ASSERT_TRUE(gate.WaitReached());
  EXPECT_EQ(d.Speed().postedTexts.Count(), 4u);  // four rates queued, none handled
  hl::Close(d);                                  // the queue goes with the window
  gate.Release();
  dlg.reset();  // waits for the worker, then frees what the window dropped
  // The address sanitizer build reports a text freed twice or never.
}

}  // namespace
