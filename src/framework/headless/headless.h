// The headless backend's face for tests: a dialog's controls live in memory,
// built from the same templates as the real window. The test acts as the
// user (clicks, selections, keys) and as the dialog's message loop (pumping
// the posted messages), then reads what the window shows.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/framework.h"

namespace fw::headless {

struct MenuItem {
  UINT flags;
  std::uintptr_t id;
  std::wstring text;
};

struct MessageBoxShown {
  std::wstring text;
  std::wstring caption;
  UINT type;
  int answer;
};

// What the backend did to a window, in order (for start-up order checks):
// "text 1000 <text>", "send 1003 0x143", "menu <text>", "caption <text>", ...
using Log = std::vector<std::wstring>;

// ---- Window lifetime outside a modal loop ----

// Creates the dialog's window from its template and runs OnInitDialog.
void Open(CDialog& dialog);
// Destroys the window; messages posted to it afterwards are lost.
void Close(CDialog& dialog);
bool IsEnded(const CDialog& dialog);
int EndResult(const CDialog& dialog);

// What the "user" does while DoModal runs a dialog with this template; with
// no script the user closes it at once with Escape. Scripts stay set until
// ResetScripts.
void SetModalScript(int templateId, std::function<void(CDialog&)> script);
// Templates of the modal dialogs run so far, in order.
const std::vector<int>& ModalDialogsRun();

// Answers for the next message boxes, in order; when none is left a box is
// answered with IDOK (MB_OK) or IDNO (MB_YESNO).
void ScriptMessageBoxAnswers(std::vector<int> answers);
const std::vector<MessageBoxShown>& MessageBoxesShown();

// Answers for the next save dialogs, in order: a path for OK, nullopt for
// Cancel; when none is left a save dialog is cancelled.
void ScriptSaveFileAnswers(std::vector<std::optional<std::wstring>> answers);
const std::vector<SaveFileRequest>& SaveFileDialogsShown();

// Clears scripts, answers and records between tests.
void ResetScripts();

// ---- The user ----

// A click on an enabled control: check boxes and radio buttons change state
// as auto buttons do, then the dialog gets BN_CLICKED. False when the control
// is missing or disabled.
bool Click(CDialog& dialog, int id);
// Selects an item of a combo box and sends CBN_SELCHANGE.
bool Select(CDialog& dialog, int id, int index);
// A click on a link control: NM_CLICK.
bool ClickLink(CDialog& dialog, int id);
void PressEscape(CDialog& dialog);
// Enter: clicks the focused push button, else the default button when enabled.
void PressEnter(CDialog& dialog);
// A system command (SC_CLOSE for the close box or the system menu's Close).
void SysCommand(CDialog& dialog, UINT command);
void SetMinimized(CDialog& dialog, bool minimized);
// Sends a message as the platform would (WM_PAINT, WM_QUERYDRAGICON, ...).
LRESULT Deliver(CDialog& dialog, UINT message, WPARAM w, LPARAM l);

// ---- The message loop ----

// Handles every message posted so far; returns how many.
int Pump(CDialog& dialog);
// Handles posted messages, waiting for more, until `done` holds; false when
// it does not hold within `timeoutMs` of real time.
bool PumpUntil(CDialog& dialog, const std::function<bool()>& done, int timeoutMs = 10000);
// Handles posted messages until one with this number has been handled.
bool PumpUntilHandled(CDialog& dialog, UINT message, int timeoutMs = 10000);

// ---- What the window shows ----

bool Exists(const CDialog& dialog, int id);
std::wstring Text(const CDialog& dialog, int id);
std::wstring Caption(const CDialog& dialog);
bool Enabled(const CDialog& dialog, int id);
int Check(const CDialog& dialog, int id);
std::vector<std::wstring> Items(const CDialog& dialog, int id);
std::vector<std::uintptr_t> ItemData(const CDialog& dialog, int id);
int CurSel(const CDialog& dialog, int id);
int ProgressPos(const CDialog& dialog, int id);
WPARAM ProgressState(const CDialog& dialog, int id);  // PBST_NORMAL or PBST_ERROR
int Invalidations(const CDialog& dialog, int id);
int Focus(const CDialog& dialog);  // id of the focused control, 0 for none
HICON Icon(const CDialog& dialog, bool big);
std::vector<MenuItem> SystemMenu(const CDialog& dialog);
const Log& EventLog(const CDialog& dialog);
// Icons drawn while painting: {x, y}.
std::vector<std::pair<int, int>> IconsDrawn(const CDialog& dialog);

// ---- Fonts ----

struct FontSpec {
  int height, width, escapement, orientation, weight;
  std::uint8_t italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality,
      pitchAndFamily;
  std::wstring face;
};
// The font a control was given with WM_SETFONT (null for none).
HFONT Font(const CDialog& dialog, int id);
// Fonts made and not yet released, in the order they were made.
std::vector<FontSpec> LiveFonts();
// What a live font was made with.
FontSpec SpecOf(HFONT font);

}  // namespace fw::headless
