// The main dialog's handlers of the About box, the two help links and the
// update check.
#include "ui/about_dlg.h"
#include "ui/tidewell_dlg.h"
#include "update/own_version.h"
#include "update/update_dlg.h"
#include "update/updater_thread.h"

using namespace fw;

void CTidewellDlg::OnAboutClicked() {
  CAboutDlg about;
  std::wstring version;
  if (GetOwnVersionText(version)) about.versionText = version;
  about.DoModal();
}

void CTidewellDlg::OnImageHelpClicked(NMHDR*, LRESULT* result) {
  CDiskImageHelpDlg help;
  help.DoModal();
  *result = 0;
}

void CTidewellDlg::OnSpeedHelpClicked(NMHDR*, LRESULT* result) {
  CDiskSpeedHelp help;
  help.DoModal();
  *result = 0;
}

int CTidewellDlg::StartUpdateCheck() {
  if (updaterThread) return 0;
  CUpdaterThread* thread =
      AfxBeginThread<CUpdaterThread>(THREAD_PRIORITY_NORMAL, 0, plat::CREATE_SUSPENDED);
  // Without a thread there is no check; nothing to tell the user.
  if (!thread) return 0;
  updaterThread = thread;
  thread->ownVersionKnown = GetOwnVersionText(thread->ownVersionText) &&
                            GetOwnVersionNumbers(thread->ownMajor, thread->ownMinor,
                                                 thread->ownBuild, thread->ownRevision);
  thread->notifyWindow = GetSafeHwnd();
  thread->m_bAutoDelete = false;
  thread->ResumeThread();
  thread->PostThreadMessage(WM_UPDATE_CHECK, 0, 0);
  return 1;
}

LRESULT CTidewellDlg::OnUpdateAvailable(WPARAM, LPARAM) {
  if (updateNoticeShown) return 0;  // one notice per start
  updateNoticeShown = true;
  CUpdateProductDlg notice;
  if (notice.DoModal() != IDOK) return 0;
  const std::u16string address = ToU16(DownloadPackageAddress());
  plat::ShellExecuteW(GetSafeHwnd(), u"open", address.c_str(), nullptr, nullptr,
                      plat::SW_SHOWNORMAL);  // the result is not examined
  return 0;
}
