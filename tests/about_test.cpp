#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"
#include "res/resources.h"
#include "ui/about_dlg.h"

using namespace plat;

namespace {

// Everything the user can see of the main dialog's controls.
struct ControlState {
  int id;
  std::wstring text;
  bool enabled;
  int check;
  int pos;
  int cursel;
  bool operator==(const ControlState&) const = default;
};

std::vector<ControlState> Snapshot(const CTidewellDlg& d) {
  std::vector<ControlState> out;
  for (const res::ControlTemplate& c :
       res::FindDialogTemplate(res::IDD_TIDEWELL_DIALOG)->controls) {
    if (c.id == res::kNoId) continue;
    out.push_back({c.id, hl::Text(d, c.id), hl::Enabled(d, c.id), hl::Check(d, c.id),
                   hl::ProgressPos(d, c.id), hl::CurSel(d, c.id)});
  }
  return out;
}

class AboutTest : public DialogTest {
 protected:
  // Opens the About box through `open` and returns its version line.
  std::wstring VersionLineShownBy(const std::function<void(CTidewellDlg&)>& open) {
    std::wstring line = L"(not shown)";
    hl::SetModalScript(res::IDD_ABOUTBOX, [&line](fw::CDialog& about) {
      line = hl::Text(about, 1023);
      hl::Click(about, fw::IDOK);
    });
    open(*dlg);
    hl::ResetScripts();
    return line;
  }
};

const std::function<void(CTidewellDlg&)> kFromButton = [](CTidewellDlg& d) { hl::Click(d, 1004); };
const std::function<void(CTidewellDlg&)> kFromMenu = [](CTidewellDlg& d) {
  hl::SysCommand(d, IDM_ABOUTBOX);
};

TEST_F(AboutTest, ButtonAndSystemMenuShowTheSameVersionLine) {
  world->SetFileVersion(2, 0, 20, 0);
  Open();
  EXPECT_EQ(VersionLineShownBy(kFromButton), L"Version 2.0.20.0");
  EXPECT_EQ(VersionLineShownBy(kFromMenu), L"Version 2.0.20.0");
  // The menu item's id with the low bits the platform may set.
  EXPECT_EQ(VersionLineShownBy([](CTidewellDlg& d) { hl::SysCommand(d, IDM_ABOUTBOX | 0x3); }),
            L"Version 2.0.20.0");
  EXPECT_EQ(hl::Caption(*dlg), L"Tidewell Version 2.0.20.0");
}

TEST_F(AboutTest, WithoutAVersionTheLineReadsVersionAlone) {
  world->RemoveVersionResource();
  Open();
  EXPECT_EQ(VersionLineShownBy(kFromButton), L"Version ");
  EXPECT_EQ(VersionLineShownBy(kFromMenu), L"Version ");
}

TEST_F(AboutTest, FourFontsAreGivenToTheirTextsAndReleasedWithTheBox) {
  Open();
  struct Want {
    int id;
    int height;
    int weight;
  } const want[] = {{1021, 32, 700}, {1023, 21, 700}, {1022, 18, 700}, {1024, 16, 400}};
  std::vector<fw::headless::FontSpec> given;
  std::size_t liveWhileShown = 0;
  hl::SetModalScript(res::IDD_ABOUTBOX, [&](fw::CDialog& about) {
    for (const Want& w : want) given.push_back(hl::SpecOf(hl::Font(about, w.id)));
    liveWhileShown = hl::LiveFonts().size();
    // The texts the template gave keep their words.
    EXPECT_EQ(hl::Text(about, 1021), L"Tidewell");
  });
  hl::Click(*dlg, 1004);
  ASSERT_EQ(given.size(), 4u);
  EXPECT_EQ(liveWhileShown, 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(want[i].id);
    EXPECT_EQ(given[i].height, want[i].height);
    EXPECT_EQ(given[i].weight, want[i].weight);
    EXPECT_EQ(given[i].width, 0);
    EXPECT_EQ(given[i].escapement, 0);
    EXPECT_EQ(given[i].orientation, 0);
    EXPECT_EQ(given[i].italic + given[i].underline + given[i].strikeOut, 0);
    EXPECT_EQ(given[i].charSet, 0);
    EXPECT_EQ(given[i].outPrecision + given[i].clipPrecision + given[i].quality, 0);
    EXPECT_EQ(given[i].pitchAndFamily, 0x20);
    EXPECT_EQ(given[i].face, L"MS Shell Dlg");
  }
  EXPECT_TRUE(hl::LiveFonts().empty());
}

TEST_F(AboutTest, EachProductButtonOpensItsPageWithTheBoxAsOwner) {
  Open();
  for (int button : {1002, 1004, 1005, 1014}) {
    SCOPED_TRACE(button);
    fw::HWND aboutWindow = nullptr;
    hl::SetModalScript(res::IDD_ABOUTBOX, [&](fw::CDialog& about) {
      aboutWindow = about.GetSafeHwnd();
      hl::Click(about, button);
      EXPECT_FALSE(hl::IsEnded(about));  // the box stays open
    });
    const std::size_t before = world->ShellExecuteCalls().size();
    hl::Click(*dlg, 1004);
    hl::ResetScripts();
    auto calls = world->ShellExecuteCalls();
    ASSERT_EQ(calls.size(), before + 1);
    const auto& call = calls.back();
    EXPECT_EQ(call.owner, aboutWindow);
    EXPECT_EQ(call.operation, u"open");
    EXPECT_EQ(call.file, fw::ToU16(ProductPageAddress(button)));
    EXPECT_EQ(call.file.rfind(fw::ToU16(std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/"), 0),
              0u);
    EXPECT_FALSE(call.parametersGiven);
    EXPECT_FALSE(call.directoryGiven);
    EXPECT_EQ(call.showCommand, SW_SHOWNORMAL);
  }
  // Four different pages.
  auto calls = world->ShellExecuteCalls();
  std::vector<std::u16string> files;
  for (auto& c : calls) files.push_back(c.file);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(std::unique(files.begin(), files.end()), files.end());
}

TEST_F(AboutTest, AFailingProductPageShowsNothing) {
  Open();
  world->FailCall("ShellExecuteW", ERROR_FILE_NOT_FOUND);
  hl::SetModalScript(res::IDD_ABOUTBOX, [](fw::CDialog& about) { hl::Click(about, 1002); });
  hl::Click(*dlg, 1004);
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
}

// Each help dialog opens from its link while a removal runs and leaves the
// main dialog as it was.
TEST_F(AboutTest, HelpDialogsOpenDuringAJobAndChangeNothing) {
  struct Link {
    int id;
    int templateId;
  } const links[] = {{1019, res::IDD_SHORT_IMAGE_HELP}, {1041, res::IDD_DISK_SPEED_HELP}};
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\1", 100);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\2", 100);
  Gate gate;
  HoldWorkerAt(*world, gate, u"USB\\1");
  CTidewellDlg& d = Open();
  hl::Click(d, 1002);
  ASSERT_TRUE(gate.WaitReached());
  for (const Link& link : links) {
    SCOPED_TRACE(link.id);
    const std::vector<ControlState> before = Snapshot(d);
    hl::SetModalScript(link.templateId, [](fw::CDialog& help) {
      hl::PressEnter(help);  // OK, the default button
    });
    ASSERT_TRUE(hl::ClickLink(d, link.id));
    ASSERT_FALSE(hl::ModalDialogsRun().empty());
    EXPECT_EQ(hl::ModalDialogsRun().back(), link.templateId);
    EXPECT_EQ(Snapshot(d), before);
    fw::NMHDR hdr{nullptr, static_cast<std::uintptr_t>(link.id), fw::NM_CLICK};
    EXPECT_EQ(hl::Deliver(d, fw::WM_NOTIFY, static_cast<fw::WPARAM>(link.id),
                          reinterpret_cast<fw::LPARAM>(&hdr)),
              0);
    hl::ResetScripts();
  }
  gate.Release();
  ASSERT_TRUE(hl::PumpUntilHandled(d, WM_REMOVAL_FINISHED));
  EXPECT_EQ(Text(1006), L"Success!");
}

}  // namespace
