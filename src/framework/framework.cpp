#include "framework/framework.h"

#include <vector>

namespace fw {

namespace {
CWinApp* g_app = nullptr;
}

std::wstring CComboBox::GetLBText(int index) const {
  LRESULT len = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
  if (len == CB_ERR) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(len) + 1, L'\0');
  SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return std::wstring(buffer.data());
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  control.Attach(backend::GetDlgItem(dx->Dialog(), id));
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  INT_PTR result = backend::RunModal(*this);
  hwnd_ = nullptr;
  return result;
}

void CDialog::EndDialog(int result) { backend::EndDialog(hwnd_, result); }

BOOL CDialog::OnInitDialog() {
  CDataExchange dx(hwnd_);
  DoDataExchange(&dx);
  return 1;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM w, LPARAM l) {
  LRESULT result = 0;
  if (OnMessageTable(message, w, l, result)) return result;
  if (message == WM_COMMAND && ((w >> 16) & 0xFFFF) == BN_CLICKED) {
    switch (w & 0xFFFF) {
      case IDOK: OnOK(); return 0;
      case IDCANCEL: OnCancel(); return 0;
      default: break;
    }
  }
  platformDefault_ = true;
  return 0;
}

std::wstring AppName() {
  plat::WCHAR path[260] = {};
  plat::DWORD n = plat::GetModuleFileNameW(nullptr, path, 260);
  std::u16string full(path, n < 260 ? n : 259);
  std::size_t slash = full.find_last_of(u"\\/");
  std::u16string base = slash == std::u16string::npos ? full : full.substr(slash + 1);
  std::size_t dot = base.rfind(u'.');
  if (dot != std::u16string::npos && dot > 0) base.resize(dot);
  return FromU16(base);
}

int AfxMessageBox(const std::wstring& text, UINT type) {
  UINT icon = (type & 0xF) == MB_YESNO ? MB_ICONQUESTION : MB_ICONWARNING;
  HWND owner = g_app && g_app->m_pMainWnd ? g_app->m_pMainWnd->GetSafeHwnd() : nullptr;
  return backend::MessageBox(owner, text, AppName(), (type & 0xF) | icon);
}

CWinThread::~CWinThread() {
  if (handle_) plat::CloseHandle(handle_);
}

DWORD CWinThread::Start(void* self) {
  auto* thread = static_cast<CWinThread*>(self);
  // Read before the work: an object kept by its owner may be deleted as soon
  // as the work has reported its end.
  const bool autoDelete = thread->m_bAutoDelete;
  DWORD code = thread->proc_(thread->param_);
  if (autoDelete) delete thread;
  return code;
}

bool CWinThread::CreateThread(DWORD flags, std::size_t stackSize) {
  DWORD id = 0;
  handle_ = plat::CreateThread(nullptr, stackSize, &CWinThread::Start, this, flags, &id);
  return handle_ != nullptr;
}

DWORD CWinThread::ResumeThread() {
  if (!messageThread_) return plat::ResumeThread(handle_);
  std::lock_guard<std::mutex> lock(gateMutex_);
  DWORD previous = held_ ? 1 : 0;
  held_ = false;
  gate_.notify_all();
  return previous;
}

bool CWinThread::CreateMessageThread(DWORD flags, std::size_t stackSize) {
  messageThread_ = true;
  held_ = (flags & plat::CREATE_SUSPENDED) != 0;
  DWORD id = 0;
  // It runs at once to make its queue; the caller's suspension is the gate.
  handle_ = plat::CreateThread(nullptr, stackSize, &CWinThread::StartMessageThread, this, 0, &id);
  if (!handle_) return false;
  std::unique_lock<std::mutex> lock(gateMutex_);
  gate_.wait(lock, [this] { return started_; });
  return true;
}

DWORD CWinThread::StartMessageThread(void* self) {
  auto* thread = static_cast<CWinThread*>(self);
  thread->queue_ = backend::CreateThreadQueue();
  {
    std::unique_lock<std::mutex> lock(thread->gateMutex_);
    thread->started_ = true;
    thread->gate_.notify_all();
    thread->gate_.wait(lock, [thread] { return !thread->held_; });
  }
  int code = 0;
  if (thread->InitInstance()) {
    UINT m = 0;
    WPARAM w = 0;
    LPARAM l = 0;
    while (backend::GetThreadMessage(thread->queue_, m, w, l))
      thread->OnThreadMessageTable(m, w, l);
  }
  code = thread->ExitInstance();
  backend::DestroyThreadQueue(thread->queue_);
  // The object is deleted by whichever of the thread and its owner is last.
  if (thread->m_bAutoDelete || thread->life_.exchange(kEnded) == kReleased) delete thread;
  return static_cast<DWORD>(code);
}

BOOL CWinThread::PostThreadMessage(UINT message, WPARAM w, LPARAM l) {
  if (!queue_) return 0;
  return backend::PostThreadMessage(queue_, message, w, l);
}

void CWinThread::QuitAndRelease() {
  PostThreadMessage(WM_QUIT, 0, 0);
  ResumeThread();  // a thread still held at its start ends through its loop
  if (life_.exchange(kReleased) == kEnded) {
    // It has finished with the object and is returning.
    plat::WaitForSingleObject(handle_, plat::INFINITE);
    delete this;
  }
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* param, int /*priority: normal only*/,
                           std::size_t stackSize, DWORD flags, const void* /*security*/) {
  auto* thread = new CWinThread(proc, param);
  // Always start suspended, so that an auto-deleting thread cannot end and
  // delete its object before the caller has it.
  if (!thread->CreateThread(flags | plat::CREATE_SUSPENDED, stackSize)) {
    DWORD error = plat::GetLastError();
    delete thread;
    plat::SetLastError(error);
    return nullptr;
  }
  if (!(flags & plat::CREATE_SUSPENDED)) thread->ResumeThread();
  return thread;
}

CMutex::CMutex(bool initiallyOwn, const wchar_t* name) {
  handle_ = plat::CreateMutexW(nullptr, initiallyOwn ? 1 : 0, ToU16(name).c_str());
}

CMutex::~CMutex() {
  if (handle_) plat::CloseHandle(handle_);
}

bool CMutex::Lock(DWORD timeout) {
  if (!handle_) return false;
  DWORD r = plat::WaitForSingleObject(handle_, timeout);
  return r == plat::WAIT_OBJECT_0 || r == plat::WAIT_ABANDONED;
}

bool CMutex::Unlock() { return handle_ && plat::ReleaseMutex(handle_) != 0; }

CWinApp::CWinApp() { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

std::u16string ToU16(const std::wstring& text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    auto u = static_cast<std::uint32_t>(c);
    if (u >= 0x10000 && u <= 0x10FFFF) {  // only where wchar_t is 32 bits
      u -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (u >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (u & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(u));
    }
  }
  return out;
}

std::wstring FromU16(const std::u16string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if constexpr (sizeof(wchar_t) == 4) {
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] < 0xE000) {
        std::uint32_t u = 0x10000 + ((c - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
        out.push_back(static_cast<wchar_t>(u));
        ++i;
        continue;
      }
    }
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

}  // namespace fw
