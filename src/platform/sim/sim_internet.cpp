// The sim's internet: one answer that a test sets, handed out in pieces, and
// the shell's open of an address, recorded. Failures come from FailCall.
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>

#include "platform/sim/sim.h"

namespace sim {

struct World::InternetState {
  bool answerSet = false;
  std::deque<std::string> pieces;
  DWORD httpStatus = 200;
  std::vector<InternetOpenCall> opens;
  std::vector<UrlOpenCall> urlOpens;
  std::vector<std::pair<DWORD, DWORD>> options;
  std::vector<DWORD> readSizes;
  std::vector<ShellExecuteCall> shellCalls;
  std::set<int*> handles;  // sessions and files alike
  ~InternetState() {
    for (int* h : handles) delete h;
  }
};

namespace {

std::mutex g_netMutex;  // guards every world's internet state

World::InternetState& StateLocked(World& world) {
  if (!world.internetState) world.internetState = std::make_shared<World::InternetState>();
  return *world.internetState;
}

std::u16string Str(const plat::WCHAR* s) { return s ? std::u16string(s) : std::u16string(); }

}  // namespace

void World::SetInternetAnswer(std::vector<std::string> pieces, DWORD httpStatus) {
  std::lock_guard<std::mutex> lock(g_netMutex);
  InternetState& s = StateLocked(*this);
  s.answerSet = true;
  s.pieces.assign(pieces.begin(), pieces.end());
  s.httpStatus = httpStatus;
}

std::vector<World::InternetOpenCall> World::InternetOpens() const {
  std::lock_guard<std::mutex> lock(g_netMutex);
  return internetState ? internetState->opens : std::vector<InternetOpenCall>{};
}

std::vector<World::UrlOpenCall> World::UrlOpens() const {
  std::lock_guard<std::mutex> lock(g_netMutex);
  return internetState ? internetState->urlOpens : std::vector<UrlOpenCall>{};
}

std::vector<std::pair<DWORD, DWORD>> World::InternetOptions() const {
  std::lock_guard<std::mutex> lock(g_netMutex);
  return internetState ? internetState->options : std::vector<std::pair<DWORD, DWORD>>{};
}

std::vector<DWORD> World::ReadSizes() const {
  std::lock_guard<std::mutex> lock(g_netMutex);
  return internetState ? internetState->readSizes : std::vector<DWORD>{};
}

int World::OpenInternetHandles() const {
  std::lock_guard<std::mutex> lock(g_netMutex);
  return internetState ? static_cast<int>(internetState->handles.size()) : 0;
}

std::vector<World::ShellExecuteCall> World::ShellExecuteCalls() const {
  std::lock_guard<std::mutex> lock(g_netMutex);
  return internetState ? internetState->shellCalls : std::vector<ShellExecuteCall>{};
}

}  // namespace sim

namespace plat {

namespace {

// A failure set by FailCall: the call's failure value, with the last error.
bool Failed(const char* call) {
  DWORD error = 0;
  if (!sim::Current().TakeFailure(call, error)) return false;
  SetLastError(error);
  return true;
}

HINTERNET NewHandle(sim::World::InternetState& s) {
  int* h = new int(0);
  s.handles.insert(h);
  return h;
}

bool Known(sim::World::InternetState& s, HINTERNET h) {
  return s.handles.count(static_cast<int*>(h)) != 0;
}

}  // namespace

HINTERNET InternetOpenW(const WCHAR* agent, DWORD accessType, const WCHAR* proxy, const WCHAR*,
                        DWORD flags) {
  if (Failed("InternetOpenW")) return nullptr;
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(sim::Current());
  s.opens.push_back({sim::Str(agent), accessType, proxy != nullptr, flags});
  return NewHandle(s);
}

HINTERNET InternetOpenUrlW(HINTERNET internet, const WCHAR* url, const WCHAR*, DWORD, DWORD flags,
                           std::uintptr_t) {
  sim::World& world = sim::Current();
  if (world.onInternetOpenUrl) world.onInternetOpenUrl();
  if (Failed("InternetOpenUrlW")) return nullptr;
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(world);
  s.urlOpens.push_back({sim::Str(url), flags});
  if (!Known(s, internet)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!s.answerSet) {
    SetLastError(ERROR_INTERNET_NAME_NOT_RESOLVED);
    return nullptr;
  }
  return NewHandle(s);
}

BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD toRead, DWORD* read) {
  if (Failed("InternetReadFile")) return 0;
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(sim::Current());
  s.readSizes.push_back(toRead);
  if (!Known(s, file)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  *read = 0;
  if (s.pieces.empty()) return 1;
  std::string& piece = s.pieces.front();
  std::size_t n = std::min<std::size_t>(toRead, piece.size());
  std::memcpy(buffer, piece.data(), n);
  *read = static_cast<DWORD>(n);
  if (n == piece.size())
    s.pieces.pop_front();
  else
    piece.erase(0, n);
  return 1;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  if (Failed("InternetCloseHandle")) return 0;
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(sim::Current());
  auto it = s.handles.find(static_cast<int*>(handle));
  if (it == s.handles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  delete *it;
  s.handles.erase(it);
  return 1;
}

BOOL InternetSetOptionW(HINTERNET handle, DWORD option, void* buffer, DWORD length) {
  if (Failed("InternetSetOptionW")) return 0;
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(sim::Current());
  if (!Known(s, handle) || !buffer || length != sizeof(DWORD)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  s.options.emplace_back(option, *static_cast<DWORD*>(buffer));
  return 1;
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* length, DWORD*) {
  if (Failed("HttpQueryInfoW")) return 0;
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(sim::Current());
  if (!Known(s, request) || infoLevel != (HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER) ||
      !length || *length < sizeof(DWORD)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  *static_cast<DWORD*>(buffer) = s.httpStatus;
  *length = sizeof(DWORD);
  return 1;
}

HINSTANCE ShellExecuteW(HWND owner, const WCHAR* operation, const WCHAR* file,
                        const WCHAR* parameters, const WCHAR* directory, int showCommand) {
  if (Failed("ShellExecuteW")) return reinterpret_cast<HINSTANCE>(std::uintptr_t{2});
  std::lock_guard<std::mutex> lock(sim::g_netMutex);
  auto& s = sim::StateLocked(sim::Current());
  s.shellCalls.push_back({owner, sim::Str(operation), sim::Str(file), parameters != nullptr,
                          directory != nullptr, showCommand});
  return reinterpret_cast<HINSTANCE>(std::uintptr_t{42});
}

}  // namespace plat
