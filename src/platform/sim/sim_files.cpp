// Files, volumes and raw storage in the simulated world: the calls route a
// path to the object behind it (sim_io.h), keep each handle's position,
// apply the faults a test injected and record every open.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>
#include <thread>

#include "platform/sim/sim_impl.h"

namespace sim {

using namespace plat;

namespace {

char16_t LowerUnit(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameText(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return LowerUnit(x) == LowerUnit(y); });
}

bool StartsWith(const std::u16string& s, const std::u16string& prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

char UpperLetter(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char>(c - 32);
  if (c >= u'A' && c <= u'Z') return static_cast<char>(c);
  return 0;
}

}  // namespace

// ---- The world's side ----

void World::MapDriveFolder(char letter, const std::u16string& hostFolder) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->driveFolders[UpperLetter(static_cast<char16_t>(letter))] = hostFolder;
}

void World::SetDiskSpace(char letter, const DiskSpace& space) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->diskSpace[UpperLetter(static_cast<char16_t>(letter))] = space;
}

void World::FailIoAt(const std::u16string& path, bool write, LONGLONG offset, DWORD error) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->ioFaults.push_back({path, write, offset, error});
}

std::vector<World::FileOpen> World::FileOpens() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->fileOpens;
}

void World::SetCounter(std::function<LONGLONG()> counter, LONGLONG frequency) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->counter = std::move(counter);
  impl_->counterFrequency = frequency;
}

void World::SetDriveRates(char letter, double writeBytesPerSecond, double readBytesPerSecond) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->driveRates[UpperLetter(static_cast<char16_t>(letter))] = {writeBytesPerSecond,
                                                                    readBytesPerSecond};
}

void World::StartCallLog() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->logCalls = true;
  impl_->callLog.clear();
}

std::vector<std::string> World::CallLog() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->callLog;
}

int World::LiveAllocations() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return static_cast<int>(impl_->allocations.size());
}

// ---- Objects: what a device that does not support a request answers ----

bool IoObject::Control(DWORD, const void*, DWORD, void*, DWORD, DWORD*, DWORD& error) {
  error = ERROR_INVALID_FUNCTION;
  return false;
}
bool IoObject::ReadAt(LONGLONG, void*, DWORD, DWORD*, DWORD& error) {
  error = ERROR_INVALID_FUNCTION;
  return false;
}
bool IoObject::WriteAt(LONGLONG, const void*, DWORD, DWORD*, DWORD& error) {
  error = ERROR_INVALID_FUNCTION;
  return false;
}
bool IoObject::Size(LONGLONG&, DWORD& error) {
  error = ERROR_INVALID_FUNCTION;
  return false;
}
bool IoObject::SetSize(LONGLONG, DWORD& error) {
  error = ERROR_INVALID_FUNCTION;
  return false;
}

namespace {

World::Impl& W() { return Current().impl(); }

bool Fails(const char* call) {
  DWORD error = 0;
  if (!W().Fails(call, error)) return false;
  SetLastError(error);
  return true;
}

// The host path of a program path: a mapped drive letter leads into its
// folder; on POSIX any other drive letter names nothing, on Windows the
// host's own file system.
bool HostPathOf(const std::u16string& path, std::u16string& host, DWORD& error) {
  bool hasLetter = path.size() >= 2 && UpperLetter(path[0]) && path[1] == u':';
  if (hasLetter) {
    std::u16string folder;
    {
      auto& w = W();
      std::lock_guard<std::mutex> lock(w.mu);
      auto it = w.driveFolders.find(UpperLetter(path[0]));
      if (it != w.driveFolders.end()) folder = it->second;
    }
    if (!folder.empty()) {
      std::u16string rest = path.substr(2);
      while (!rest.empty() && (rest[0] == u'\\' || rest[0] == u'/')) rest.erase(0, 1);
#ifdef _WIN32
      host = folder + u"\\" + rest;
#else
      std::replace(rest.begin(), rest.end(), u'\\', u'/');
      host = folder + u"/" + rest;
#endif
      return true;
    }
#ifndef _WIN32
    error = ERROR_PATH_NOT_FOUND;
    return false;
#endif
  }
  host = path;
#ifndef _WIN32
  std::replace(host.begin(), host.end(), u'\\', u'/');
#endif
  if (host.empty()) {
    error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  return true;
}

std::unique_ptr<IoObject> OpenPath(const OpenRequest& request, DWORD& error) {
  const std::u16string& path = request.path;
  if (StartsWith(path, u"\\\\.\\") || StartsWith(path, u"\\\\?\\")) {
    std::u16string name = path.substr(4);
    if (name.size() == 2 && UpperLetter(name[0]) && name[1] == u':')
      return OpenVolume(Current(), UpperLetter(name[0]), request, error);
    const std::u16string drive = u"PhysicalDrive";
    if (StartsWith(name, drive) && name.size() > drive.size() && name.size() <= drive.size() + 9 &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(drive.size()), name.end(),
                    [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
      DWORD number = 0;
      for (std::size_t i = drive.size(); i < name.size(); ++i)
        number = number * 10 + static_cast<DWORD>(name[i] - u'0');
      return OpenPhysicalDrive(Current(), number, request, error);
    }
    return OpenDeviceInterface(Current(), request, error);
  }
  std::u16string host;
  if (!HostPathOf(path, host, error)) return nullptr;
  return OpenHostFile(host, request, error);
}

HANDLE Open(const char* call, const OpenRequest& request) {
  std::unique_ptr<IoObject> object;
  DWORD error = 0;
  if (!Fails(call)) object = OpenPath(request, error);
  else error = GetLastError();
  {
    auto& w = W();
    std::lock_guard<std::mutex> lock(w.mu);
    w.fileOpens.push_back({request.path, request.access, request.share, request.disposition,
                           request.flags, object != nullptr});
  }
  if (!object) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  object->path = request.path;
  auto state = std::make_shared<IoHandleState>();
  state->object = std::move(object);
  state->request = request;
  HANDLE h = NewIoHandle(std::move(state));
  SetLastError(0);
  return h;
}

// Takes the first fault due for a transfer of `size` bytes at `position`:
// false with `error` when it fails the transfer, else `size` cut short.
bool ApplyFault(const std::u16string& path, bool write, LONGLONG position, DWORD& size,
                DWORD& error) {
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  for (auto it = w.ioFaults.begin(); it != w.ioFaults.end(); ++it) {
    if (it->write != write || !SameText(it->path, path)) continue;
    if (it->offset < position || it->offset >= position + static_cast<LONGLONG>(size)) continue;
    IoFault fault = *it;
    w.ioFaults.erase(it);
    if (fault.error != 0) {
      error = fault.error;
      return false;
    }
    size = static_cast<DWORD>(fault.offset - position);
    return true;
  }
  return true;
}

std::shared_ptr<IoHandleState> Io(HANDLE handle) {
  std::shared_ptr<IoHandleState> state = FindIoHandle(handle);
  if (!state) SetLastError(ERROR_INVALID_HANDLE);
  return state;
}

std::u16string Widen(const char* s) {
  std::u16string out;
  for (; s && *s; ++s) out.push_back(static_cast<unsigned char>(*s));
  return out;
}

// The space a root reports: a test's figures, else its folder's file system.
bool SpaceOf(const WCHAR* root, HostSpace& space) {
  if (root && UpperLetter(root[0]) && root[1] == u':') {
    auto& w = W();
    std::lock_guard<std::mutex> lock(w.mu);
    auto it = w.diskSpace.find(UpperLetter(root[0]));
    if (it != w.diskSpace.end()) {
      space = it->second;
      return true;
    }
  }
  std::u16string host;
  DWORD error = 0;
  if (!root || !HostPathOf(root, host, error)) {
    SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (!HostDiskSpace(host, space, error)) {
    SetLastError(error);
    return false;
  }
  return true;
}

// A drive given rates (the demo's sticks) holds each transfer of its files
// until the drive would have finished it; only a real clock waits.
class Pace {
 public:
  Pace(const IoHandleState& state, bool write, DWORD size) {
    const std::u16string& p = state.request.path;
    char letter = p.size() >= 2 && p[1] == u':' ? UpperLetter(p[0]) : 0;
    auto& w = W();
    std::lock_guard<std::mutex> lock(w.mu);
    auto it = w.driveRates.find(letter);
    if (!letter || !w.realTime || it == w.driveRates.end()) return;
    double rate = write ? it->second.first : it->second.second;
    if (rate > 0)
      until_ = std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(size / rate));
  }
  ~Pace() {
    if (until_) std::this_thread::sleep_until(*until_);
  }
  Pace(const Pace&) = delete;
  Pace& operator=(const Pace&) = delete;

 private:
  std::optional<std::chrono::steady_clock::time_point> until_;
};

}  // namespace
}  // namespace sim

namespace plat {

using sim::Io;
using sim::OpenRequest;

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, const void*, DWORD disposition,
                   DWORD flags, HANDLE) {
  return sim::Open("CreateFileA", OpenRequest{sim::Widen(path), access, share, disposition, flags});
}

HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD share, const void*, DWORD disposition,
                   DWORD flags, HANDLE) {
  return sim::Open("CreateFileW", OpenRequest{path ? std::u16string(path) : std::u16string(), access, share,
                               disposition, flags});
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void*) {
  if (sim::Fails("DeviceIoControl")) return 0;
  auto state = Io(device);
  if (!state) return 0;
  DWORD error = 0;
  DWORD got = 0;
  if (!state->object->Control(code, in, inSize, out, outSize, &got, error)) {
    SetLastError(error);
    return 0;
  }
  if (returned) *returned = got;
  return 1;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void*) {
  if (read) *read = 0;
  if (sim::Fails("ReadFile")) return 0;
  auto state = Io(file);
  if (!state) return 0;
  DWORD error = 0;
  DWORD size = toRead;
  DWORD got = 0;
  sim::Pace pace(*state, false, toRead);
  if (!sim::ApplyFault(state->object->path, false, state->position, size, error) ||
      !state->object->ReadAt(state->position, buffer, size, &got, error)) {
    SetLastError(error);
    return 0;
  }
  state->position += got;
  if (read) *read = got;
  return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void*) {
  if (written) *written = 0;
  if (sim::Fails("WriteFile")) return 0;
  auto state = Io(file);
  if (!state) return 0;
  DWORD error = 0;
  DWORD size = toWrite;
  DWORD put = 0;
  sim::Pace pace(*state, true, toWrite);
  if (!sim::ApplyFault(state->object->path, true, state->position, size, error) ||
      !state->object->WriteAt(state->position, buffer, size, &put, error)) {
    SetLastError(error);
    return 0;
  }
  state->position += put;
  if (written) *written = put;
  return 1;
}

namespace {

// Moves a handle's position as both pointer calls do; false with the last
// error set.
bool MovePointer(HANDLE file, LONGLONG distance, DWORD method, LONGLONG& position) {
  auto state = Io(file);
  if (!state) return false;
  LONGLONG base = 0;
  DWORD error = 0;
  if (method == FILE_CURRENT) {
    base = state->position;
  } else if (method == FILE_END) {
    if (!state->object->Size(base, error)) {
      SetLastError(error);
      return false;
    }
  } else if (method != FILE_BEGIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (base + distance < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  position = state->position = base + distance;
  return true;
}

}  // namespace

BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD method) {
  if (sim::Fails("SetFilePointerEx")) return 0;
  LONGLONG position = 0;
  if (!MovePointer(file, distance, method, position)) return 0;
  if (newPosition) *newPosition = position;
  return 1;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  if (sim::Fails("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  LONGLONG move = distanceHigh ? (static_cast<LONGLONG>(*distanceHigh) << 32) |
                                     static_cast<std::uint32_t>(distance)
                               : distance;
  LONGLONG position = 0;
  if (!MovePointer(file, move, method, position)) return INVALID_SET_FILE_POINTER;
  if (distanceHigh) *distanceHigh = static_cast<LONG>(position >> 32);
  SetLastError(0);
  return static_cast<DWORD>(position & 0xFFFFFFFF);
}

BOOL SetEndOfFile(HANDLE file) {
  if (sim::Fails("SetEndOfFile")) return 0;
  auto state = Io(file);
  if (!state) return 0;
  DWORD error = 0;
  if (!state->object->SetSize(state->position, error)) {
    SetLastError(error);
    return 0;
  }
  return 1;
}

DWORD GetFileAttributesW(const WCHAR* path) {
  if (sim::Fails("GetFileAttributesW")) return INVALID_FILE_ATTRIBUTES;
  std::u16string host;
  DWORD error = 0;
  if (!path || !sim::HostPathOf(path, host, error)) {
    SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = sim::HostFileAttributes(host, error);
  if (attributes == INVALID_FILE_ATTRIBUTES) SetLastError(error);
  return attributes;
}

BOOL DeleteFileW(const WCHAR* path) {
  if (sim::Fails("DeleteFileW")) return 0;
  std::u16string host;
  DWORD error = 0;
  if (!path || !sim::HostPathOf(path, host, error) || !sim::HostDeleteFile(host, error)) {
    SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
    return 0;
  }
  return 1;
}

UINT GetTempFileNameW(const WCHAR* directory, const WCHAR* prefix, UINT unique, WCHAR* tempFile) {
  if (sim::Fails("GetTempFileNameW")) return 0;
  if (!directory || !tempFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string dir(directory);
  if (!dir.empty() && dir.back() != u'\\') dir += u'\\';
  std::u16string pre = prefix ? std::u16string(prefix).substr(0, 3) : std::u16string();
  static const char16_t kHex[] = u"0123456789ABCDEF";
  auto nameOf = [&](UINT n) {
    std::u16string hex;
    for (; n; n >>= 4) hex.insert(hex.begin(), kHex[n & 15]);
    return dir + pre + hex + u".TMP";
  };
  auto finish = [&](const std::u16string& name, UINT n) -> UINT {
    if (name.size() >= 260) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    std::copy(name.begin(), name.end(), tempFile);
    tempFile[name.size()] = 0;
    return n;
  };
  if (unique != 0) return finish(nameOf(unique & 0xFFFF), unique & 0xFFFF);
  // As the platform does: start from the clock, create the first free name.
  UINT start = static_cast<UINT>(
      std::chrono::steady_clock::now().time_since_epoch().count() / 1000 % 0xFFFF) + 1;
  for (UINT i = 0; i < 0xFFFF; ++i) {
    UINT n = (start + i - 1) % 0xFFFF + 1;
    std::u16string name = nameOf(n);
    std::u16string host;
    DWORD error = 0;
    if (!sim::HostPathOf(name, host, error)) {
      SetLastError(error);
      return 0;
    }
    auto file = sim::OpenHostFile(host, OpenRequest{name, GENERIC_WRITE, 0, CREATE_NEW, 0}, error);
    if (file) return finish(name, n);
    if (error != ERROR_FILE_EXISTS) {
      SetLastError(error);
      return 0;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

BOOL GetDiskFreeSpaceExW(const WCHAR* directory, ULONGLONG* freeToCaller, ULONGLONG* total,
                         ULONGLONG* totalFree) {
  if (sim::Fails("GetDiskFreeSpaceExW")) return 0;
  sim::HostSpace space;
  if (!sim::SpaceOf(directory, space)) return 0;
  if (freeToCaller) *freeToCaller = space.freeToCaller;
  if (total) *total = space.total;
  if (totalFree) *totalFree = space.totalFree;
  return 1;
}

BOOL GetDiskFreeSpaceW(const WCHAR* root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters) {
  if (sim::Fails("GetDiskFreeSpaceW")) return 0;
  sim::HostSpace space;
  if (!sim::SpaceOf(root, space)) return 0;
  if (sectorsPerCluster) *sectorsPerCluster = space.sectorsPerCluster;
  if (bytesPerSector) *bytesPerSector = space.bytesPerSector;
  if (freeClusters) *freeClusters = space.freeClusters;
  if (totalClusters) *totalClusters = space.totalClusters;
  return 1;
}

BOOL QueryPerformanceCounter(LONGLONG* count) {
  std::function<LONGLONG()> counter;
  LONGLONG frequency = 0;
  {
    auto& w = sim::W();
    std::lock_guard<std::mutex> lock(w.mu);
    counter = w.counter;
    frequency = w.counterFrequency;
    w.LogLocked("QueryPerformanceCounter");
  }
  if (counter) {
    *count = counter();
    return 1;
  }
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
  *count = static_cast<LONGLONG>(static_cast<long double>(ns) * frequency / 1e9L);
  return 1;
}

BOOL QueryPerformanceFrequency(LONGLONG* frequency) {
  auto& w = sim::W();
  std::lock_guard<std::mutex> lock(w.mu);
  w.LogLocked("QueryPerformanceFrequency");
  *frequency = w.counterFrequency;
  return 1;
}

// Page-aligned and zeroed, as the platform gives them.
void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD) {
  if (sim::Fails("VirtualAlloc")) return nullptr;
  if (address || size == 0 || (allocationType & MEM_COMMIT) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* block = ::operator new(size, std::align_val_t{4096}, std::nothrow);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memset(block, 0, size);
  auto& w = sim::W();
  std::lock_guard<std::mutex> lock(w.mu);
  w.allocations.insert(block);
  return block;
}

BOOL VirtualFree(void* address, std::size_t size, DWORD freeType) {
  if (sim::Fails("VirtualFree")) return 0;
  {
    auto& w = sim::W();
    std::lock_guard<std::mutex> lock(w.mu);
    if (size != 0 || freeType != MEM_RELEASE || !w.allocations.erase(address)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  ::operator delete(address, std::align_val_t{4096});
  return 1;
}

}  // namespace plat
