// tw_probe.dll: loaded into the Tidewell process by the driver's thread hook
// (WH_CALLWNDPROC), reads what only that process can read, once, and writes
// it into the driver's shared section.
#include "probe.h"

#include <cstring>
#include <vector>

namespace {

constexpr int kIconResource = 128;  // IDR_MAINFRAME

// The icon drawn on a fixed background, as 32-bit pixels.
std::vector<DWORD> Render(HICON icon, int cx, int cy) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = cx;
  bi.bmiHeader.biHeight = -cy;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  std::vector<DWORD> pixels;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc && bmp && bits) {
    HGDIOBJ old = SelectObject(dc, bmp);
    auto* p = static_cast<DWORD*>(bits);
    for (int i = 0; i < cx * cy; ++i) p[i] = 0x00FF00FF;
    DrawIconEx(dc, 0, 0, icon, cx, cy, 0, nullptr, DI_NORMAL);
    GdiFlush();
    pixels.assign(p, p + cx * cy);
    SelectObject(dc, old);
  }
  if (bmp) DeleteObject(bmp);
  if (dc) DeleteDC(dc);
  return pixels;
}

bool IconSize(HICON icon, int* cx, int* cy) {
  ICONINFO ii{};
  if (!GetIconInfo(icon, &ii)) return false;
  BITMAP bm{};
  bool ok = GetObjectW(ii.hbmMask, sizeof bm, &bm) != 0;
  *cx = bm.bmWidth;
  *cy = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;  // a monochrome icon stacks mask and image
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
  return ok && *cx > 0 && *cy > 0;
}

void Read(probe::Result* r) {
  HWND w = r->target;
  HMENU menu = GetSystemMenu(w, FALSE);
  r->hasSystemMenu = menu != nullptr;
  r->menuCount = menu ? GetMenuItemCount(menu) : -1;
  for (int i = 0; menu && i < r->menuCount && i < static_cast<int>(std::size(r->items)); ++i) {
    probe::MenuItem& item = r->items[i];
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    mii.dwTypeData = item.text;
    mii.cch = static_cast<UINT>(std::size(item.text));
    if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii)) {
      item.id = mii.wID;
      item.type = mii.fType;
    }
  }

  HMODULE self = GetModuleHandleW(nullptr);
  r->hasIconResource = FindResourceW(self, MAKEINTRESOURCEW(kIconResource), RT_GROUP_ICON) != nullptr;
  auto big = reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, ICON_BIG, 0));
  r->hasBigIcon = big != nullptr;
  int cx = 0, cy = 0;
  if (big && r->hasIconResource && IconSize(big, &cx, &cy)) {
    auto own = static_cast<HICON>(
        LoadImageW(self, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, cx, cy, 0));
    if (own) {
      std::vector<DWORD> a = Render(big, cx, cy), b = Render(own, cx, cy);
      r->iconMatches = !a.empty() && a == b;
      DestroyIcon(own);
    }
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  // The section exists only while the driver waits for an answer.
  if (code == HC_ACTION) {
    if (HANDLE section = OpenFileMappingW(FILE_MAP_WRITE, FALSE, probe::kSection)) {
      if (auto* r = static_cast<probe::Result*>(
              MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(probe::Result)))) {
        if (!r->done && GetWindowThreadProcessId(r->target, nullptr) == GetCurrentThreadId()) {
          Read(r);
          InterlockedExchange(&r->done, 1);
        }
        UnmapViewOfFile(r);
      }
      CloseHandle(section);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
