// Dialog templates and string resources, kept once as data so that the real
// window and the headless one are built from the same table.
#pragma once

#ifdef _WINDOWS_
#error "resources.h must be included before <windows.h>"
#endif

#include <cstdint>
#include <span>

namespace res {

enum class Kind {
  PushButton,     // "Button", BS_PUSHBUTTON
  DefPushButton,  // "Button", BS_DEFPUSHBUTTON
  GroupBox,       // "Button", BS_GROUPBOX
  CheckBox,       // "Button", BS_AUTOCHECKBOX
  RadioButton,    // "Button", BS_AUTORADIOBUTTON
  Static,         // "Static"; alignment and the like in `style`
  Icon,           // "Static", SS_ICON; `text` names no string, `iconId` the icon resource
  ComboBox,       // "ComboBox", CBS_DROPDOWNLIST (+ CBS_SORT in `style`)
  Edit,           // "Edit"
  Progress,       // "msctls_progress32"
  Link,           // "SysLink"
};

// Style bits, with the platform's values; each kind's class style
// (BS_*, CBS_DROPDOWNLIST, SS_ICON) and WS_CHILD | WS_VISIBLE are added by the
// backend from the kind.
namespace style {
constexpr std::uint32_t TabStop = 0x00010000;      // WS_TABSTOP
constexpr std::uint32_t Group = 0x00020000;        // WS_GROUP
constexpr std::uint32_t VScroll = 0x00200000;      // WS_VSCROLL
constexpr std::uint32_t Border = 0x00800000;       // WS_BORDER
constexpr std::uint32_t StaticLeft = 0x0000;       // SS_LEFT
constexpr std::uint32_t StaticCenter = 0x0001;     // SS_CENTER
constexpr std::uint32_t StaticRight = 0x0002;      // SS_RIGHT
constexpr std::uint32_t StaticNoWrap = 0x000C;     // SS_LEFTNOWORDWRAP
constexpr std::uint32_t StaticNoPrefix = 0x0080;   // SS_NOPREFIX
constexpr std::uint32_t StaticCenterV = 0x0200;    // SS_CENTERIMAGE
constexpr std::uint32_t ComboSort = 0x0100;        // CBS_SORT
constexpr std::uint32_t EditAutoHScroll = 0x0080;  // ES_AUTOHSCROLL
constexpr std::uint32_t EditReadOnly = 0x0800;     // ES_READONLY
constexpr std::uint32_t ButtonMultiLine = 0x2000;  // BS_MULTILINE: captions on two lines
// Dialog frame styles.
constexpr std::uint32_t Popup = 0x80000000;        // WS_POPUP
constexpr std::uint32_t Visible = 0x10000000;      // WS_VISIBLE
constexpr std::uint32_t Caption = 0x00C00000;      // WS_CAPTION
constexpr std::uint32_t SysMenu = 0x00080000;      // WS_SYSMENU
constexpr std::uint32_t ThickFrame = 0x00040000;   // WS_THICKFRAME
constexpr std::uint32_t MinimizeBox = 0x00020000;  // WS_MINIMIZEBOX
constexpr std::uint32_t ModalFrame = 0x0080;       // DS_MODALFRAME
constexpr std::uint32_t ShellFont = 0x0048;        // DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)
constexpr std::uint32_t ExAppWindow = 0x00040000;  // WS_EX_APPWINDOW
}  // namespace style

constexpr int kNoId = -1;  // IDC_STATIC: labels and group boxes

struct ControlTemplate {
  int id;
  Kind kind;
  const wchar_t* text;
  short x, y, cx, cy;  // dialog units
  std::uint32_t style;
  int iconId = 0;  // Kind::Icon only
};

struct DialogTemplate {
  int id;
  const wchar_t* caption;
  short cx, cy;  // dialog units
  std::uint32_t style;
  std::uint32_t exStyle;
  const wchar_t* font;
  short pointSize;
  std::span<const ControlTemplate> controls;  // template order = tab order
};

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_TIDEWELL_DIALOG = 102;
constexpr int IDD_SHORT_IMAGE_HELP = 107;
constexpr int IDD_UPDATE_NOTIFICATION = 108;
constexpr int IDD_DISK_SPEED_HELP = 109;
constexpr int IDR_MAINFRAME = 128;  // the program's icon

constexpr int IDS_ABOUTBOX = 101;
constexpr int IDS_AGE_NOW = 102;
constexpr int IDS_AGE_TODAY = 103;
constexpr int IDS_AGE_LAST_WEEK = 104;
constexpr int IDS_AGE_LAST_MONTH = 105;
constexpr int IDS_AGE_LAST_YEAR = 106;

// The template with this id, or null.
const DialogTemplate* FindDialogTemplate(int id);

// The string resource with this id, or null when there is none.
const wchar_t* FindString(int id);

}  // namespace res
