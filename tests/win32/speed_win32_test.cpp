// The speed test through the real platform, on a drive letter that the
// prefix maps to a host folder (scripts/test.sh names it in
// TIDEWELL_SPEED_DRIVE): unbuffered, write-through transfers, the temporary
// file in the root, the counter and the posted rate texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "framework/framework.h"
#include "speedtest/speed_test.h"
#include "ui/messages.h"

#include <windows.h>

namespace {

// Names of the "USB*.TMP" files in the drive's root.
std::vector<std::wstring> TempFiles(char letter) {
  std::vector<std::wstring> names;
  std::wstring pattern = std::wstring(1, static_cast<wchar_t>(letter)) + L":\\USB*.TMP";
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}

TEST(Win32SpeedTest, BothPhasesOnAMappedDriveWithTheFileInItsRootAndGoneAfter) {
  const char* drive = std::getenv("TIDEWELL_SPEED_DRIVE");
  if (!drive || !*drive) GTEST_SKIP() << "TIDEWELL_SPEED_DRIVE names no drive letter";
  const char letter = drive[0];
  ASSERT_TRUE(TempFiles(letter).empty());
  ASSERT_TRUE(HasSpaceForSpeedTest(letter));

  // The worker's messages come to a window of this thread.
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SpeedJob job;
  job.driveLetter = letter;
  job.notifyWindow = reinterpret_cast<plat::HWND>(window);
  std::thread worker([&] { SpeedTestThreadProc(&job); });

  std::vector<int> progress;
  std::vector<std::wstring> writes, reads, duringTheTest;
  bool finished = false;
  MSG msg{};
  while (!finished && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd != window) continue;
    auto* text = reinterpret_cast<std::wstring*>(msg.wParam);
    switch (msg.message) {
      case WM_SPEED_PROGRESS: progress.push_back(static_cast<int>(msg.wParam)); break;
      case WM_SPEED_WRITE_RATE:
      case WM_SPEED_READ_RATE:
        if (!job.postedTexts.Take(text)) {
          ADD_FAILURE() << "a rate text the job did not post";
          break;
        }
        (msg.message == WM_SPEED_WRITE_RATE ? writes : reads).push_back(*text);
        delete text;
        if (writes.size() == 1 && reads.empty()) duringTheTest = TempFiles(letter);
        break;
      case WM_SPEED_FINISHED:
        finished = true;
        EXPECT_EQ(msg.wParam, 0u);
        break;
      default: break;
    }
  }
  worker.join();
  ::DestroyWindow(window);

  EXPECT_EQ(job.errorCode, 0u);
  EXPECT_GT(job.writeRate, 0.0);
  EXPECT_GT(job.readRate, 0.0);
  EXPECT_EQ(writes.size(), 10u);
  EXPECT_EQ(reads.size(), 10u);
  EXPECT_EQ(reads.back(), FormatRate(job.readRate));
  EXPECT_EQ(progress.size(), 20u);
  ASSERT_EQ(duringTheTest.size(), 1u);
  EXPECT_EQ(duringTheTest[0].substr(0, 3), L"USB");
  EXPECT_TRUE(TempFiles(letter).empty());
  EXPECT_EQ(job.postedTexts.Count(), 0u);
  std::printf("write %.2f MB/s, read %.2f MB/s on %c:\n", job.writeRate, job.readRate, letter);
}

}  // namespace
