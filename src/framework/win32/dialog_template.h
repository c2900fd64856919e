// Turns a dialog template of res/ into the in-memory DLGTEMPLATEEX that
// DialogBoxIndirectParamW takes. Pure data work, no <windows.h>: it builds and
// can be checked on any platform.
#pragma once

#include <cstdint>
#include <vector>

#include "res/resources.h"

namespace fw::win32 {

// Styles the real window adds to every dialog: the template's font is the
// shell font, and the templates carry no position, so the dialog is centred
// on its owner (or the screen), as the platform's class library does.
constexpr std::uint32_t kDialogAddedStyle = 0x0048 /*DS_SHELLFONT*/ | 0x0800 /*DS_CENTER*/;

// The window class (an ordinal of the platform's predefined classes, or a
// name) and the class style that a control kind stands for.
struct KindClass {
  std::uint16_t ordinal;  // 0 when `name` is used
  const char16_t* name;
  std::uint32_t style;
};
KindClass ClassOfKind(res::Kind kind);

// The words of the DLGTEMPLATEEX, little-endian, each item DWORD-aligned
// relative to the start; the caller's buffer start must be DWORD-aligned.
std::vector<std::uint16_t> BuildDialogTemplate(const res::DialogTemplate& dialog);

}  // namespace fw::win32
