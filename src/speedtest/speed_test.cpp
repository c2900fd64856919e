#include "speedtest/speed_test.h"

#include <cstdio>
#include <cstring>

#include "framework/framework.h"
#include "platform/unique_handle.h"
#include "ui/messages.h"

using namespace plat;

PostedRateTexts::~PostedRateTexts() {
  for (std::wstring* text : texts_) delete text;
}

void PostedRateTexts::Add(std::wstring* text) {
  std::lock_guard<std::mutex> lock(mu_);
  texts_.insert(text);
}

bool PostedRateTexts::Take(std::wstring* text) {
  std::lock_guard<std::mutex> lock(mu_);
  return texts_.erase(text) != 0;
}

std::size_t PostedRateTexts::Count() const {
  std::lock_guard<std::mutex> lock(mu_);
  return texts_.size();
}

namespace {

std::u16string RootOf(char letter) {
  return std::u16string{static_cast<char16_t>(static_cast<unsigned char>(letter)), u':', u'\\'};
}

ULONGLONG SpaceNeeded(DWORD blockSize) { return static_cast<ULONGLONG>(kSpeedPasses) * blockSize; }

// One fixed pseudo-random sequence: the test never writes what memory held
// before, and a controller that compresses zeros cannot flatter the rate.
void FillPattern(void* buffer, std::size_t size) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto* out = static_cast<unsigned char*>(buffer);
  for (std::size_t i = 0; i < size; i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(out + i, &state, size - i < 8 ? size - i : 8);
  }
}

struct Buffer {
  void* data = nullptr;
  ~Buffer() {
    if (data) VirtualFree(data, 0, MEM_RELEASE);
  }
};

void PostProgress(const SpeedJob& job, int k, bool readPhase) {
  if (job.notifyWindow)
    fw::backend::PostMessage(job.notifyWindow, WM_SPEED_PROGRESS,
                             static_cast<WPARAM>(SpeedProgress(k, readPhase)), 0);
}

bool PostRate(SpeedJob& job, UINT message, double rate) {
  if (!job.notifyWindow) return false;
  auto* text = new std::wstring(FormatRate(rate));
  job.postedTexts.Add(text);
  // From here the text is the receiver's, unless the post never arrives.
  if (!fw::backend::PostMessage(job.notifyWindow, message, reinterpret_cast<WPARAM>(text), 0) &&
      job.postedTexts.Take(text))
    delete text;
  return true;
}

// One pass of a phase: open, position, one timed transfer, close. The File
// test's span holds the whole pass, the Read/Write test's the call alone.
struct Pass {
  const SpeedJob& job;
  const std::u16string& path;
  void* buffer;

  bool Write(LONGLONG& ticks, DWORD& error) const {
    LONGLONG start = 0, end = 0;
    if (job.fileTest) QueryPerformanceCounter(&start);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING,
                                      nullptr));
    if (!file) return Fail(ERROR_WRITE_FAULT, error);
    if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
      return Fail(ERROR_READ_FAULT, error);
    if (!job.fileTest) QueryPerformanceCounter(&start);
    DWORD written = 0;
    BOOL ok = WriteFile(file.get(), buffer, job.blockSize, &written, nullptr);
    if (!job.fileTest) QueryPerformanceCounter(&end);
    // A short write moved less than the rate would claim.
    if (!ok || written != job.blockSize) return Fail(ERROR_WRITE_FAULT, error);
    file.reset();
    if (job.fileTest) QueryPerformanceCounter(&end);
    ticks = end - start;
    return true;
  }

  bool Read(int k, LONGLONG& ticks, DWORD& error) const {
    LONGLONG start = 0, end = 0;
    if (job.fileTest) QueryPerformanceCounter(&start);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_NO_BUFFERING, nullptr));
    if (!file) return Fail(ERROR_READ_FAULT, error);
    auto offset = static_cast<LONG>(static_cast<DWORD>(k - 1) * job.blockSize);
    if (SetFilePointer(file.get(), offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
      return Fail(ERROR_READ_FAULT, error);
    if (!job.fileTest) QueryPerformanceCounter(&start);
    DWORD read = 0;
    BOOL ok = ReadFile(file.get(), buffer, job.blockSize, &read, nullptr);
    if (!job.fileTest) QueryPerformanceCounter(&end);
    if (!ok || read != job.blockSize) return Fail(ERROR_READ_FAULT, error);
    file.reset();
    if (job.fileTest) QueryPerformanceCounter(&end);
    ticks = end - start;
    return true;
  }

  static bool Fail(DWORD code, DWORD& error) {
    error = code;
    return false;
  }
};

}  // namespace

double PassRate(DWORD blockSize, LONGLONG ticks, LONGLONG frequency) {
  double seconds =
      static_cast<double>(ticks) * 1000000.0 / static_cast<double>(frequency) / 1000000.0;
  return static_cast<double>(static_cast<ULONGLONG>(blockSize)) / seconds / 1048576.0;
}

double FoldRate(double running, double pass, int passNumber) {
  return passNumber == 1 ? pass : (pass + running) / 2.0;
}

int SpeedProgress(int k, bool readPhase) {
  float share = static_cast<float>(k) / 11.0f * 50.0f;
  if (readPhase) share += 50.0f;
  return static_cast<int>(share);
}

std::wstring FormatRate(double rate) {
  wchar_t text[64] = {};
  std::swprintf(text, 64, L"%.2f MB/s", rate);
  return text;
}

bool PostReadRate(SpeedJob& job) { return PostRate(job, WM_SPEED_READ_RATE, job.readRate); }
bool PostWriteRate(SpeedJob& job) { return PostRate(job, WM_SPEED_WRITE_RATE, job.writeRate); }

bool HasSpaceForSpeedTest(char letter, DWORD blockSize) {
  ULONGLONG freeToCaller = 0, total = 0, totalFree = 0;
  if (!GetDiskFreeSpaceExW(RootOf(letter).c_str(), &freeToCaller, &total, &totalFree)) return false;
  return freeToCaller >= SpaceNeeded(blockSize);
}

bool RunSpeedTest(SpeedJob& job) {
  const std::u16string root = RootOf(job.driveLetter);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    job.errorCode = ERROR_INVALID_FUNCTION;
    return false;
  }
  if (static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector * freeClusters <
      SpaceNeeded(job.blockSize)) {
    job.errorCode = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  WCHAR name[260] = {};
  if (GetTempFileNameW(root.c_str(), u"USB", 0, name) == 0) {
    job.errorCode = ERROR_WRITE_PROTECT;
    return false;
  }
  const std::u16string path(name);
  Buffer buffer;
  buffer.data = VirtualAlloc(nullptr, job.blockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!buffer.data) {
    DeleteFileW(path.c_str());
    job.errorCode = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  FillPattern(buffer.data, job.blockSize);

  const Pass pass{job, path, buffer.data};
  DWORD error = 0;
  bool ok = true;
  for (int phase = 0; phase < 2 && ok; ++phase) {
    const bool reading = phase == 1;
    for (int k = 1; k <= kSpeedPasses && ok; ++k) {
      LONGLONG frequency = 0, ticks = 0;
      QueryPerformanceFrequency(&frequency);
      PostProgress(job, k, reading);
      ok = reading ? pass.Read(k, ticks, error) : pass.Write(ticks, error);
      if (!ok) break;
      double& rate = reading ? job.readRate : job.writeRate;
      rate = FoldRate(rate, PassRate(job.blockSize, ticks, frequency), k);
      reading ? PostReadRate(job) : PostWriteRate(job);
      if (job.stopRequested.load() && !(reading && k == kSpeedPasses)) {
        error = kSpeedTestStopped;
        ok = false;
      }
    }
  }
  DeleteFileW(path.c_str());
  if (!ok) job.errorCode = error;
  return ok;
}

UINT SpeedTestThreadProc(void* param) {
  auto& job = *static_cast<SpeedJob*>(param);
  RunSpeedTest(job);
  if (job.notifyWindow)
    fw::backend::PostMessage(job.notifyWindow, WM_SPEED_FINISHED,
                             static_cast<WPARAM>(job.errorCode), 0);
  return 0;
}
