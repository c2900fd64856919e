// The speed test: ten blocks written to a temporary file in the drive's root
// and read back, each pass timed with the high-resolution counter, either
// the bare transfer call (Read/Write test) or the whole open-to-close pass
// (File test).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>

#include "platform/platform.h"

constexpr plat::DWORD kSpeedBlockSize = 8388608;  // 8 MiB, a multiple of every sector size
constexpr int kSpeedPasses = 10;
// The test stopped after a pass because the dialog is closing.
constexpr plat::DWORD kSpeedTestStopped = 995;  // ERROR_OPERATION_ABORTED

// Rate texts on their way to the dialog: posted and not yet taken over by a
// handler. A window that goes with messages still queued drops them; the
// job frees what nobody took once its worker has ended.
class PostedRateTexts {
 public:
  PostedRateTexts() = default;
  ~PostedRateTexts();
  PostedRateTexts(const PostedRateTexts&) = delete;
  PostedRateTexts& operator=(const PostedRateTexts&) = delete;

  void Add(std::wstring* text);
  // True when `text` was still on its way; the caller owns it from then on.
  bool Take(std::wstring* text);
  std::size_t Count() const;

 private:
  mutable std::mutex mu_;
  std::unordered_set<std::wstring*> texts_;
};

struct SpeedJob {
  plat::HWND notifyWindow = nullptr;
  double writeRate = 0;  // MB/s, the running rate of the write phase
  double readRate = 0;
  plat::DWORD errorCode = 0;
  plat::DWORD blockSize = kSpeedBlockSize;
  std::int32_t fileTest = 0;  // 1: time whole passes, 0: the transfer call only
  char driveLetter = 0;
  // Set by the dialog when it is asked to close: the worker stops after the
  // pass in hand.
  std::atomic<bool> stopRequested{false};
  PostedRateTexts postedTexts;
};

// The drive has room for a test: the space free to the caller on its root
// is at least ten blocks.
bool HasSpaceForSpeedTest(char letter, plat::DWORD blockSize = kSpeedBlockSize);

// Both phases on the job's drive. False with `errorCode` set when a step
// fails; the temporary file is gone either way.
bool RunSpeedTest(SpeedJob& job);

// The worker's entry: runs the test, then posts WM_SPEED_FINISHED.
plat::UINT SpeedTestThreadProc(void* job);

// "%.2f MB/s".
std::wstring FormatRate(double rate);
// Post the job's read or write rate as a heap text; false, posting nothing,
// when the job has no window to tell.
bool PostReadRate(SpeedJob& job);
bool PostWriteRate(SpeedJob& job);

// MB/s for one block moved in `ticks` counts of a counter at `frequency`.
double PassRate(plat::DWORD blockSize, plat::LONGLONG ticks, plat::LONGLONG frequency);
// The running rate after a pass: the pass's rate for the first, then the
// mean of the pass's rate and the running rate before it.
double FoldRate(double running, double pass, int passNumber);
// The bar's position during pass `k` (1 to 10) of the write or read phase.
int SpeedProgress(int k, bool readPhase);
