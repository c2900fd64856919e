#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"
#include "res/resources.h"
#include "update/own_version.h"
#include "update/updater_thread.h"
#include "update/version_check.h"

using namespace plat;

namespace {

const std::u16string kListAddress =
    fw::ToU16(std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/downloads/version.htm");
const std::u16string kPackageAddress =
    fw::ToU16(std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/downloads/Tidewell.zip");

bool NoticeShown() {
  const auto& run = hl::ModalDialogsRun();
  return std::count(run.begin(), run.end(), res::IDD_UPDATE_NOTIFICATION) > 0;
}

// A document of `size` bytes of page text whose entry ends exactly at byte
// `entryEnd` (the CR LF included).
std::string DocumentWithEntryEndingAt(std::size_t size, std::size_t entryEnd,
                                      const std::string& version) {
  const std::string entry = "TIDEWELL:" + version + "\r\n";
  std::string doc(size, 'x');
  doc.replace(entryEnd - entry.size(), entry.size(), entry);
  return doc;
}

std::vector<std::string> Pieces(const std::string& doc, std::size_t piece) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < doc.size(); at += piece) out.push_back(doc.substr(at, piece));
  return out;
}

// The check as the updater thread runs it, here on the test's thread, with
// the dialog as the window it reports to.
class UpdateCheckTest : public DialogTest {
 protected:
  void SetUp() override { world->SetFileVersion(1, 2, 3, 4); }
  // Runs one check against the sim's answer and handles what it posted.
  void Check() {
    CUpdaterThread check;
    check.notifyWindow = dlg->GetSafeHwnd();
    check.ownVersionKnown =
        GetOwnVersionText(check.ownVersionText) &&
        GetOwnVersionNumbers(check.ownMajor, check.ownMinor, check.ownBuild, check.ownRevision);
    check.OnUpdateCheck(0, 0);
    hl::Pump(*dlg);
  }
  // The dialog without its own check, which would race with the test's.
  void OpenQuietly() {
    world->FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
    Open();
  }
};

struct ListCase {
  const char* name;
  std::vector<std::string> pieces;  // the body as the server hands it out
  bool notice;
};

std::vector<ListCase> ListCases() {
  auto entry = [](const std::string& v) {
    return std::vector<std::string>{"<p>TIDEWELL:" + v + "\r\n</p>"};
  };
  return {
      {"equal", entry("1.2.3.4"), false},
      {"equal after trimming spaces and tabs", entry(" \t1.2.3.4 \t"), false},
      {"the fourth number only", entry("1.2.3.5"), false},
      {"newer by the third number", entry("1.2.4.0"), true},
      {"newer by the second number", entry("1.3.0.0"), true},
      {"newer by the first number", entry("2.0.0.0"), true},
      {"older by the third number", entry("1.2.2.9"), false},
      {"older by the second number", entry("1.1.9.9"), false},
      {"older by the first number", entry("0.9.9.9"), false},
      {"three numbers", entry("1.3.0"), true},
      {"one dot", entry("1.3"), false},
      {"leading zeros", entry("01.2.3.4"), false},
      {"empty", entry(""), false},
      {"LF only, running on to the next CR LF", {"TIDEWELL:1.3\n.0\nmore\r\n"}, true},
      {"LF only and no CR LF after it", {"TIDEWELL:2.0.0.0\n"}, false},
      {"a lower-case marker", {"tidewell:2.0.0.0\r\n"}, false},
      {"only the first marker counts", {"TIDEWELL:1.0.0.0\r\nTIDEWELL:2.0.0.0\r\n"}, false},
      {"an entry of another program", {"OTHERTOOL:9.0.0.0\r\nTIDEWELL:1.2.3.4\r\n"}, false},
      {"the entry split across pieces", {"TIDE", "WELL:1.", "3.0.0\r", "\n"}, true},
      {"a zero byte ends a piece's text",
       {std::string("TIDEWELL:1.3\0.9\r\n", 17), ".0\r\n"},
       true},
      {"a zero byte hides the rest of its piece", {std::string("TIDEWELL:1.3\0.0\r\n", 17)}, false},
      {"a marker past 10,000 bytes",
       Pieces(DocumentWithEntryEndingAt(20000, 19500, "2.0.0.0"), 1023), false},
      {"nine full pieces: an entry ending at byte 9,207",
       Pieces(DocumentWithEntryEndingAt(20000, 9207, "2.0.0.0"), 1023), true},
      {"nine full pieces: an entry ending at byte 9,208",
       Pieces(DocumentWithEntryEndingAt(20000, 9208, "2.0.0.0"), 1023), false},
      {"short pieces: the 10,000-byte bound",
       Pieces(DocumentWithEntryEndingAt(20000, 10000, "2.0.0.0"), 1000), true},
      {"short pieces: one byte past the bound",
       Pieces(DocumentWithEntryEndingAt(20000, 10001, "2.0.0.0"), 1000), false},
  };
}

TEST_F(UpdateCheckTest, TheVersionListDecidesUnderTheOrderedRule) {
  for (const ListCase& c : ListCases()) {
    SCOPED_TRACE(c.name);
    hl::ResetScripts();
    if (dlg) hl::Close(*dlg);
    OpenQuietly();  // a fresh dialog: it shows one notice at most
    world->SetInternetAnswer(c.pieces);
    Check();
    EXPECT_EQ(NoticeShown(), c.notice);
    EXPECT_EQ(world->OpenInternetHandles(), 0);
  }
}

TEST_F(UpdateCheckTest, TheFetchAsksForTheListWithoutCacheInPiecesOf1023Bytes) {
  OpenQuietly();
  world->SetInternetAnswer(Pieces(std::string(3000, 'x'), 1023));
  Check();
  auto opens = world->InternetOpens();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].agent, u"Tidewell");
  EXPECT_EQ(opens[0].accessType, INTERNET_OPEN_TYPE_PRECONFIG);
  EXPECT_FALSE(opens[0].proxyGiven);
  EXPECT_EQ(opens[0].flags, INTERNET_FLAG_DONT_CACHE);
  auto urls = world->UrlOpens();
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0].url, kListAddress);
  EXPECT_EQ(urls[0].flags, 0x84000001u);
  // Timeouts of at most 30 s for connecting, sending and receiving.
  auto options = world->InternetOptions();
  ASSERT_EQ(options.size(), 3u);
  for (auto [option, ms] : options) {
    EXPECT_TRUE(option == INTERNET_OPTION_CONNECT_TIMEOUT ||
                option == INTERNET_OPTION_SEND_TIMEOUT ||
                option == INTERNET_OPTION_RECEIVE_TIMEOUT);
    EXPECT_GT(ms, 0u);
    EXPECT_LE(ms, 30000u);
  }
  EXPECT_EQ(world->ReadSizes(), (std::vector<DWORD>{1023, 1023, 1023, 1023}));
  EXPECT_EQ(world->OpenInternetHandles(), 0);
}

struct SilentCase {
  const char* name;
  const char* failingCall;  // nullptr: no failure injected
  int skip;
  DWORD httpStatus;
  bool answerSet;
};

TEST_F(UpdateCheckTest, EveryFailureIsSilentAndReleasesWhatItOpened) {
  const SilentCase cases[] = {
      {"no network", nullptr, 0, 200, false},  // first: an answer cannot be unset
      {"the internet cannot be opened", "InternetOpenW", 0, 200, true},
      {"a timeout cannot be set", "InternetSetOptionW", 0, 200, true},
      {"the address cannot be opened (certificate)", "InternetOpenUrlW", 0, 200, true},
      {"the status cannot be read", "HttpQueryInfoW", 0, 200, true},
      {"an error page that holds the marker", nullptr, 0, 404, true},
      {"the first read fails", "InternetReadFile", 0, 200, true},
      {"a later read fails (timeout)", "InternetReadFile", 1, 200, true},
  };
  OpenQuietly();
  for (const SilentCase& c : cases) {
    SCOPED_TRACE(c.name);
    hl::ResetScripts();
    if (c.answerSet) world->SetInternetAnswer({"TIDEWELL:", "2.0.0.0\r\n"}, c.httpStatus);
    if (c.failingCall) world->FailCall(c.failingCall, ERROR_INTERNET_TIMEOUT, c.skip);
    Check();
    EXPECT_EQ(world->OpenInternetHandles(), 0);
    EXPECT_FALSE(NoticeShown());
    EXPECT_TRUE(hl::MessageBoxesShown().empty());
  }
}

TEST_F(UpdateCheckTest, NoWindowOrNoOwnVersionMeansNoCheck) {
  OpenQuietly();
  world->SetInternetAnswer({"TIDEWELL:2.0.0.0\r\n"});
  CUpdaterThread noWindow;
  noWindow.ownVersionKnown = true;
  noWindow.ownVersionText = L"1.2.3.4";
  noWindow.OnUpdateCheck(0, 0);
  CUpdaterThread noVersion;
  noVersion.notifyWindow = dlg->GetSafeHwnd();
  noVersion.OnUpdateCheck(0, 0);
  hl::Pump(*dlg);
  EXPECT_TRUE(world->InternetOpens().empty());
  EXPECT_FALSE(NoticeShown());
}

TEST(ParseVersionText, NumbersFollowTheDecimalRuleAndNeedTwoDots) {
  struct Case {
    const wchar_t* text;
    bool ok;
    std::uint32_t v[4];
  } cases[] = {
      {L"1.2.3.4", true, {1, 2, 3, 4}},
      {L"1.3.0", true, {1, 3, 0, 0}},
      {L"01.2.3.4", true, {1, 2, 3, 4}},
      {L" 7 .x.+9.12abc", true, {7, 0, 9, 12}},
      {L"-1.0.0.0", true, {4294967295u, 0, 0, 0}},
      {L"99999999999.0.0", true, {2147483647u, 0, 0, 0}},
      {L"1.2.3.4.5", true, {1, 2, 3, 4}},
      {L"..", true, {0, 0, 0, 0}},
      {L"1.3", false, {9, 9, 9, 9}},
      {L"", false, {9, 9, 9, 9}},
  };
  for (const Case& c : cases) {
    std::uint32_t v[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseVersionText(c.text, v[0], v[1], v[2], v[3]), c.ok)
        << std::wstring(c.text).size();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(v[i], c.v[i]) << i;
  }
}

// ---- The thread and the notice in the dialog ----

class UpdateNoticeTest : public DialogTest {
 protected:
  void SetUp() override { world->SetFileVersion(1, 2, 3, 4); }
};

TEST_F(UpdateNoticeTest, OpeningTheDialogChecksOnceOnItsOwnThread) {
  world->SetInternetAnswer({"TIDEWELL:1.3.0.0\r\n"});
  CTidewellDlg& d = Open();
  ASSERT_NE(d.UpdaterThread(), nullptr);
  EXPECT_FALSE(d.UpdaterThread()->m_bAutoDelete);
  EXPECT_EQ(world->CallCount("CreateThread"), 1);
  ASSERT_TRUE(hl::PumpUntilHandled(d, WM_UPDATE_AVAILABLE));
  EXPECT_TRUE(NoticeShown());
  EXPECT_EQ(d.StartUpdateCheck(), 0);  // once per dialog
  EXPECT_EQ(world->CallCount("CreateThread"), 1);
  EXPECT_EQ(world->InternetOpens().size(), 1u);
}

TEST_F(UpdateNoticeTest, OkOpensThePackageAndCancelDoesNothing) {
  CTidewellDlg& d = Open();
  hl::SetModalScript(res::IDD_UPDATE_NOTIFICATION,
                     [](fw::CDialog& n) { hl::Click(n, fw::IDCANCEL); });
  hl::Deliver(d, WM_UPDATE_AVAILABLE, 0, 0);
  EXPECT_TRUE(NoticeShown());
  EXPECT_TRUE(world->ShellExecuteCalls().empty());

  CTidewellDlg second;
  hl::Open(second);
  hl::SetModalScript(res::IDD_UPDATE_NOTIFICATION, [](fw::CDialog& n) { hl::Click(n, fw::IDOK); });
  hl::Deliver(second, WM_UPDATE_AVAILABLE, 0, 0);
  auto calls = world->ShellExecuteCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].owner, second.GetSafeHwnd());
  EXPECT_EQ(calls[0].operation, u"open");
  EXPECT_EQ(calls[0].file, kPackageAddress);
  EXPECT_FALSE(calls[0].parametersGiven);
  EXPECT_FALSE(calls[0].directoryGiven);
  EXPECT_EQ(calls[0].showCommand, SW_SHOWNORMAL);
  hl::Close(second);
}

TEST_F(UpdateNoticeTest, TheNoticeIsShownAtMostOnce) {
  CTidewellDlg& d = Open();
  hl::Deliver(d, WM_UPDATE_AVAILABLE, 0, 0);
  hl::Deliver(d, WM_UPDATE_AVAILABLE, 0, 0);
  EXPECT_EQ(std::count(hl::ModalDialogsRun().begin(), hl::ModalDialogsRun().end(),
                       res::IDD_UPDATE_NOTIFICATION),
            1);
}

TEST_F(UpdateNoticeTest, AFailedShellOpenIsNotReported) {
  CTidewellDlg& d = Open();
  hl::SetModalScript(res::IDD_UPDATE_NOTIFICATION, [](fw::CDialog& n) { hl::Click(n, fw::IDOK); });
  world->FailCall("ShellExecuteW", ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hl::Deliver(d, WM_UPDATE_AVAILABLE, 0, 0), 0);
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
}

TEST_F(UpdateNoticeTest, NoOwnVersionMeansNoCheck) {
  world->RemoveVersionResource();
  world->SetInternetAnswer({"TIDEWELL:9.0.0.0\r\n"});
  Open();
  hl::Close(*dlg);
  dlg.reset();
  world->WaitForThreads();  // the check, had it run, is over
  EXPECT_TRUE(world->InternetOpens().empty());
}

TEST_F(UpdateNoticeTest, WithoutAThreadThereIsNoCheckAndNoMessage) {
  world->FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
  world->SetInternetAnswer({"TIDEWELL:9.0.0.0\r\n"});
  CTidewellDlg& d = Open();
  EXPECT_EQ(d.UpdaterThread(), nullptr);
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
  EXPECT_EQ(hl::Caption(d), L"Tidewell Version 1.2.3.4");
}

TEST_F(UpdateNoticeTest, ClosingWhileTheCheckWaitsOnTheNetworkNeitherHangsNorCrashes) {
  world->SetInternetAnswer({"TIDEWELL:9.0.0.0\r\n"});
  Gate network;
  world->onInternetOpenUrl = [&network] { network.Arrive(); };
  Open();
  ASSERT_TRUE(network.WaitReached());
  hl::PressEscape(*dlg);
  EXPECT_TRUE(hl::IsEnded(*dlg));
  hl::Close(*dlg);
  dlg.reset();  // does not wait for the check
  network.Release();
  world->WaitForThreads();  // the check ends, its report lost, the thread with it
  EXPECT_EQ(world->OpenInternetHandles(), 0);
}

TEST_F(UpdateNoticeTest, WaitingForThreadsWaitsForTheCheckButNotForTheIdleLoop) {
  CTidewellDlg& d = Open();  // no answer set: no network
  world->WaitForThreads();
  EXPECT_EQ(world->UrlOpens().size(), 1u);
  EXPECT_EQ(world->OpenInternetHandles(), 0);
  EXPECT_EQ(hl::Pump(d), 0);  // silent
}

TEST_F(UpdateNoticeTest, AThreadStillHeldAtItsStartEndsWhenReleased) {
  auto* idle = fw::AfxBeginThread<CUpdaterThread>(fw::THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(idle, nullptr);
  idle->m_bAutoDelete = false;
  idle->QuitAndRelease();   // never resumed, never asked to check
  world->WaitForThreads();  // returns: the thread has ended and deleted its object
  EXPECT_EQ(world->CallCount("CreateThread"), 1);
}

}  // namespace
