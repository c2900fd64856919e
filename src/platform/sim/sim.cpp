#include "platform/sim/sim.h"

#include "platform/sim/sim_impl.h"

#include <chrono>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace sim {

using namespace plat;

namespace {

World* g_world = nullptr;
std::atomic<std::int64_t> g_callNanos{0};

// Adds the time of one platform call to g_callNanos.
class CallTimer {
 public:
  CallTimer() : start_(std::chrono::steady_clock::now()) {}
  ~CallTimer() {
    g_callNanos += std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::steady_clock::now() - start_)
                       .count();
  }
  CallTimer(const CallTimer&) = delete;
  CallTimer& operator=(const CallTimer&) = delete;

 private:
  std::chrono::steady_clock::time_point start_;
};
thread_local DWORD t_lastError = 0;

constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000LL;  // 1970 in 100 ns since 1601
constexpr std::int64_t kMaxTime64 = 32535215999LL;                  // 3000-12-31 23:59:59 UTC

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// Seconds since 1601 of a calendar instant, for SYSTEMTIME arithmetic.
std::int64_t SecondsFrom1601(const SYSTEMTIME& st) {
  return (DaysFromCivil(st.wYear, st.wMonth, st.wDay) - DaysFromCivil(1601, 1, 1)) * 86400 +
         st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
}

SYSTEMTIME SystemTimeFrom1601(std::int64_t seconds, WORD ms) {
  std::int64_t days = seconds / 86400 + DaysFromCivil(1601, 1, 1);
  std::int64_t rem = seconds % 86400;
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
  st.wHour = static_cast<WORD>(rem / 3600);
  st.wMinute = static_cast<WORD>(rem / 60 % 60);
  st.wSecond = static_cast<WORD>(rem % 60);
  st.wMilliseconds = ms;
  return st;
}

std::u16string KeyPathOf(const std::u16string& instanceId) {
  return u"SYSTEM\\CurrentControlSet\\Enum\\" + instanceId;
}

std::u16string Lower(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return s;
}

}  // namespace

plat::FILETIME FileTimeFromUnix(std::int64_t seconds) {
  std::uint64_t v = static_cast<std::uint64_t>(seconds * 10000000LL + kFileTimeUnixEpoch);
  return {static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}


World::World() : impl_(std::make_unique<Impl>()) {}

World::~World() {
  WaitForThreads();
  // What the program never released goes with the world (the single-instance
  // mutex, by design).
  for (Handle* h : impl_->handles) delete h;
  for (DevInfoSet* s : impl_->sets) delete s;
  for (OpenKey* k : impl_->openKeys) delete k;
}

std::size_t World::AddPhantom(const GUID& classGuid, const std::u16string& instanceId,
                              std::int64_t ageSeconds, bool withKey) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  Device d;
  d.classGuid = classGuid;
  d.instanceId = instanceId;
  impl_->devices.push_back(d);
  if (withKey) {
    std::int64_t now = impl_->nowBase + impl_->NowMsLocked() / 1000;
    impl_->keys[Lower(KeyPathOf(instanceId))].lastWrite = FileTimeFromUnix(now - ageSeconds);
  }
  return impl_->devices.size() - 1;
}

std::size_t World::AddPresent(const GUID& classGuid, const std::u16string& instanceId) {
  std::size_t i = AddPhantom(classGuid, instanceId, 0);
  SetStatus(i, CR_SUCCESS);
  return i;
}

void World::SetKeyTime(const std::u16string& instanceId, const FILETIME& lastWrite) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->keys[Lower(KeyPathOf(instanceId))].lastWrite = lastWrite;
}

void World::RemoveKey(const std::u16string& instanceId) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->keys.erase(Lower(KeyPathOf(instanceId)));
}

void World::BreakClass(const GUID& classGuid, DWORD error) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->brokenClasses.emplace_back(classGuid, error);
}

Device World::DeviceAt(std::size_t index) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->devices.at(index);
}

void World::SetStatus(std::size_t index, CONFIGRET status) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->devices.at(index).status = status;
}

void World::SetRemoveError(std::size_t index, DWORD error) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->devices.at(index).removeError = error;
}


std::vector<std::u16string> World::Phantoms() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  std::vector<std::u16string> out;
  for (const Device& d : impl_->devices)
    if (!d.removed && d.status != CR_SUCCESS) out.push_back(d.instanceId);
  return out;
}

void World::ShuffleDevices(std::uint32_t seed) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto& d = impl_->devices;
  for (std::size_t i = d.size(); i > 1; --i) {
    seed = seed * 1664525u + 1013904223u;
    std::swap(d[i - 1], d[(seed >> 4) % i]);
  }
}

std::int64_t World::CallNanos() { return g_callNanos.load(); }

void World::FailCall(const std::string& call, DWORD error, int skip) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->failures.push_back({call, error, skip});
}

void World::SetRealTime(bool on) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (on == impl_->realTime) return;
  if (on) {
    impl_->realStart = std::chrono::steady_clock::now();
  } else {
    impl_->virtualMs = impl_->NowMsLocked();
  }
  impl_->realTime = on;
}

void World::SetNow(std::int64_t unixSeconds) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->nowBase = unixSeconds - impl_->NowMsLocked() / 1000;
}

std::int64_t World::Now() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->nowBase + impl_->NowMsLocked() / 1000;
}

std::int64_t World::NowMs() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->NowMsLocked();
}

void World::SetUtcOffsetMinutes(int minutes) { utcOffsetMinutes_ = minutes; }

bool World::TakeFailure(const std::string& call, DWORD& error) { return impl_->Fails(call, error); }

void SetThreadParked(std::thread::id thread, bool parked) {
  if (!g_world) return;
  World::Impl& w = g_world->impl();
  std::lock_guard<std::mutex> lock(w.mu);
  for (auto& t : w.threads)
    if (t->thread.get_id() == thread) t->parked = parked;
  w.cv.notify_all();
}

void World::SetFileVersion(int major, int minor, int build, int revision) {
  version_[0] = major;
  version_[1] = minor;
  version_[2] = build;
  version_[3] = revision;
  hasVersion_ = true;
}

std::vector<World::ShellCall> World::ShellCalls() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->shellCalls;
}

int World::CallCount(const std::string& call) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->calls.find(call);
  return it == impl_->calls.end() ? 0 : it->second;
}

int World::OpenDeviceInfoSets() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return static_cast<int>(impl_->sets.size());
}

int World::OpenKeys() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return static_cast<int>(impl_->openKeys.size());
}

void World::WaitForThreads() {
  std::vector<std::shared_ptr<SimThread>> threads;
  {
    std::unique_lock<std::mutex> lock(impl_->mu);
    for (auto& t : impl_->threads)
      if (!t->resumed) t->cancelled = true;  // never resumed: it never runs
    impl_->cv.notify_all();
    // A thread idle in its message loop is not waited for (it would wait for
    // ever); one that has work is.
    const auto self = std::this_thread::get_id();
    impl_->cv.wait(lock, [&] {
      for (auto& t : impl_->threads)
        if (!t->done && !t->parked && t->thread.get_id() != self) return false;
      return true;
    });
    for (auto& t : impl_->threads)
      if (t->done) threads.push_back(t);
  }
  for (auto& t : threads)
    if (t->thread.joinable() && t->thread.get_id() != std::this_thread::get_id()) t->thread.join();
}

void World::AddForeignMutex(const std::u16string& name) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto m = std::make_shared<SimMutex>();
  m->name = name;
  m->handles = 1;  // held open by the other process
  impl_->mutexes[name] = m;
}

bool World::MutexExists(const std::u16string& name) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->mutexes.count(name) != 0;
}

int World::OpenIoHandles() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  int n = 0;
  for (const Handle* h : impl_->handles) n += h->kind == Handle::Io;
  return n;
}

plat::HANDLE NewIoHandle(std::shared_ptr<IoHandleState> state) {
  auto& w = Current().impl();
  std::lock_guard<std::mutex> lock(w.mu);
  auto* h = new Handle{Handle::Io, nullptr, nullptr, std::move(state)};
  w.handles.insert(h);
  return h;
}

std::shared_ptr<IoHandleState> FindIoHandle(plat::HANDLE handle) {
  auto& w = Current().impl();
  std::lock_guard<std::mutex> lock(w.mu);
  auto* h = static_cast<Handle*>(handle);
  if (!w.handles.count(h) || h->kind != Handle::Io) return nullptr;
  return h->io;
}

World* Install(World* world) { return std::exchange(g_world, world); }

World& Current() { return *g_world; }

// Friend access to the world's private settings for the platform calls.
struct Access {
  static const std::u16string& ModulePath(World& w) { return w.modulePath_; }
  static bool HasVersion(World& w) { return w.hasVersion_; }
  static const int* Version(World& w) { return w.version_; }
  static DWORD RemovalDelay(World& w) { return w.removalDelayMs_; }
};

}  // namespace sim

// ---------------------------------------------------------------------------
// The platform calls, acting on sim::Current().

namespace plat {

using sim::Access;
using sim::Current;

namespace {

sim::World::Impl& W() { return Current().impl(); }

bool Fails(const char* call, DWORD& error) { return W().Fails(call, error); }

// A call that reports failure through the last error.
#define SIM_FAIL_WITH_LAST_ERROR(name, failValue) \
  do {                                            \
    DWORD simError = 0;                           \
    if (Fails(name, simError)) {                  \
      sim::t_lastError = simError;                \
      return failValue;                           \
    }                                             \
  } while (0)

// A call whose result is the error code.
#define SIM_FAIL_WITH_RESULT(name)  \
  do {                              \
    DWORD simError = 0;             \
    if (Fails(name, simError)) {    \
      return simError;              \
    }                               \
  } while (0)

struct ErrorTextEntry {
  DWORD code;
  const char16_t* text;
};
constexpr ErrorTextEntry kErrorTexts[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {19, u"The media is write protected.\r\n"},
    {21, u"The device is not ready.\r\n"},
    {25, u"Seek error.\r\n"},
    {29, u"The system cannot write to the specified device.\r\n"},
    {30, u"The system cannot read from the specified device.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {1455, u"The paging file is too small for this operation to complete.\r\n"},
};

}  // namespace

DWORD GetLastError() { return sim::t_lastError; }
void SetLastError(DWORD code) { sim::t_lastError = code; }

DWORD FormatMessageW(DWORD, const void*, DWORD messageId, DWORD, WCHAR* buffer, DWORD size, void*) {
  SIM_FAIL_WITH_LAST_ERROR("FormatMessageW", 0);
  for (const ErrorTextEntry& e : kErrorTexts) {
    if (e.code != messageId) continue;
    std::u16string text(e.text);
    if (text.size() + 1 > size) {
      sim::t_lastError = 122;  // ERROR_INSUFFICIENT_BUFFER
      return 0;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
  }
  sim::t_lastError = 317;  // ERROR_MR_MID_NOT_FOUND
  return 0;
}

// ---- Kernel objects ----

HANDLE CreateMutexW(const void*, BOOL initialOwner, const WCHAR* name) {
  SIM_FAIL_WITH_LAST_ERROR("CreateMutexW", nullptr);
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  std::shared_ptr<sim::SimMutex> m;
  bool existed = false;
  if (name) {
    auto it = w.mutexes.find(name);
    if (it != w.mutexes.end()) {
      m = it->second;
      existed = true;
    }
  }
  if (!m) {
    m = std::make_shared<sim::SimMutex>();
    if (name) {
      m->name = name;
      w.mutexes[name] = m;
    }
    if (initialOwner) {
      m->owner = std::this_thread::get_id();
      m->count = 1;
    }
  }
  ++m->handles;
  auto* h = new sim::Handle{sim::Handle::Mutex, m, nullptr, nullptr};
  w.handles.insert(h);
  sim::t_lastError = existed ? ERROR_ALREADY_EXISTS : 0;
  return h;
}

namespace {
sim::Handle* FindHandle(HANDLE h) {
  auto* handle = static_cast<sim::Handle*>(h);
  return W().handles.count(handle) ? handle : nullptr;
}
}  // namespace

BOOL ReleaseMutex(HANDLE mutex) {
  sim::CallTimer timer;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  sim::Handle* h = FindHandle(mutex);
  if (!h || h->kind != sim::Handle::Mutex || h->mutex->count == 0 ||
      h->mutex->owner != std::this_thread::get_id()) {
    sim::t_lastError = 288;  // ERROR_NOT_OWNER
    return 0;
  }
  if (--h->mutex->count == 0) h->mutex->owner = std::thread::id();
  w.cv.notify_all();
  return 1;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  sim::CallTimer timer;
  auto& w = W();
  std::unique_lock<std::mutex> lock(w.mu);
  sim::Handle* h = FindHandle(handle);
  if (!h) {
    sim::t_lastError = ERROR_INVALID_HANDLE;
    return WAIT_FAILED;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  auto ready = [&] {
    if (h->kind == sim::Handle::Thread) return h->thread->done;
    return h->mutex->count == 0 || h->mutex->owner == std::this_thread::get_id();
  };
  if (milliseconds == INFINITE) {
    w.cv.wait(lock, ready);
  } else if (!w.cv.wait_until(lock, deadline, ready)) {
    return WAIT_TIMEOUT;
  }
  if (h->kind == sim::Handle::Mutex) {
    h->mutex->owner = std::this_thread::get_id();
    ++h->mutex->count;
  }
  return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
  auto& w = W();
  std::unique_ptr<sim::Handle> gone;
  {
    std::lock_guard<std::mutex> lock(w.mu);
    sim::Handle* h = FindHandle(handle);
    if (!h) {
      sim::t_lastError = ERROR_INVALID_HANDLE;
      return 0;
    }
    w.LogLocked("CloseHandle");
    if (h->kind == sim::Handle::Mutex && --h->mutex->handles == 0 && !h->mutex->name.empty())
      w.mutexes.erase(h->mutex->name);
    w.handles.erase(h);
    gone.reset(h);
  }
  // Released outside the world's lock: an object behind an I/O handle closes
  // host files and may take the lock itself.
  gone.reset();
  return 1;
}

HANDLE CreateThread(const void*, std::size_t, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD flags, DWORD* threadId) {
  SIM_FAIL_WITH_LAST_ERROR("CreateThread", nullptr);
  auto& w = W();
  auto t = std::make_shared<sim::SimThread>();
  t->start = start;
  t->param = parameter;
  t->resumed = !(flags & CREATE_SUSPENDED);
  sim::World* world = &Current();
  std::lock_guard<std::mutex> lock(w.mu);
  t->thread = std::thread([t, world] {
    auto& impl = world->impl();
    {
      std::unique_lock<std::mutex> l(impl.mu);
      impl.cv.wait(l, [&] { return t->resumed || t->cancelled; });
      if (t->cancelled) {
        t->done = true;
        impl.cv.notify_all();
        return;
      }
    }
    t->start(t->param);
    std::lock_guard<std::mutex> l(impl.mu);
    t->done = true;
    impl.cv.notify_all();
  });
  w.threads.push_back(t);
  auto* h = new sim::Handle{sim::Handle::Thread, nullptr, t, nullptr};
  w.handles.insert(h);
  if (threadId) *threadId = static_cast<DWORD>(w.threads.size());
  return h;
}

DWORD ResumeThread(HANDLE thread) {
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  sim::Handle* h = FindHandle(thread);
  if (!h || h->kind != sim::Handle::Thread) {
    sim::t_lastError = ERROR_INVALID_HANDLE;
    return static_cast<DWORD>(-1);
  }
  DWORD previous = h->thread->resumed ? 0 : 1;
  h->thread->resumed = true;
  w.cv.notify_all();
  return previous;
}

void Sleep(DWORD milliseconds) {
  sim::World& world = Current();
  if (world.onSleep) world.onSleep(milliseconds);
  auto& w = W();
  bool real;
  {
    std::lock_guard<std::mutex> lock(w.mu);
    ++w.calls["Sleep"];
    real = w.realTime;
  }
  if (real)
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  else
    w.virtualMs += milliseconds;
}

// ---- Device installation services and configuration manager ----

HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, const WCHAR*, HWND, DWORD flags) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_LAST_ERROR("SetupDiGetClassDevsW", INVALID_HANDLE_VALUE);
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  for (const auto& [guid, error] : w.brokenClasses) {
    if (classGuid && guid == *classGuid) {
      sim::t_lastError = error;
      return INVALID_HANDLE_VALUE;
    }
  }
  auto* set = new sim::DevInfoSet;
  if (flags & DIGCF_DEVICEINTERFACE) {  // the present interfaces of one class
    for (std::size_t i = 0; i < w.interfaces.size(); ++i)
      if (classGuid && w.interfaces[i].interfaceClass == *classGuid) set->interfaces.push_back(i);
    w.sets.insert(set);
    return set;
  }
  for (std::size_t i = 0; i < w.devices.size(); ++i) {
    const sim::Device& d = w.devices[i];
    if (d.removed || (classGuid && !(d.classGuid == *classGuid))) continue;
    if ((flags & DIGCF_PRESENT) && d.status != CR_SUCCESS) continue;
    set->devices.push_back(i);
  }
  w.sets.insert(set);
  return set;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD memberIndex, SP_DEVINFO_DATA* data) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_LAST_ERROR("SetupDiEnumDeviceInfo", 0);
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  auto* s = static_cast<sim::DevInfoSet*>(set);
  if (!w.sets.count(s)) {
    sim::t_lastError = ERROR_INVALID_HANDLE;
    return 0;
  }
  if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
    sim::t_lastError = 0x6F8;  // ERROR_INVALID_USER_BUFFER
    return 0;
  }
  if (memberIndex >= s->devices.size()) {
    sim::t_lastError = ERROR_NO_MORE_ITEMS;
    return 0;
  }
  std::size_t i = s->devices[memberIndex];
  data->ClassGuid = w.devices[i].classGuid;
  data->DevInst = static_cast<DEVINST>(i + 1);
  data->Reserved = 0;
  return 1;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  sim::CallTimer timer;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  ++w.calls["SetupDiDestroyDeviceInfoList"];
  auto* s = static_cast<sim::DevInfoSet*>(set);
  if (!w.sets.erase(s)) {
    sim::t_lastError = ERROR_INVALID_HANDLE;
    return 0;
  }
  delete s;
  return 1;
}

BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO set, SP_DEVINFO_DATA* data) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_LAST_ERROR("SetupDiCallClassInstaller", 0);
  sim::World& world = Current();
  auto& w = W();
  std::u16string id;
  {
    std::lock_guard<std::mutex> lock(w.mu);
    if (!w.sets.count(static_cast<sim::DevInfoSet*>(set)) || !data || data->DevInst == 0 ||
        data->DevInst > w.devices.size()) {
      sim::t_lastError = ERROR_INVALID_HANDLE;
      return 0;
    }
    id = w.devices[data->DevInst - 1].instanceId;
  }
  if (world.onClassInstaller) world.onClassInstaller(id);
  if (DWORD delay = Access::RemovalDelay(world)) Sleep(delay);
  std::lock_guard<std::mutex> lock(w.mu);
  sim::Device& d = w.devices[data->DevInst - 1];
  ++d.removeCalls;
  if (installFunction != DIF_REMOVE) {
    sim::t_lastError = 0xE000020E;  // ERROR_DI_DO_DEFAULT
    return 0;
  }
  if (d.removeError) {
    sim::t_lastError = d.removeError;
    return 0;
  }
  d.removed = true;
  return 1;
}

CONFIGRET CM_Get_DevNode_Status(ULONG* status, ULONG* problem, DEVINST devInst, ULONG) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_RESULT("CM_Get_DevNode_Status");
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  if (devInst == 0 || devInst > w.devices.size()) return CR_INVALID_DEVINST;
  const sim::Device& d = w.devices[devInst - 1];
  if (d.removed) return CR_NO_SUCH_DEVINST;
  if (d.status == CR_SUCCESS) {
    *status = 0x0180200A;  // DN_STARTED | DN_DRIVER_LOADED | ...
    *problem = 0;
  }
  return d.status;
}

CONFIGRET CM_Get_Device_IDW(DEVINST devInst, WCHAR* buffer, ULONG bufferLen, ULONG) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_RESULT("CM_Get_Device_IDW");
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  if (devInst == 0 || devInst > w.devices.size()) return CR_INVALID_DEVINST;
  const std::u16string& id = w.devices[devInst - 1].instanceId;
  if (id.size() + 1 > bufferLen) return CR_BUFFER_SMALL;
  std::copy(id.begin(), id.end(), buffer);
  buffer[id.size()] = 0;
  return CR_SUCCESS;
}

// ---- Registry ----

LSTATUS RegOpenKeyExW(HKEY key, const WCHAR* subKey, DWORD, REGSAM, HKEY* result) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_RESULT("RegOpenKeyExW");
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  if (key != HKEY_LOCAL_MACHINE || !subKey) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  std::u16string path = sim::Lower(subKey);
  if (!w.keys.count(path)) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
  auto* open = new sim::OpenKey{path};
  w.openKeys.insert(open);
  *result = reinterpret_cast<HKEY>(open);
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegQueryInfoKeyW(HKEY key, WCHAR*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*,
                         DWORD*, DWORD*, FILETIME* lastWriteTime) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_RESULT("RegQueryInfoKeyW");
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  auto* open = reinterpret_cast<sim::OpenKey*>(key);
  if (!w.openKeys.count(open)) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  auto it = w.keys.find(open->path);
  if (it == w.keys.end()) return 1018;  // ERROR_KEY_DELETED
  if (lastWriteTime) *lastWriteTime = it->second.lastWrite;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegCloseKey(HKEY key) {
  sim::CallTimer timer;
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  ++w.calls["RegCloseKey"];
  auto* open = reinterpret_cast<sim::OpenKey*>(key);
  if (!w.openKeys.erase(open)) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  delete open;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

// ---- Time ----

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_LAST_ERROR("FileTimeToSystemTime", 0);
  std::uint64_t v = (static_cast<std::uint64_t>(fileTime->dwHighDateTime) << 32) |
                    fileTime->dwLowDateTime;
  if (v > 0x7FFFFFFFFFFFFFFFull) {  // the platform refuses times past year 30827
    sim::t_lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  *systemTime = sim::SystemTimeFrom1601(static_cast<std::int64_t>(v / 10000000ull),
                                        static_cast<WORD>(v / 10000ull % 1000));
  return 1;
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION*, const SYSTEMTIME* universal,
                                     SYSTEMTIME* local) {
  sim::CallTimer timer;
  SIM_FAIL_WITH_LAST_ERROR("SystemTimeToTzSpecificLocalTime", 0);
  std::int64_t s = sim::SecondsFrom1601(*universal) + Current().UtcOffsetMinutes() * 60LL;
  if (s < 0) {
    sim::t_lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  *local = sim::SystemTimeFrom1601(s, universal->wMilliseconds);
  return 1;
}

std::int64_t _time64(std::int64_t* out) {
  sim::CallTimer timer;
  std::int64_t now = Current().Now();
  if (out) *out = now;
  return now;
}

std::int64_t _mktime64(std::tm* t) {
  sim::CallTimer timer;
  {
    DWORD ignored = 0;
    if (Fails("_mktime64", ignored)) return -1;
  }
  // Normalise months first, as the library does; days, hours and the rest
  // carry through the arithmetic.
  std::int64_t year = 1900LL + t->tm_year + t->tm_mon / 12;
  int mon = t->tm_mon % 12;
  if (mon < 0) {
    mon += 12;
    --year;
  }
  std::int64_t local = (sim::DaysFromCivil(year, static_cast<unsigned>(mon + 1), 1) + t->tm_mday - 1) *
                           86400 +
                       t->tm_hour * 3600LL + t->tm_min * 60LL + t->tm_sec;
  std::int64_t utc = local - Current().UtcOffsetMinutes() * 60LL;
  if (utc < 0 || utc > sim::kMaxTime64) return -1;
  return utc;
}

// ---- The program file and its version resource ----

namespace {
// The block handed out by GetFileVersionInfoW: a tag, then the fixed record.
constexpr DWORD kVersionBlockTag = 0x56534E56;  // "VNSV"
struct VersionBlock {
  DWORD tag;
  VS_FIXEDFILEINFO info;
};
}  // namespace

DWORD GetModuleFileNameW(void*, WCHAR* buffer, DWORD size) {
  SIM_FAIL_WITH_LAST_ERROR("GetModuleFileNameW", 0);
  const std::u16string& path = Access::ModulePath(Current());
  if (size == 0) return 0;
  DWORD n = static_cast<DWORD>(std::min<std::size_t>(path.size(), size - 1));
  std::copy(path.begin(), path.begin() + n, buffer);
  buffer[n] = 0;
  if (n < path.size()) sim::t_lastError = 122;  // truncated: ERROR_INSUFFICIENT_BUFFER
  return n;
}

DWORD GetFileVersionInfoSizeW(const WCHAR*, DWORD* handle) {
  SIM_FAIL_WITH_LAST_ERROR("GetFileVersionInfoSizeW", 0);
  if (handle) *handle = 0;
  if (!Access::HasVersion(Current())) {
    sim::t_lastError = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return 0;
  }
  return sizeof(VersionBlock);
}

BOOL GetFileVersionInfoW(const WCHAR*, DWORD, DWORD size, void* data) {
  SIM_FAIL_WITH_LAST_ERROR("GetFileVersionInfoW", 0);
  if (!Access::HasVersion(Current()) || size < sizeof(VersionBlock)) {
    sim::t_lastError = 122;
    return 0;
  }
  const int* v = Access::Version(Current());
  VersionBlock block{};
  block.tag = kVersionBlockTag;
  block.info.dwSignature = VS_FFI_SIGNATURE;
  block.info.dwStrucVersion = 0x10000;
  block.info.dwFileVersionMS = static_cast<DWORD>((v[0] << 16) | (v[1] & 0xFFFF));
  block.info.dwFileVersionLS = static_cast<DWORD>((v[2] << 16) | (v[3] & 0xFFFF));
  block.info.dwProductVersionMS = block.info.dwFileVersionMS;
  block.info.dwProductVersionLS = block.info.dwFileVersionLS;
  std::memcpy(data, &block, sizeof block);
  return 1;
}

BOOL VerQueryValueW(const void* block, const WCHAR* subBlock, void** buffer, UINT* length) {
  SIM_FAIL_WITH_LAST_ERROR("VerQueryValueW", 0);
  auto* b = static_cast<const VersionBlock*>(block);
  if (!b || b->tag != kVersionBlockTag || !subBlock || std::u16string(subBlock) != u"\\") {
    *length = 0;
    return 0;
  }
  *buffer = const_cast<VS_FIXEDFILEINFO*>(&b->info);
  *length = sizeof(VS_FIXEDFILEINFO);
  return 1;
}

// ---- Shell ----

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  SIM_FAIL_WITH_LAST_ERROR("ShellExecuteExW", 0);
  auto& w = W();
  std::lock_guard<std::mutex> lock(w.mu);
  auto str = [](const WCHAR* s) { return s ? std::u16string(s) : std::u16string(); };
  w.shellCalls.push_back({info->cbSize, info->fMask, info->hwnd, str(info->lpVerb),
                          str(info->lpFile), str(info->lpParameters), str(info->lpDirectory),
                          info->nShow});
  return 1;
}

}  // namespace plat
