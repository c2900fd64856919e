// The framework's window-level operations on real Win32 windows.
#include "framework/framework.h"
#include "framework/win32/dialog_template.h"
#include "res/resources.h"

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <vector>

// <windows.h> maps these to their W forms; here they are our own names.
#undef SendMessage
#undef PostMessage
#undef SetWindowText
#undef GetWindowText
#undef LoadIcon
#undef MessageBox
#undef AppendMenu
#undef CreateFont
#undef PostThreadMessage
#undef GetSaveFileName

namespace fw {
namespace {

static_assert(sizeof(fw::NMHDR) == sizeof(::NMHDR));
static_assert(offsetof(fw::NMHDR, idFrom) == offsetof(::NMHDR, idFrom));
static_assert(offsetof(fw::NMHDR, code) == offsetof(::NMHDR, code));
static_assert(sizeof(::INITCOMMONCONTROLSEX) == 8);

::HWND Win(HWND window) { return reinterpret_cast<::HWND>(window); }
HWND Fw(::HWND window) { return reinterpret_cast<HWND>(window); }
::HDC Win(HDC dc) { return reinterpret_cast<::HDC>(dc); }
::HICON Win(HICON icon) { return reinterpret_cast<::HICON>(icon); }
::HMENU Win(HMENU menu) { return reinterpret_cast<::HMENU>(menu); }

// The PAINTSTRUCT between BeginPaint and EndPaint, per window.
std::mutex g_paintLock;
std::map<::HWND, ::PAINTSTRUCT> g_paints;
std::atomic<unsigned> g_beginPaintCount{0};

// Messages whose result is the dialog procedure's return value itself,
// not DWLP_MSGRESULT.
bool ResultIsReturnValue(::UINT message) {
  switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK DialogProc(::HWND window, ::UINT message, ::WPARAM w, ::LPARAM l) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(l);
    ::SetWindowLongPtrW(window, DWLP_USER, l);
    dialog->Attach(Fw(window));
    return dialog->OnInitDialog();
  }
  // Messages before WM_INITDIALOG (WM_SETFONT and the like) find no dialog.
  auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;

  unsigned paintsBefore = g_beginPaintCount.load();
  dialog->ClearPlatformDefault();
  LRESULT result = dialog->WindowProc(message, w, l);
  if (dialog->PlatformDefault()) return FALSE;
  // A handler that took WM_PAINT without BeginPaint leaves the update region
  // invalid, and the window would get WM_PAINT forever: the default paints.
  if (message == WM_PAINT && g_beginPaintCount.load() == paintsBefore) return FALSE;
  if (ResultIsReturnValue(message)) return result;
  ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

namespace backend {

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(Win(window), message, wParam, lParam);
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(Win(window), message, wParam, lParam);
}

void SetWindowText(HWND window, const std::wstring& text) {
  ::SetWindowTextW(Win(window), text.c_str());
}

std::wstring GetWindowText(HWND window) {
  int length = ::GetWindowTextLengthW(Win(window));
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = ::GetWindowTextW(Win(window), buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

void EnableWindow(HWND window, bool enable) { ::EnableWindow(Win(window), enable ? TRUE : FALSE); }

bool IsWindowEnabled(HWND window) { return ::IsWindowEnabled(Win(window)) != FALSE; }

void InvalidateRect(HWND window, bool erase) {
  ::InvalidateRect(Win(window), nullptr, erase ? TRUE : FALSE);
}

HWND GetDlgItem(HWND dialog, int id) { return Fw(::GetDlgItem(Win(dialog), id)); }

bool IsIconic(HWND window) { return ::IsIconic(Win(window)) != FALSE; }

void GetClientRect(HWND window, RECT* rect) {
  ::RECT r{};
  ::GetClientRect(Win(window), &r);
  *rect = {r.left, r.top, r.right, r.bottom};
}

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

HMENU GetSystemMenu(HWND window) {
  return reinterpret_cast<HMENU>(::GetSystemMenu(Win(window), FALSE));
}

bool AppendMenu(HMENU menu, UINT flags, std::uintptr_t id, const std::wstring& text) {
  return ::AppendMenuW(Win(menu), flags, id, text.c_str()) != FALSE;
}

HICON LoadIcon(int resourceId) {
  // Shared: loaded once by the system and never destroyed, like LoadIconW,
  // at the system's large icon size.
  return reinterpret_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                              MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 0, 0,
                                              LR_DEFAULTSIZE | LR_SHARED));
}

HDC BeginPaint(HWND window) {
  ::PAINTSTRUCT ps{};
  ::HDC dc = ::BeginPaint(Win(window), &ps);
  {
    std::lock_guard<std::mutex> lock(g_paintLock);
    g_paints[Win(window)] = ps;
  }
  ++g_beginPaintCount;
  return reinterpret_cast<HDC>(dc);
}

void EndPaint(HWND window, HDC /*dc: the one in the kept PAINTSTRUCT*/) {
  ::PAINTSTRUCT ps{};
  {
    std::lock_guard<std::mutex> lock(g_paintLock);
    auto it = g_paints.find(Win(window));
    if (it == g_paints.end()) return;
    ps = it->second;
    g_paints.erase(it);
  }
  ::EndPaint(Win(window), &ps);
}

void DrawIcon(HDC dc, int x, int y, HICON icon) { ::DrawIcon(Win(dc), x, y, Win(icon)); }

int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  return ::MessageBoxW(Win(owner), text.c_str(), caption.c_str(), type);
}

bool GetSaveFileName(const SaveFileRequest& request, std::wstring& path) {
  // "Name|*.ext|Name|*.*|" becomes the platform's "Name\0*.ext\0...\0\0".
  std::wstring filter = request.filter;
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  filter.push_back(L'\0');
  // The dialog would take the first three letters of a default extension
  // that is a description ("Image files" gives ".Ima"): the first pattern's
  // extension is what the user expects.
  std::wstring defaultExt = request.defaultExt;
  if (defaultExt.find_first_of(L" .*") != std::wstring::npos || defaultExt.size() > 3) {
    std::wstring::size_type star = request.filter.find(L"*.");
    std::wstring::size_type end = request.filter.find_first_of(L"|;", star);
    defaultExt = star == std::wstring::npos ? L"" : request.filter.substr(star + 2, end - star - 2);
    if (defaultExt == L"*") defaultExt.clear();
  }
  std::vector<wchar_t> file(32768, L'\0');
  request.fileName.copy(file.data(), file.size() - 1);
  ::HWND owner = Win(request.owner);
  if (!owner)
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd) owner = Win(app->m_pMainWnd->GetSafeHwnd());
  ::OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<::DWORD>(file.size());
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  ofn.Flags = request.flags | OFN_EXPLORER;
  if (!::GetSaveFileNameW(&ofn)) return false;
  path = file.data();
  return true;
}

void InitCommonControls() {
  ::INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 std::uint8_t italic, std::uint8_t underline, std::uint8_t strikeOut,
                 std::uint8_t charSet, std::uint8_t outPrecision, std::uint8_t clipPrecision,
                 std::uint8_t quality, std::uint8_t pitchAndFamily, const std::wstring& face) {
  return reinterpret_cast<HFONT>(
      ::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                    charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face.c_str()));
}

bool DeleteObject(HFONT font) { return ::DeleteObject(reinterpret_cast<::HFONT>(font)) != FALSE; }

ThreadQueue CreateThreadQueue() {
  // The platform gives a thread its queue on its first call of a message
  // function; from then on PostThreadMessageW to it is not lost.
  ::MSG msg{};
  ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  return ::GetCurrentThreadId();
}

BOOL PostThreadMessage(ThreadQueue queue, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostThreadMessageW(static_cast<::DWORD>(queue), message, wParam, lParam);
}

bool GetThreadMessage(ThreadQueue, UINT& message, WPARAM& wParam, LPARAM& lParam) {
  ::MSG msg{};
  for (;;) {
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) return false;  // WM_QUIT, or a failure
    if (msg.hwnd == nullptr) break;
    // Windows of this thread, should any exist, are served as usual.
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  message = msg.message;
  wParam = msg.wParam;
  lParam = msg.lParam;
  return true;
}

void DestroyThreadQueue(ThreadQueue) {}

INT_PTR RunModal(CDialog& dialog) {
  const res::DialogTemplate* tmpl = res::FindDialogTemplate(dialog.TemplateId());
  if (!tmpl) return -1;
  // std::vector storage comes from operator new, aligned well past the
  // DWORD alignment the dialog manager requires.
  std::vector<std::uint16_t> words = win32::BuildDialogTemplate(*tmpl);

  // The templates' extended classes are registered before the window is made.
  ::INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&icc);

  ::HWND owner = nullptr;
  if (CWnd* parent = dialog.Parent()) {
    owner = Win(parent->GetSafeHwnd());
  } else if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd && app->m_pMainWnd != &dialog) {
    owner = Win(app->m_pMainWnd->GetSafeHwnd());
  }

  INT_PTR result = ::DialogBoxIndirectParamW(
      ::GetModuleHandleW(nullptr), reinterpret_cast<const ::DLGTEMPLATE*>(words.data()), owner,
      &DialogProc, reinterpret_cast<::LPARAM>(&dialog));
  dialog.Detach();
  return result;
}

void EndDialog(HWND dialog, int result) { ::EndDialog(Win(dialog), result); }

}  // namespace backend
}  // namespace fw
