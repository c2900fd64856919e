#include "app/app.h"

#include "platform/platform.h"
#include "ui/tidewell_dlg.h"

CTidewellApp theApp;

fw::BOOL CTidewellApp::InitInstance() {
  // Held, never closed, until the process ends: a second copy in the logon
  // session finds it and leaves without a word.
  plat::CreateMutexW(nullptr, 1, u"TidewellMutex");
  if (plat::GetLastError() == plat::ERROR_ALREADY_EXISTS) return 0;

  fw::backend::InitCommonControls();
  SetRegistryKey(L"Velmora, Inc.");  // named only: nothing is read or written under it

  CTidewellDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return 0;
}
