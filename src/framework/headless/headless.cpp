#include "framework/headless/headless.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwctype>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "platform/sim/sim.h"
#include "res/resources.h"

namespace fw {
namespace headless {
namespace {

struct Posted {
  UINT message;
  WPARAM w;
  LPARAM l;
};

struct Window {
  Window* parent = nullptr;  // null for a dialog
  int id = 0;
  res::Kind kind = res::Kind::Static;
  std::uint32_t style = 0;
  std::wstring text;
  bool enabled = true;
  int check = 0;
  std::vector<std::pair<std::wstring, std::uintptr_t>> items;
  int cursel = -1;
  int pos = 0;
  WPARAM pbState = PBST_NORMAL;
  int invalidations = 0;
  HFONT font = nullptr;

  // Dialog windows only.
  CDialog* dialog = nullptr;
  const res::DialogTemplate* tmpl = nullptr;
  std::vector<std::unique_ptr<Window>> controls;
  std::vector<MenuItem> sysMenu;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  bool minimized = false;
  int focus = 0;
  bool ended = false;
  int result = 0;
  Log log;
  std::vector<std::pair<int, int>> iconsDrawn;
  std::mutex queueMutex;
  std::condition_variable queueReady;
  std::deque<Posted> queue;

  Window* Dialog() { return parent ? parent : this; }
  Window* Control(int controlId) {
    for (auto& c : controls)
      if (c->id == controlId && controlId != res::kNoId) return c.get();
    return nullptr;
  }
};

// Windows that exist; posting checks it, since workers post from their own
// threads to windows that may already be gone.
std::mutex g_liveMutex;
std::unordered_set<Window*> g_live;

struct Scripts {
  std::vector<std::pair<int, std::function<void(CDialog&)>>> modal;
  std::vector<int> modalRun;
  std::deque<int> answers;
  std::vector<MessageBoxShown> boxes;
  std::deque<std::optional<std::wstring>> saveAnswers;
  std::vector<SaveFileRequest> saveDialogs;
} g_scripts;

Window* W(HWND h) { return reinterpret_cast<Window*>(h); }
Window* W(const CDialog& d) { return W(d.GetSafeHwnd()); }
HWND H(Window* w) { return reinterpret_cast<HWND>(w); }

void Record(Window* w, const std::wstring& entry) {
  Window* d = w->Dialog();
  d->log.push_back(w->parent ? std::to_wstring(w->id) + L" " + entry : entry);
}

std::wstring Hex(UINT v) {
  wchar_t buf[16];
  std::swprintf(buf, 16, L"0x%X", v);
  return buf;
}

bool LessNoCase(const std::wstring& a, const std::wstring& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](wchar_t x, wchar_t y) {
                                        return std::towupper(static_cast<wint_t>(x)) <
                                               std::towupper(static_cast<wint_t>(y));
                                      });
}

LRESULT ControlMessage(Window* c, UINT m, WPARAM w, LPARAM l) {
  auto index = static_cast<int>(w);
  bool inRange = index >= 0 && index < static_cast<int>(c->items.size());
  switch (m) {
    case CB_ADDSTRING: {
      std::wstring s(reinterpret_cast<const wchar_t*>(l));
      auto at = c->items.end();
      if (c->style & res::style::ComboSort)
        at = std::upper_bound(c->items.begin(), c->items.end(), s,
                              [](const std::wstring& v, const auto& item) { return LessNoCase(v, item.first); });
      at = c->items.insert(at, {s, 0});
      return at - c->items.begin();
    }
    case CB_RESETCONTENT:
      c->items.clear();
      c->cursel = -1;
      return 0;
    case CB_GETCOUNT: return static_cast<LRESULT>(c->items.size());
    case CB_GETCURSEL: return c->cursel;
    case CB_SETCURSEL:
      c->cursel = inRange ? index : -1;
      return inRange ? index : CB_ERR;
    case CB_GETITEMDATA: return inRange ? static_cast<LRESULT>(c->items[index].second) : CB_ERR;
    case CB_SETITEMDATA:
      if (!inRange) return CB_ERR;
      c->items[index].second = static_cast<std::uintptr_t>(l);
      return 0;
    case CB_GETLBTEXTLEN: return inRange ? static_cast<LRESULT>(c->items[index].first.size()) : CB_ERR;
    case CB_GETLBTEXT: {
      if (!inRange) return CB_ERR;
      const std::wstring& s = c->items[index].first;
      auto* out = reinterpret_cast<wchar_t*>(l);
      std::copy(s.begin(), s.end(), out);
      out[s.size()] = 0;
      return static_cast<LRESULT>(s.size());
    }
    case BM_GETCHECK: return c->check;
    case BM_SETCHECK: c->check = static_cast<int>(w); return 0;
    case PBM_SETPOS: {
      int previous = c->pos;
      c->pos = static_cast<int>(w);
      return previous;
    }
    case PBM_GETPOS: return c->pos;
    case WM_SETFONT: c->font = reinterpret_cast<HFONT>(w); return 0;
    case PBM_SETSTATE: {
      WPARAM previous = c->pbState;
      c->pbState = w;
      return static_cast<LRESULT>(previous);
    }
    default: return 0;
  }
}

LRESULT DefaultDialogHandling(Window* d, UINT message, WPARAM w, LPARAM);

LRESULT DeliverTo(Window* d, UINT message, WPARAM w, LPARAM l) {
  CDialog& dialog = *d->dialog;
  dialog.ClearPlatformDefault();
  LRESULT r = dialog.WindowProc(message, w, l);
  if (dialog.PlatformDefault()) r = DefaultDialogHandling(d, message, w, l);
  return r;
}

LRESULT DefaultDialogHandling(Window* d, UINT message, WPARAM w, LPARAM) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_CLOSE) return DeliverTo(d, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      // As the platform's dialog manager does: Close is a click on Cancel.
      backend::PostMessage(H(d), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return 0;
    default: return 0;
  }
}

Window* Create(CDialog& dialog) {
  const res::DialogTemplate* t = res::FindDialogTemplate(dialog.TemplateId());
  if (!t) return nullptr;
  auto* d = new Window;
  d->dialog = &dialog;
  d->tmpl = t;
  d->kind = res::Kind::Static;
  d->style = t->style;
  d->text = t->caption;
  for (const res::ControlTemplate& ct : t->controls) {
    auto c = std::make_unique<Window>();
    c->parent = d;
    c->id = ct.id;
    c->kind = ct.kind;
    c->style = ct.style;
    c->text = ct.text;
    d->controls.push_back(std::move(c));
  }
  {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    g_live.insert(d);
    for (auto& c : d->controls) g_live.insert(c.get());
  }
  dialog.Attach(H(d));
  return d;
}

void SetInitialFocus(Window* d) {
  for (auto& c : d->controls)
    if ((c->style & res::style::TabStop) && c->enabled) {
      d->focus = c->id;
      return;
    }
}

Window* ControlOf(const CDialog& dialog, int id) {
  Window* d = W(dialog);
  return d ? d->Control(id) : nullptr;
}

bool IsPushButton(const Window* c) {
  return c->kind == res::Kind::PushButton || c->kind == res::Kind::DefPushButton;
}

}  // namespace

void Open(CDialog& dialog) {
  Window* d = Create(dialog);
  if (!d) return;
  if (dialog.OnInitDialog()) SetInitialFocus(d);
  d->log.push_back(L"shown");
}

void Close(CDialog& dialog) {
  Window* d = W(dialog);
  if (!d) return;
  {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    g_live.erase(d);
    for (auto& c : d->controls) g_live.erase(c.get());
  }
  dialog.Detach();
  delete d;
}

bool IsEnded(const CDialog& dialog) { return W(dialog) && W(dialog)->ended; }
int EndResult(const CDialog& dialog) { return W(dialog) ? W(dialog)->result : 0; }

void SetModalScript(int templateId, std::function<void(CDialog&)> script) {
  g_scripts.modal.emplace_back(templateId, std::move(script));
}
const std::vector<int>& ModalDialogsRun() { return g_scripts.modalRun; }
void ScriptMessageBoxAnswers(std::vector<int> answers) {
  g_scripts.answers.assign(answers.begin(), answers.end());
}
const std::vector<MessageBoxShown>& MessageBoxesShown() { return g_scripts.boxes; }
void ScriptSaveFileAnswers(std::vector<std::optional<std::wstring>> answers) {
  g_scripts.saveAnswers.assign(answers.begin(), answers.end());
}
const std::vector<SaveFileRequest>& SaveFileDialogsShown() { return g_scripts.saveDialogs; }
void ResetScripts() { g_scripts = Scripts{}; }

bool Click(CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  if (!c || !c->enabled) return false;
  if (c->kind == res::Kind::CheckBox) c->check = c->check ? 0 : 1;
  if (c->kind == res::Kind::RadioButton) {
    // Auto radio buttons: the neighbours in template order form the group.
    auto& all = c->parent->controls;
    auto self = std::find_if(all.begin(), all.end(), [&](auto& p) { return p.get() == c; });
    for (auto it = self; it != all.end() && (*it)->kind == res::Kind::RadioButton; ++it) (*it)->check = 0;
    for (auto it = self; (*it)->kind == res::Kind::RadioButton; --it) {
      (*it)->check = 0;
      if (it == all.begin()) break;
    }
    c->check = 1;
  }
  if (c->style & res::style::TabStop) c->parent->focus = id;
  DeliverTo(c->parent, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED),
            reinterpret_cast<LPARAM>(c));
  return true;
}

bool Select(CDialog& dialog, int id, int index) {
  Window* c = ControlOf(dialog, id);
  if (!c || !c->enabled || c->kind != res::Kind::ComboBox) return false;
  ControlMessage(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  DeliverTo(c->parent, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(c));
  return true;
}

bool ClickLink(CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  if (!c || !c->enabled || c->kind != res::Kind::Link) return false;
  NMHDR hdr{H(c), static_cast<std::uintptr_t>(id), NM_CLICK};
  DeliverTo(c->parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&hdr));
  return true;
}

void PressEscape(CDialog& dialog) {
  if (Window* d = W(dialog)) DeliverTo(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void PressEnter(CDialog& dialog) {
  Window* d = W(dialog);
  if (!d) return;
  Window* focused = d->Control(d->focus);
  if (focused && IsPushButton(focused)) {
    Click(dialog, focused->id);
    return;
  }
  for (auto& c : d->controls)
    if (c->kind == res::Kind::DefPushButton) {
      Click(dialog, c->id);
      return;
    }
}

void SysCommand(CDialog& dialog, UINT command) {
  Window* d = W(dialog);
  if (!d) return;
  DeliverTo(d, WM_SYSCOMMAND, command, 0);
  Pump(dialog);
}

void SetMinimized(CDialog& dialog, bool minimized) {
  if (Window* d = W(dialog)) d->minimized = minimized;
}

LRESULT Deliver(CDialog& dialog, UINT message, WPARAM w, LPARAM l) {
  Window* d = W(dialog);
  return d ? DeliverTo(d, message, w, l) : 0;
}

namespace {
bool PopOne(Window* d, Posted& out, std::chrono::steady_clock::time_point until) {
  std::unique_lock<std::mutex> lock(d->queueMutex);
  if (!d->queueReady.wait_until(lock, until, [&] { return !d->queue.empty(); })) return false;
  out = d->queue.front();
  d->queue.pop_front();
  return true;
}
}  // namespace

int Pump(CDialog& dialog) {
  Window* d = W(dialog);
  int handled = 0;
  Posted p{};
  while (d && PopOne(d, p, std::chrono::steady_clock::now())) {
    DeliverTo(d, p.message, p.w, p.l);
    ++handled;
  }
  return handled;
}

bool PumpUntil(CDialog& dialog, const std::function<bool()>& done, int timeoutMs) {
  Window* d = W(dialog);
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  Posted p{};
  while (!done()) {
    if (!d || !PopOne(d, p, until)) return false;
    DeliverTo(d, p.message, p.w, p.l);
  }
  return true;
}

bool PumpUntilHandled(CDialog& dialog, UINT message, int timeoutMs) {
  Window* d = W(dialog);
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  Posted p{};
  while (d && PopOne(d, p, until)) {
    DeliverTo(d, p.message, p.w, p.l);
    if (p.message == message) return true;
  }
  return false;
}

bool Exists(const CDialog& dialog, int id) { return ControlOf(dialog, id) != nullptr; }
std::wstring Text(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? backend::GetWindowText(H(c)) : std::wstring();
}
std::wstring Caption(const CDialog& dialog) { return W(dialog) ? W(dialog)->text : std::wstring(); }
bool Enabled(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c && c->enabled;
}
int Check(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? c->check : -1;
}
std::vector<std::wstring> Items(const CDialog& dialog, int id) {
  std::vector<std::wstring> out;
  if (Window* c = ControlOf(dialog, id))
    for (auto& item : c->items) out.push_back(item.first);
  return out;
}
std::vector<std::uintptr_t> ItemData(const CDialog& dialog, int id) {
  std::vector<std::uintptr_t> out;
  if (Window* c = ControlOf(dialog, id))
    for (auto& item : c->items) out.push_back(item.second);
  return out;
}
int CurSel(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? c->cursel : -1;
}
int ProgressPos(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? c->pos : -1;
}
WPARAM ProgressState(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? c->pbState : 0;
}
int Invalidations(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? c->invalidations : -1;
}
int Focus(const CDialog& dialog) { return W(dialog) ? W(dialog)->focus : 0; }
HICON Icon(const CDialog& dialog, bool big) {
  Window* d = W(dialog);
  return d ? (big ? d->bigIcon : d->smallIcon) : nullptr;
}
std::vector<MenuItem> SystemMenu(const CDialog& dialog) {
  return W(dialog) ? W(dialog)->sysMenu : std::vector<MenuItem>{};
}
const Log& EventLog(const CDialog& dialog) {
  static const Log empty;
  return W(dialog) ? W(dialog)->log : empty;
}
std::vector<std::pair<int, int>> IconsDrawn(const CDialog& dialog) {
  return W(dialog) ? W(dialog)->iconsDrawn : std::vector<std::pair<int, int>>{};
}

namespace {
// Fonts made and not yet released; the handle is the record's address.
std::mutex g_fontMutex;
std::vector<std::unique_ptr<FontSpec>> g_fonts;

// Thread queues by number; a queue lives until its thread destroys it.
struct ThreadQueueState {
  std::thread::id owner;
  std::mutex mu;
  std::condition_variable ready;
  std::deque<Posted> queue;
};
std::mutex g_threadQueuesMutex;
std::map<backend::ThreadQueue, std::shared_ptr<ThreadQueueState>> g_threadQueues;
backend::ThreadQueue g_nextThreadQueue = 1;

std::shared_ptr<ThreadQueueState> FindThreadQueue(backend::ThreadQueue q) {
  std::lock_guard<std::mutex> lock(g_threadQueuesMutex);
  auto it = g_threadQueues.find(q);
  return it == g_threadQueues.end() ? nullptr : it->second;
}
}  // namespace

HFONT Font(const CDialog& dialog, int id) {
  Window* c = ControlOf(dialog, id);
  return c ? c->font : nullptr;
}

std::vector<FontSpec> LiveFonts() {
  std::lock_guard<std::mutex> lock(g_fontMutex);
  std::vector<FontSpec> out;
  for (auto& f : g_fonts) out.push_back(*f);
  return out;
}

FontSpec SpecOf(HFONT font) {
  std::lock_guard<std::mutex> lock(g_fontMutex);
  for (auto& f : g_fonts)
    if (reinterpret_cast<HFONT>(f.get()) == font) return *f;
  return FontSpec{};
}

}  // namespace headless

// ---------------------------------------------------------------------------
// The backend operations.

namespace backend {

using headless::H;
using headless::Record;
using headless::W;

LRESULT SendMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
  headless::Window* win = W(window);
  if (!win) return 0;
  std::wstring entry = L"send " + headless::Hex(message) + L" " + std::to_wstring(w);
  if (message == CB_ADDSTRING) entry += L" " + std::wstring(reinterpret_cast<const wchar_t*>(l));
  Record(win, entry);
  if (win->parent) return headless::ControlMessage(win, message, w, l);
  if (message == WM_SETICON) {
    HICON& slot = w == ICON_BIG ? win->bigIcon : win->smallIcon;
    HICON previous = slot;
    slot = reinterpret_cast<HICON>(l);
    return reinterpret_cast<LRESULT>(previous);
  }
  return headless::DeliverTo(win, message, w, l);
}

BOOL PostMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
  std::lock_guard<std::mutex> lock(headless::g_liveMutex);
  headless::Window* win = W(window);
  if (!headless::g_live.count(win)) return 0;
  headless::Window* d = win->Dialog();
  {
    std::lock_guard<std::mutex> q(d->queueMutex);
    d->queue.push_back({message, w, l});
  }
  d->queueReady.notify_all();
  return 1;
}

void SetWindowText(HWND window, const std::wstring& text) {
  headless::Window* win = W(window);
  if (!win) return;
  Record(win, (win->parent ? L"text " : L"caption ") + text);
  win->text = text;
}

std::wstring GetWindowText(HWND window) {
  headless::Window* win = W(window);
  if (!win) return {};
  if (win->kind == res::Kind::ComboBox && win->parent)
    return win->cursel >= 0 ? win->items[static_cast<std::size_t>(win->cursel)].first : std::wstring();
  return win->text;
}

void EnableWindow(HWND window, bool enable) {
  headless::Window* win = W(window);
  if (!win) return;
  Record(win, enable ? L"enable" : L"disable");
  win->enabled = enable;
}

bool IsWindowEnabled(HWND window) { return W(window) && W(window)->enabled; }

void InvalidateRect(HWND window, bool) {
  if (headless::Window* win = W(window)) ++win->invalidations;
}

HWND GetDlgItem(HWND dialog, int id) {
  headless::Window* d = W(dialog);
  return d ? H(d->Control(id)) : nullptr;
}

bool IsIconic(HWND window) { return W(window) && W(window)->Dialog()->minimized; }

void GetClientRect(HWND window, RECT* rect) {
  headless::Window* d = W(window);
  *rect = RECT{0, 0, 0, 0};
  if (d && d->tmpl) {  // dialog units at the shell font's base units (6 x 13 pixels)
    rect->right = d->tmpl->cx * 6 / 4;
    rect->bottom = d->tmpl->cy * 13 / 8;
  }
}

int GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }

HMENU GetSystemMenu(HWND window) {
  headless::Window* d = W(window);
  if (!d || !(d->style & res::style::SysMenu)) return nullptr;
  return reinterpret_cast<HMENU>(d);
}

bool AppendMenu(HMENU menu, UINT flags, std::uintptr_t id, const std::wstring& text) {
  auto* d = reinterpret_cast<headless::Window*>(menu);
  if (!d) return false;
  d->sysMenu.push_back({flags, id, text});
  Record(d, L"menu " + text);
  return true;
}

HICON LoadIcon(int resourceId) {
  return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0x10000 + resourceId));
}

HDC BeginPaint(HWND window) { return reinterpret_cast<HDC>(window); }
void EndPaint(HWND, HDC) {}

void DrawIcon(HDC dc, int x, int y, HICON) {
  if (headless::Window* d = reinterpret_cast<headless::Window*>(dc)) d->iconsDrawn.emplace_back(x, y);
}

int MessageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
  int answer = (type & 0xF) == MB_YESNO ? IDNO : IDOK;
  if (!headless::g_scripts.answers.empty()) {
    answer = headless::g_scripts.answers.front();
    headless::g_scripts.answers.pop_front();
  }
  headless::g_scripts.boxes.push_back({text, caption, type, answer});
  // Into the open dialogs' logs too, so a test sees where in its work a box came.
  {
    std::lock_guard<std::mutex> lock(headless::g_liveMutex);
    for (headless::Window* w : headless::g_live)
      if (!w->parent) w->log.push_back(L"box " + text);
  }
  return answer;
}

bool GetSaveFileName(const SaveFileRequest& request, std::wstring& path) {
  headless::g_scripts.saveDialogs.push_back(request);
  if (headless::g_scripts.saveAnswers.empty()) return false;
  std::optional<std::wstring> answer = headless::g_scripts.saveAnswers.front();
  headless::g_scripts.saveAnswers.pop_front();
  if (!answer) return false;
  path = *answer;
  return true;
}

void InitCommonControls() {}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 std::uint8_t italic, std::uint8_t underline, std::uint8_t strikeOut,
                 std::uint8_t charSet, std::uint8_t outPrecision, std::uint8_t clipPrecision,
                 std::uint8_t quality, std::uint8_t pitchAndFamily, const std::wstring& face) {
  auto spec = std::make_unique<headless::FontSpec>(headless::FontSpec{
      height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
      outPrecision, clipPrecision, quality, pitchAndFamily, face});
  HFONT handle = reinterpret_cast<HFONT>(spec.get());
  std::lock_guard<std::mutex> lock(headless::g_fontMutex);
  headless::g_fonts.push_back(std::move(spec));
  return handle;
}

bool DeleteObject(HFONT font) {
  std::lock_guard<std::mutex> lock(headless::g_fontMutex);
  auto& fonts = headless::g_fonts;
  auto it = std::find_if(fonts.begin(), fonts.end(),
                         [font](auto& f) { return reinterpret_cast<HFONT>(f.get()) == font; });
  if (it == fonts.end()) return false;
  fonts.erase(it);
  return true;
}

ThreadQueue CreateThreadQueue() {
  std::lock_guard<std::mutex> lock(headless::g_threadQueuesMutex);
  ThreadQueue q = headless::g_nextThreadQueue++;
  auto state = std::make_shared<headless::ThreadQueueState>();
  state->owner = std::this_thread::get_id();
  headless::g_threadQueues[q] = state;
  return q;
}

BOOL PostThreadMessage(ThreadQueue queue, UINT message, WPARAM w, LPARAM l) {
  auto state = headless::FindThreadQueue(queue);
  if (!state) return 0;
  {
    std::lock_guard<std::mutex> lock(state->mu);
    state->queue.push_back({message, w, l});
  }
  sim::SetThreadParked(state->owner, false);  // it has work: tests wait for it again
  state->ready.notify_all();
  return 1;
}

bool GetThreadMessage(ThreadQueue queue, UINT& message, WPARAM& w, LPARAM& l) {
  auto state = headless::FindThreadQueue(queue);
  if (!state) return false;
  std::unique_lock<std::mutex> lock(state->mu);
  while (state->queue.empty()) {
    sim::SetThreadParked(state->owner, true);
    state->ready.wait(lock);
  }
  headless::Posted p = state->queue.front();
  state->queue.pop_front();
  message = p.message;
  w = p.w;
  l = p.l;
  return message != WM_QUIT;
}

void DestroyThreadQueue(ThreadQueue queue) {
  std::lock_guard<std::mutex> lock(headless::g_threadQueuesMutex);
  headless::g_threadQueues.erase(queue);
}

INT_PTR RunModal(CDialog& dialog) {
  headless::Open(dialog);
  headless::Window* d = W(dialog);
  if (!d) return -1;
  headless::g_scripts.modalRun.push_back(dialog.TemplateId());
  std::function<void(CDialog&)> script;
  for (auto& [id, s] : headless::g_scripts.modal)
    if (id == dialog.TemplateId()) script = s;
  if (script) script(dialog);
  if (!d->ended) headless::PressEscape(dialog);
  // A dialog may end only once its own work is done (a worker finishing).
  headless::PumpUntil(dialog, [d] { return d->ended; });
  int result = d->result;
  headless::Close(dialog);
  return result;
}

void EndDialog(HWND dialog, int result) {
  headless::Window* d = W(dialog);
  if (!d) return;
  d->ended = true;
  d->result = result;
  Record(d, L"end " + std::to_wstring(result));
}

}  // namespace backend
}  // namespace fw
