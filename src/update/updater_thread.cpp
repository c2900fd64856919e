#include "update/updater_thread.h"

#include "ui/messages.h"

using namespace fw;

namespace {
constexpr ThreadMessageEntry<CUpdaterThread> kThreadMessageMap[] = {
    {WM_UPDATE_CHECK, &CUpdaterThread::OnUpdateCheck},
};
}  // namespace

bool CUpdaterThread::OnThreadMessageTable(UINT m, WPARAM w, LPARAM l) {
  return DispatchThreadMessageTable<CUpdaterThread>(*this, kThreadMessageMap, m, w, l);
}

void CUpdaterThread::OnUpdateCheck(WPARAM, LPARAM) {
  if (!notifyWindow || !ownVersionKnown) return;
  std::string body;
  if (!FetchVersionList(VersionListAddress(), body)) return;
  OwnVersion own{ownVersionText, ownMajor, ownMinor, ownBuild, ownRevision};
  if (ListsNewerVersion(body, own)) backend::PostMessage(notifyWindow, WM_UPDATE_AVAILABLE, 0, 0);
}
