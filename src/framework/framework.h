// The dialog framework: application object, modal dialogs built from the
// templates in res/, a table from message and control id to member handler,
// small control wrappers, thread objects, a named-mutex wrapper and message
// boxes.
//
// What is written here is the same for every build. The window-level
// operations declared in namespace fw::backend are provided by exactly one
// backend: win32/ (real windows) or headless/ (in-memory controls).
//
// Include this header before <windows.h>, never after.
#pragma once

#ifdef _WINDOWS_
#error "framework.h must be included before <windows.h>"
#endif

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "platform/platform.h"

namespace fw {

using plat::BOOL;
using plat::DWORD;
using plat::HWND;
using plat::LPARAM;
using plat::UINT;
using plat::WPARAM;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using HICON = struct HICON__*;
using HMENU = struct HMENU__*;
using HDC = struct HDC__*;
using HFONT = struct HFONT__*;

// Window messages and notification codes, with the platform's values.
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_USER = 0x0400;
constexpr UINT BN_CLICKED = 0;
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT NM_CLICK = static_cast<UINT>(-2);
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_GETITEMDATA = 0x0150;
constexpr UINT CB_SETITEMDATA = 0x0151;
constexpr LRESULT CB_ERR = -1;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr WPARAM BST_UNCHECKED = 0;
constexpr WPARAM BST_CHECKED = 1;
constexpr UINT PBM_SETPOS = 0x0402;
constexpr UINT PBM_GETPOS = 0x0408;
constexpr UINT PBM_SETSTATE = 0x0410;
constexpr WPARAM PBST_NORMAL = 1;
constexpr WPARAM PBST_ERROR = 2;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;
constexpr UINT SC_CLOSE = 0xF060;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MF_STRING = 0x0;
constexpr UINT MF_SEPARATOR = 0x800;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int THREAD_PRIORITY_NORMAL = 0;

constexpr WPARAM MAKEWPARAM(unsigned low, unsigned high) {
  return static_cast<WPARAM>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}

struct NMHDR {
  HWND hwndFrom;
  std::uintptr_t idFrom;
  UINT code;
};

struct RECT {
  plat::LONG left, top, right, bottom;
};

// ---- Window-level operations: provided by the backend ----
namespace backend {
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // thread-safe
void SetWindowText(HWND window, const std::wstring& text);
std::wstring GetWindowText(HWND window);
void EnableWindow(HWND window, bool enable);
bool IsWindowEnabled(HWND window);
void InvalidateRect(HWND window, bool erase);  // the whole area
HWND GetDlgItem(HWND dialog, int id);
bool IsIconic(HWND window);
void GetClientRect(HWND window, RECT* rect);
int GetSystemMetrics(int index);
HMENU GetSystemMenu(HWND window);  // null when the window has none
bool AppendMenu(HMENU menu, UINT flags, std::uintptr_t id, const std::wstring& text);
HICON LoadIcon(int resourceId);  // from the program's own resources
HDC BeginPaint(HWND window);
void EndPaint(HWND window, HDC dc);
void DrawIcon(HDC dc, int x, int y, HICON icon);
// A modal message box owned by the active window; returns IDOK, IDYES or IDNO.
int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
// Registers the common control classes (size field 8, class set 0xFF).
void InitCommonControls();

// A logical font; null when it cannot be made.
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 std::uint8_t italic, std::uint8_t underline, std::uint8_t strikeOut,
                 std::uint8_t charSet, std::uint8_t outPrecision, std::uint8_t clipPrecision,
                 std::uint8_t quality, std::uint8_t pitchAndFamily, const std::wstring& face);
bool DeleteObject(HFONT font);

// The message queue of a thread (not of a window). Made by the thread
// itself; 0 when it cannot be made.
using ThreadQueue = std::uintptr_t;
ThreadQueue CreateThreadQueue();
// Thread-safe; false when the queue is gone.
BOOL PostThreadMessage(ThreadQueue queue, UINT message, WPARAM wParam, LPARAM lParam);
// Waits for the next message of the calling thread's own queue; false for
// WM_QUIT.
bool GetThreadMessage(ThreadQueue queue, UINT& message, WPARAM& wParam, LPARAM& lParam);
// By the thread, when its loop has ended.
void DestroyThreadQueue(ThreadQueue queue);
}  // namespace backend

class CDialog;
namespace backend {
// Creates the dialog's window from its template (res/), sends it through
// WM_INITDIALOG to dialog.OnInitDialog(), runs the modal loop and returns the
// value given to EndDialog; -1 when the window could not be created. Every
// message reaches dialog.WindowProc().
INT_PTR RunModal(CDialog& dialog);
void EndDialog(HWND dialog, int result);
}  // namespace backend

// ---- Windows ----

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() = default;

  HWND GetSafeHwnd() const { return hwnd_; }
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  void Detach() { hwnd_ = nullptr; }

  LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const {
    return backend::SendMessage(hwnd_, m, w, l);
  }
  BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const {
    return backend::PostMessage(hwnd_, m, w, l);
  }
  void SetWindowText(const std::wstring& text) { backend::SetWindowText(hwnd_, text); }
  std::wstring GetWindowText() const { return backend::GetWindowText(hwnd_); }
  void EnableWindow(bool enable = true) { backend::EnableWindow(hwnd_, enable); }
  bool IsWindowEnabled() const { return backend::IsWindowEnabled(hwnd_); }
  void Invalidate(bool erase = true) { backend::InvalidateRect(hwnd_, erase); }
  bool IsIconic() const { return backend::IsIconic(hwnd_); }
  void GetClientRect(RECT* rect) const { backend::GetClientRect(hwnd_, rect); }
  void SetFont(class CFont* font, bool redraw = true);

 protected:
  HWND hwnd_ = nullptr;
};

class CStatic : public CWnd {};

// A font object; the font is released when the object goes.
class CFont {
 public:
  CFont() = default;
  ~CFont() { DeleteObject(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  bool CreateFont(int height, int width, int escapement, int orientation, int weight,
                  std::uint8_t italic, std::uint8_t underline, std::uint8_t strikeOut,
                  std::uint8_t charSet, std::uint8_t outPrecision, std::uint8_t clipPrecision,
                  std::uint8_t quality, std::uint8_t pitchAndFamily, const wchar_t* face) {
    DeleteObject();
    font_ = backend::CreateFont(height, width, escapement, orientation, weight, italic, underline,
                                strikeOut, charSet, outPrecision, clipPrecision, quality,
                                pitchAndFamily, face ? face : L"");
    return font_ != nullptr;
  }
  bool DeleteObject() {
    if (!font_) return false;
    bool ok = backend::DeleteObject(font_);
    font_ = nullptr;
    return ok;
  }
  HFONT GetSafeHandle() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

inline void CWnd::SetFont(CFont* font, bool redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->GetSafeHandle() : nullptr),
              redraw ? 1 : 0);
}

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CEdit : public CWnd {};

class CComboBox : public CWnd {
 public:
  int AddString(const std::wstring& text) {
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) {
    return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
  }
  std::uintptr_t GetItemData(int index) const {
    return static_cast<std::uintptr_t>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
  }
  int SetItemData(int index, std::uintptr_t data) {
    return static_cast<int>(
        SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  std::wstring GetLBText(int index) const;
};

class CProgressCtrl : public CWnd {
 public:
  int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  void SetState(WPARAM state) { SendMessage(PBM_SETSTATE, state); }
};

class CMenu {
 public:
  explicit CMenu(HMENU menu) : menu_(menu) {}
  HMENU GetSafeHmenu() const { return menu_; }
  bool AppendMenu(UINT flags, std::uintptr_t id = 0, const std::wstring& text = {}) {
    return backend::AppendMenu(menu_, flags, id, text);
  }

 private:
  HMENU menu_;
};

class CPaintDC {
 public:
  explicit CPaintDC(CWnd* window)
      : window_(window->GetSafeHwnd()), dc_(backend::BeginPaint(window_)) {}
  ~CPaintDC() { backend::EndPaint(window_, dc_); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC GetSafeHdc() const { return dc_; }
  void DrawIcon(int x, int y, HICON icon) { backend::DrawIcon(dc_, x, y, icon); }

 private:
  HWND window_;
  HDC dc_;
};

inline int GetSystemMetrics(int index) { return backend::GetSystemMetrics(index); }

// ---- Dialogs ----

class CDataExchange {
 public:
  explicit CDataExchange(HWND dialog) : dialog_(dialog) {}
  HWND Dialog() const { return dialog_; }

 private:
  HWND dialog_;
};

// Binds a control object to the dialog's control with this id.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog;

// One row of a dialog's message table. Exactly one handler is set.
template <class T>
struct MessageEntry {
  UINT message;  // WM_COMMAND, WM_NOTIFY or the message itself
  int id;        // control id for WM_COMMAND and WM_NOTIFY
  UINT code;     // notification code for WM_COMMAND and WM_NOTIFY
  void (T::*command)() = nullptr;
  void (T::*commandWithId)(int) = nullptr;  // one handler for several controls
  void (T::*notify)(NMHDR*, LRESULT*) = nullptr;
  LRESULT (T::*handler)(WPARAM, LPARAM) = nullptr;  // a message with its parameters
};

template <class T>
constexpr MessageEntry<T> OnCommand(int id, UINT code, void (T::*h)()) {
  return {WM_COMMAND, id, code, h, nullptr, nullptr, nullptr};
}
template <class T>
constexpr MessageEntry<T> OnCommandWithId(int id, UINT code, void (T::*h)(int)) {
  return {WM_COMMAND, id, code, nullptr, h, nullptr, nullptr};
}
template <class T>
constexpr MessageEntry<T> OnNotify(int id, UINT code, void (T::*h)(NMHDR*, LRESULT*)) {
  return {WM_NOTIFY, id, code, nullptr, nullptr, h, nullptr};
}
template <class T>
constexpr MessageEntry<T> OnMessage(UINT message, LRESULT (T::*h)(WPARAM, LPARAM)) {
  return {message, 0, 0, nullptr, nullptr, nullptr, h};
}

// Runs the first row of `table` that matches; false when none does.
template <class T>
bool DispatchMessageTable(T& self, std::span<const MessageEntry<T>> table, UINT message,
                          WPARAM w, LPARAM l, LRESULT& result) {
  for (const MessageEntry<T>& e : table) {
    if (e.message != message) continue;
    if (message == WM_COMMAND) {
      if (static_cast<int>(w & 0xFFFF) != e.id || ((w >> 16) & 0xFFFF) != e.code) continue;
      if (e.command) (self.*e.command)();
      else if (e.commandWithId) (self.*e.commandWithId)(e.id);
      result = 0;
      return true;
    }
    if (message == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(l);
      if (static_cast<int>(hdr->idFrom) != e.id || hdr->code != e.code) continue;
      result = 0;
      (self.*e.notify)(hdr, &result);
      return true;
    }
    result = (self.*e.handler)(w, l);
    return true;
  }
  return false;
}

class CDialog : public CWnd {
 public:
  explicit CDialog(int templateId, CWnd* parent = nullptr) : templateId_(templateId), parent_(parent) {}
  ~CDialog() override;

  int TemplateId() const { return templateId_; }

  // Creates the window from the template, runs it modally and returns the
  // value given to EndDialog (-1 when the window could not be created).
  INT_PTR DoModal();
  void EndDialog(int result);

  // Window procedure of the dialog: the message table first, then the
  // framework's own handling (IDOK, IDCANCEL, painting, the system menu).
  virtual LRESULT WindowProc(UINT message, WPARAM w, LPARAM l);

  virtual BOOL OnInitDialog();  // binds the controls through DoDataExchange
  virtual void DoDataExchange(CDataExchange*) {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  HMENU GetSystemMenuHandle() const { return backend::GetSystemMenu(hwnd_); }
  HWND GetDlgItem(int id) const { return backend::GetDlgItem(hwnd_, id); }
  void SetIcon(HICON icon, bool big) {
    SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }

 protected:
  // The derived dialog's message table; false when no row matched.
  virtual bool OnMessageTable(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
  // Called by a handler that leaves the message to the platform's default
  // dialog handling after all (the framework's base behaviour).
  void LetPlatformHandle() { platformDefault_ = true; }

 private:
  int templateId_;
  CWnd* parent_;
  bool platformDefault_ = false;

 public:
  // Backend glue. The backend clears the flag before it calls WindowProc;
  // afterwards true means no handler took the message and the platform's
  // default dialog handling is to run.
  CWnd* Parent() const { return parent_; }
  void ClearPlatformDefault() { platformDefault_ = false; }
  bool PlatformDefault() const { return platformDefault_; }
};

class CDialogEx : public CDialog {
 public:
  using CDialog::CDialog;
};

// ---- Message boxes ----

// The program's name: the base name of the executable, without extension.
std::wstring AppName();

// A modal box with the program's name as caption: MB_OK shows the warning
// icon, MB_YESNO the question icon. Returns IDOK, IDYES or IDNO.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);

// ---- The save-file dialog ----

constexpr DWORD OFN_NOTESTFILECREATE = 0x10000;

// What the program asks of the platform's save dialog. `filter` is in the
// framework's form, "Name|*.ext|Name|*.*|".
struct SaveFileRequest {
  HWND owner;
  std::wstring defaultExt;
  std::wstring fileName;
  DWORD flags;
  std::wstring filter;
};
namespace backend {
// Shows the dialog modally; true with the chosen full path on OK.
bool GetSaveFileName(const SaveFileRequest& request, std::wstring& path);
}  // namespace backend

// The save dialog only (the imager never opens a file for reading here).
class CFileDialog {
 public:
  CFileDialog(bool openFileDialog, const wchar_t* defaultExt, const wchar_t* fileName, DWORD flags,
              const wchar_t* filter, CWnd* parent = nullptr)
      : request_{parent ? parent->GetSafeHwnd() : nullptr, defaultExt ? defaultExt : L"",
                 fileName ? fileName : L"", flags, filter ? filter : L""} {
    (void)openFileDialog;
  }
  // IDOK with a path, or IDCANCEL.
  INT_PTR DoModal() { return backend::GetSaveFileName(request_, path_) ? IDOK : IDCANCEL; }
  const std::wstring& GetPathName() const { return path_; }

 private:
  SaveFileRequest request_;
  std::wstring path_;
};

// ---- Threads and mutexes ----

using AFX_THREADPROC = UINT (*)(void*);

// One row of a thread's message table.
template <class T>
struct ThreadMessageEntry {
  UINT message;
  void (T::*handler)(WPARAM, LPARAM);
};

// Runs the first row of `table` for `message`; false when none matches.
template <class T>
bool DispatchThreadMessageTable(T& self, std::span<const ThreadMessageEntry<T>> table, UINT message,
                                WPARAM w, LPARAM l) {
  for (const ThreadMessageEntry<T>& e : table) {
    if (e.message != message) continue;
    (self.*e.handler)(w, l);
    return true;
  }
  return false;
}

// A thread and the object that stands for it. With m_bAutoDelete false the
// object outlives its thread, and its handle stays valid until it is deleted.
//
// Two kinds: a worker runs one function (AfxBeginThread with a function);
// a thread of a class derived from this one (AfxBeginThread<T>) has its own
// message queue and message table, runs InitInstance and then its message
// loop until WM_QUIT, then ExitInstance.
class CWinThread {
 public:
  CWinThread(AFX_THREADPROC proc, void* param) : proc_(proc), param_(param) {}
  virtual ~CWinThread();
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;

  // Creates the thread, suspended when `flags` holds CREATE_SUSPENDED.
  bool CreateThread(DWORD flags, std::size_t stackSize);
  DWORD ResumeThread();
  plat::HANDLE Handle() const { return handle_; }

  bool m_bAutoDelete = true;

  // ---- Threads with a message queue ----

  // Creates the thread and returns once it can receive thread messages; with
  // CREATE_SUSPENDED it then waits for ResumeThread before InitInstance.
  bool CreateMessageThread(DWORD flags, std::size_t stackSize);
  virtual BOOL InitInstance() { return 1; }
  virtual int ExitInstance() { return 0; }
  // Thread-safe; false when the thread has no queue or it has ended.
  BOOL PostThreadMessage(UINT message, WPARAM w, LPARAM l);
  // For the owner of a message thread kept with m_bAutoDelete false, instead
  // of deleting it: ends its loop (once a message it is handling returns)
  // and lets go of the object, which is deleted by whichever side is last.
  // Never waits for work in progress. The caller must not use the object
  // afterwards.
  void QuitAndRelease();

 protected:
  CWinThread() = default;
  // The derived thread's message table; false when no row matched.
  virtual bool OnThreadMessageTable(UINT, WPARAM, LPARAM) { return false; }

 private:
  static DWORD Start(void* self);
  static DWORD StartMessageThread(void* self);
  AFX_THREADPROC proc_ = nullptr;
  void* param_ = nullptr;
  plat::HANDLE handle_ = nullptr;

  enum Life { kRunning, kEnded, kReleased };
  backend::ThreadQueue queue_ = 0;
  bool messageThread_ = false;
  std::mutex gateMutex_;
  std::condition_variable gate_;
  bool started_ = false;  // the queue exists
  bool held_ = false;     // created suspended and not yet resumed
  std::atomic<int> life_{kRunning};
};

// A thread of class T (derived from CWinThread) with its own message loop;
// null when it cannot be created, the reason in GetLastError.
template <class T>
T* AfxBeginThread(int /*priority: normal only*/ = THREAD_PRIORITY_NORMAL, std::size_t stackSize = 0,
                  DWORD flags = 0, const void* /*security*/ = nullptr) {
  auto* thread = new T;
  if (!thread->CreateMessageThread(flags, stackSize)) {
    DWORD error = plat::GetLastError();
    delete thread;
    plat::SetLastError(error);
    return nullptr;
  }
  return thread;
}

// Null when the thread cannot be created; the reason is in GetLastError.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* param, int priority = THREAD_PRIORITY_NORMAL,
                           std::size_t stackSize = 0, DWORD flags = 0,
                           const void* securityAttributes = nullptr);

// A named mutex of the logon session.
class CMutex {
 public:
  CMutex(bool initiallyOwn, const wchar_t* name);
  ~CMutex();
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  bool IsValid() const { return handle_ != nullptr; }
  // Waits at most `timeout` ms; true when the mutex was obtained.
  bool Lock(DWORD timeout);
  bool Unlock();

 private:
  plat::HANDLE handle_ = nullptr;
};

// ---- The application ----

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return 1; }
  void SetRegistryKey(const wchar_t* key) { registryKey_ = key; }
  const std::wstring& RegistryKey() const { return registryKey_; }

  CWnd* m_pMainWnd = nullptr;

 private:
  std::wstring registryKey_;
};

// The one application object, set while it exists.
CWinApp* AfxGetApp();

// Converts between the framework's wide text and the platform's UTF-16.
std::u16string ToU16(const std::wstring& text);
std::wstring FromU16(const std::u16string& text);

}  // namespace fw
