// The long-lived update-check thread: it waits for its one WM_UPDATE_CHECK,
// checks, posts WM_UPDATE_AVAILABLE to the dialog when a newer version is
// listed, and waits on until it is told to quit.
#pragma once

#include "framework/framework.h"
#include "update/version_check.h"

class CUpdaterThread : public fw::CWinThread {
 public:
  CUpdaterThread() = default;

  fw::BOOL InitInstance() override { return 1; }
  int ExitInstance() override { return fw::CWinThread::ExitInstance(); }

  void OnUpdateCheck(fw::WPARAM, fw::LPARAM);

  // Written by the dialog while the thread is suspended, then only read.
  fw::HWND notifyWindow = nullptr;
  std::wstring ownVersionText;
  std::uint32_t ownMajor = 0;
  std::uint32_t ownMinor = 0;
  std::uint32_t ownBuild = 0;
  std::uint32_t ownRevision = 0;
  // False when the program could not read its own version: nothing to
  // compare with, so no check is made.
  bool ownVersionKnown = false;

 protected:
  bool OnThreadMessageTable(fw::UINT m, fw::WPARAM w, fw::LPARAM l) override;
};
