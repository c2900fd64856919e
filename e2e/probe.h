// What tw_probe.dll reports from inside the Tidewell process. Menus and icons
// are objects of the process that made them: under Wine, GetSystemMenu and
// WM_GETICON from another process answer null, so the driver reads them from
// a hook that runs on the dialog's own thread and hands the result over in a
// named shared section.
#pragma once

#include <windows.h>

namespace probe {

constexpr wchar_t kSection[] = L"Local\\TidewellE2eProbe";
constexpr char kHookProc[] = "ProbeHook";

struct MenuItem {
  UINT id;
  UINT type;  // MFT_* bits
  wchar_t text[64];
};

struct Result {
  // Written by the driver.
  HWND target;
  // Written by the hook, once, on the target's thread.
  LONG done;
  BOOL hasSystemMenu;
  int menuCount;  // -1 when the menu could not be read
  MenuItem items[32];
  BOOL hasBigIcon;     // WM_GETICON ICON_BIG answered a handle
  BOOL iconMatches;    // ... that draws the same as icon 128 of the program file
  BOOL hasIconResource;  // the program file holds icon 128
};

}  // namespace probe
