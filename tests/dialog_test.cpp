#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"
#include "res/resources.h"

using namespace plat;

namespace {

constexpr int kBoxes[] = {1007, 1008, 1009, 1011, 1013, 1010};

// Index of the first log entry at or after `from` that equals `entry`.
std::size_t Find(const hl::Log& log, const std::wstring& entry, std::size_t from = 0) {
  auto it = std::find(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(), entry);
  return static_cast<std::size_t>(it - log.begin());
}

TEST_F(DialogTest, InitialisationRunsItsStepsInOrderBeforeTheWindowIsShown) {
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\1", 100);
  CTidewellDlg& d = Open();
  const hl::Log& log = hl::EventLog(d);
  std::vector<std::wstring> steps = {
      L"menu ",                              // separator
      L"menu &About Tidewell...",
      L"send 0x80 1",                        // WM_SETICON, ICON_BIG
      L"caption Tidewell Version 1.0.0.0",
      L"1003 send 0x14B 0",                  // CB_RESETCONTENT
      L"1003 send 0x143 0 Now",
      L"1003 send 0x143 0 Last Year",
      L"1003 send 0x14E 0",                  // CB_SETCURSEL "Now"
      L"1007 send 0xF1 1", L"1008 send 0xF1 1", L"1009 send 0xF1 1",
      L"1011 send 0xF1 1", L"1013 send 0xF1 1", L"1010 send 0xF1 1",
      L"1000 text 1 phantoms detected.",
      L"1001 text 1 phantoms to remove.",
      L"1009 text USB = 1",
      L"1020 send 0x402 0", L"1029 send 0x402 0",
      L"1026 send 0xF1 1", L"1027 send 0xF1 0",
      L"shown",
  };
  std::size_t at = 0;
  for (const std::wstring& step : steps) {
    std::size_t next = Find(log, step, at);
    ASSERT_LT(next, log.size()) << "missing or out of order: " << std::string(step.begin(), step.end());
    at = next + 1;
  }
  EXPECT_EQ(world->CallCount("SetupDiGetClassDevsW"), 6);
}

TEST_F(DialogTest, StartsWithTheTemplateTextsTheCountsAndTheFocusOnExit) {
  CTidewellDlg& d = Open();
  EXPECT_EQ(hl::Caption(d), L"Tidewell Version 1.0.0.0");
  const res::DialogTemplate* t = res::FindDialogTemplate(res::IDD_TIDEWELL_DIALOG);
  const std::vector<int> replaced = {1000, 1001, 1007, 1008, 1009, 1010, 1011, 1013, 1003};
  for (const res::ControlTemplate& c : t->controls) {
    if (c.id == res::kNoId || std::count(replaced.begin(), replaced.end(), c.id)) continue;
    EXPECT_EQ(Text(c.id), c.text) << c.id;
  }
  EXPECT_EQ(Text(1000), L"0 phantoms detected.");
  EXPECT_EQ(Text(1001), L"0 phantoms to remove.");
  EXPECT_EQ(Text(1007), L"DISK DRIVE = 0");
  EXPECT_EQ(Text(1010), L"VOLUME SNAPSHOT = 0");
  EXPECT_EQ(hl::Items(d, 1003),
            (std::vector<std::wstring>{L"Now", L"Today", L"Last Week", L"Last Month", L"Last Year"}));
  EXPECT_EQ(hl::ItemData(d, 1003), (std::vector<std::uintptr_t>{102, 103, 104, 105, 106}));
  EXPECT_EQ(Text(1003), L"Now");
  for (int box : kBoxes) EXPECT_EQ(hl::Check(d, box), 1) << box;
  EXPECT_EQ(hl::Check(d, 1026), 1);
  EXPECT_EQ(hl::Check(d, 1027), 0);
  EXPECT_EQ(hl::Focus(d), fw::IDOK);
  auto menu = hl::SystemMenu(d);
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].flags, fw::MF_SEPARATOR);
  EXPECT_EQ(menu[1].id, IDM_ABOUTBOX);
  EXPECT_EQ(menu[1].text, L"&About Tidewell...");
  EXPECT_NE(hl::Icon(d, true), nullptr);
  EXPECT_EQ(hl::Icon(d, false), nullptr);
}

TEST_F(DialogTest, TheCaptionCarriesTheFileVersion) {
  struct Case {
    bool hasVersion;
    const char* failingCall;
    const wchar_t* caption;
  } cases[] = {
      {true, nullptr, L"Tidewell Version 2.0.20.0"},
      {false, nullptr, L"Tidewell Version "},
      {true, "VerQueryValueW", L"Tidewell Version "},
      {true, "GetFileVersionInfoW", L"Tidewell Version "},
  };
  for (const Case& c : cases) {
    sim::ScopedWorld w;
    w->SetFileVersion(2, 0, 20, 0);
    if (!c.hasVersion) w->RemoveVersionResource();
    if (c.failingCall) w->FailCall(c.failingCall, ERROR_INVALID_PARAMETER);
    CTidewellDlg d;
    hl::Open(d);
    EXPECT_EQ(hl::Caption(d), c.caption);
    hl::Close(d);
  }
}

TEST_F(DialogTest, ExitEscapeAndTheCloseBoxEndTheDialog) {
  struct Case {
    const char* name;
    void (*act)(CTidewellDlg&);
    int result;
  } cases[] = {
      {"Exit", [](CTidewellDlg& d) { hl::Click(d, fw::IDOK); }, fw::IDOK},
      {"Enter on the focused Exit", [](CTidewellDlg& d) { hl::PressEnter(d); }, fw::IDOK},
      {"Escape", [](CTidewellDlg& d) { hl::PressEscape(d); }, fw::IDCANCEL},
      {"close box", [](CTidewellDlg& d) { hl::SysCommand(d, fw::SC_CLOSE); }, fw::IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTidewellDlg d;
    hl::Open(d);
    c.act(d);
    EXPECT_TRUE(hl::IsEnded(d));
    EXPECT_EQ(hl::EndResult(d), c.result);
    hl::Close(d);
  }
}

TEST_F(DialogTest, OtherSystemCommandsDoNotEndTheDialog) {
  CTidewellDlg& d = Open();
  hl::SysCommand(d, IDM_ABOUTBOX);
  hl::SysCommand(d, 0xF020);  // SC_MINIMIZE
  EXPECT_FALSE(hl::IsEnded(d));
}

TEST_F(DialogTest, MinimisedItDrawsItsIconCentredAndDragsTheSameIcon) {
  CTidewellDlg& d = Open();
  hl::Deliver(d, fw::WM_PAINT, 0, 0);
  EXPECT_TRUE(hl::IconsDrawn(d).empty());

  hl::SetMinimized(d, true);
  hl::Deliver(d, fw::WM_PAINT, 0, 0);
  fw::RECT r{};
  d.GetClientRect(&r);
  ASSERT_EQ(hl::IconsDrawn(d).size(), 1u);
  EXPECT_EQ(hl::IconsDrawn(d)[0], std::make_pair((r.right - 32 + 1) / 2, (r.bottom - 32 + 1) / 2));
  EXPECT_EQ(hl::Deliver(d, fw::WM_QUERYDRAGICON, 0, 0), reinterpret_cast<fw::LRESULT>(hl::Icon(d, true)));
}

TEST_F(DialogTest, TheMakerButtonOpensTheMakersHomePage) {
  CTidewellDlg& d = Open();
  hl::Click(d, 1005);
  auto calls = world->ShellCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].cbSize, sizeof(SHELLEXECUTEINFOW));
  EXPECT_EQ(calls[0].fMask, 0u);
  EXPECT_EQ(calls[0].hwnd, nullptr);
  EXPECT_EQ(calls[0].verb, u"open");
  EXPECT_EQ(calls[0].file, fw::ToU16(std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/"));
  EXPECT_EQ(calls[0].parameters, u"");
  EXPECT_EQ(calls[0].directory, u"C:\\");
  EXPECT_EQ(calls[0].nShow, SW_SHOWNORMAL);

  world->FailCall("ShellExecuteExW", ERROR_FILE_NOT_FOUND);
  hl::Click(d, 1005);
  EXPECT_TRUE(hl::MessageBoxesShown().empty());  // not reported
}

TEST_F(DialogTest, ACensusThatStopsEarlyIsReportedAndKeepsItsRecords) {
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\1", 5);
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\2", 5);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\1", 5);
  world->FailCall("FileTimeToSystemTime", ERROR_INVALID_PARAMETER, 1);
  CTidewellDlg& d = Open();
  ASSERT_EQ(hl::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hl::MessageBoxesShown()[0].caption, L"Tidewell");
  EXPECT_EQ(hl::MessageBoxesShown()[0].type, fw::MB_OK | fw::MB_ICONWARNING);
  EXPECT_EQ(Text(1000), L"2 phantoms detected.");
  EXPECT_EQ(Text(1001), L"1 phantoms to remove.");
  EXPECT_EQ(world->OpenKeys(), 0);
  EXPECT_EQ(world->OpenDeviceInfoSets(), 0);
  EXPECT_FALSE(hl::IsEnded(d));
}

// ---- Selection by category and age ----

class SelectionTest : public DialogTest {
 protected:
  void SelectAge(const wchar_t* item) {
    auto items = hl::Items(*dlg, 1003);
    int index = static_cast<int>(std::find(items.begin(), items.end(), item) - items.begin());
    ASSERT_TRUE(hl::Select(*dlg, 1003, index));
  }
};

TEST_F(SelectionTest, TheAgeLimitIsStrict) {
  struct Case {
    const wchar_t* item;
    std::int64_t limit;
  } cases[] = {{L"Today", 86400}, {L"Last Week", 604800}, {L"Last Month", 2592000}, {L"Last Year", 31536000}};
  for (const Case& c : cases) {
    sim::ScopedWorld w;
    w->AddPhantom(GUID_DEVCLASS_USB, u"USB\\AT", c.limit);
    w->AddPhantom(GUID_DEVCLASS_USB, u"USB\\ABOVE", c.limit + 1);
    dlg = std::make_unique<CTidewellDlg>();
    hl::Open(*dlg);
    SelectAge(c.item);
    EXPECT_EQ(Text(1001), L"1 phantoms to remove.") << c.limit;
    EXPECT_EQ(Text(1009), L"USB = 1");
    EXPECT_EQ(Text(1000), L"2 phantoms detected.");
    hl::Close(*dlg);
    dlg.reset();
  }
}

TEST_F(SelectionTest, NowSelectsZeroAndNegativeAgesOnlyUntilTheFirstChoice) {
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\ZERO", 0);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\FUTURE", -60);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\OLD", 1);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\ANCIENT", 0);
  world->SetKeyTime(u"VOL\\ANCIENT", {0, 0});  // local year 1601
  CTidewellDlg& d = Open();
  EXPECT_EQ(Text(1001), L"4 phantoms to remove.");  // the filter has not run yet
  SelectAge(L"Now");
  EXPECT_EQ(Text(1001), L"2 phantoms to remove.");
  EXPECT_EQ(Text(1008), L"VOLUME = 2");
  SelectAge(L"Last Year");
  EXPECT_EQ(Text(1001), L"1 phantoms to remove.");  // the one from before 1900
  EXPECT_EQ(Text(1000), L"4 phantoms detected.");
  (void)d;
}

TEST_F(SelectionTest, UncheckingABoxZeroesItsCaptionAndRecheckingRestoresIt) {
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\1", 10);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\2", 10);
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\1", 10);
  CTidewellDlg& d = Open();
  EXPECT_EQ(Text(1009), L"USB = 2");
  hl::Click(d, 1009);
  EXPECT_EQ(Text(1009), L"USB = 0");
  EXPECT_EQ(Text(1001), L"1 phantoms to remove.");
  EXPECT_EQ(Text(1007), L"DISK DRIVE = 1");
  hl::Click(d, 1009);
  EXPECT_EQ(Text(1009), L"USB = 2");
  EXPECT_EQ(Text(1001), L"3 phantoms to remove.");
}

TEST_F(SelectionTest, BlankRecordsCountAsDetectedOnly) {
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\DATED", 10);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\NOKEY", 10, /*withKey=*/false);
  CTidewellDlg& d = Open();
  EXPECT_EQ(Text(1000), L"2 phantoms detected.");
  EXPECT_EQ(Text(1001), L"1 phantoms to remove.");
  EXPECT_EQ(Text(1009), L"USB = 1");
  for (int box : kBoxes) {
    hl::Click(d, box);
    hl::Click(d, box);
  }
  SelectAge(L"Now");
  EXPECT_EQ(Text(1001), L"1 phantoms to remove.");
  EXPECT_EQ(Text(1009), L"USB = 1");
}

TEST_F(SelectionTest, CategoryCaptionsCountSelectedNotFound) {
  world->AddPhantom(GUID_DEVCLASS_CDROM, u"CD\\YOUNG", 3600);
  world->AddPhantom(GUID_DEVCLASS_SCSIADAPTER, u"SCSI\\OLD", 40000000);
  Open();
  SelectAge(L"Last Year");
  EXPECT_EQ(Text(1011), L"CDROM = 0");
  EXPECT_EQ(Text(1013), L"SCSI ADAPTER = 1");
  EXPECT_EQ(Text(1000), L"2 phantoms detected.");
}

}  // namespace
