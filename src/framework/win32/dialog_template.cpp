#include "framework/win32/dialog_template.h"

#include <string>

#include "framework/framework.h"

namespace fw::win32 {
namespace {

constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint16_t kOrdinalMark = 0xFFFF;
constexpr std::uint16_t kFontWeightNormal = 400;
constexpr std::uint8_t kDefaultCharset = 1;

class Writer {
 public:
  void Word(std::uint16_t w) { words_.push_back(w); }
  void Dword(std::uint32_t d) {
    Word(static_cast<std::uint16_t>(d & 0xFFFF));
    Word(static_cast<std::uint16_t>(d >> 16));
  }
  void Short(short s) { Word(static_cast<std::uint16_t>(s)); }
  void Text(const wchar_t* text) {
    for (char16_t c : ToU16(text ? text : L"")) Word(c);
    Word(0);
  }
  void Text(const char16_t* text) {
    for (; *text; ++text) Word(*text);
    Word(0);
  }
  void AlignDword() {
    if (words_.size() % 2) Word(0);
  }
  std::vector<std::uint16_t> Take() { return std::move(words_); }

 private:
  std::vector<std::uint16_t> words_;
};

}  // namespace

KindClass ClassOfKind(res::Kind kind) {
  constexpr std::uint16_t kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kCombo = 0x0085;
  switch (kind) {
    case res::Kind::PushButton: return {kButton, nullptr, 0x0000};     // BS_PUSHBUTTON
    case res::Kind::DefPushButton: return {kButton, nullptr, 0x0001};  // BS_DEFPUSHBUTTON
    case res::Kind::GroupBox: return {kButton, nullptr, 0x0007};       // BS_GROUPBOX
    case res::Kind::CheckBox: return {kButton, nullptr, 0x0003};       // BS_AUTOCHECKBOX
    case res::Kind::RadioButton: return {kButton, nullptr, 0x0009};    // BS_AUTORADIOBUTTON
    case res::Kind::Static: return {kStatic, nullptr, 0x0000};
    case res::Kind::Icon: return {kStatic, nullptr, 0x0003};           // SS_ICON
    case res::Kind::ComboBox: return {kCombo, nullptr, 0x0003};        // CBS_DROPDOWNLIST
    case res::Kind::Edit: return {kEdit, nullptr, 0x0000};
    case res::Kind::Progress: return {0, u"msctls_progress32", 0};
    case res::Kind::Link: return {0, u"SysLink", 0};
  }
  return {kStatic, nullptr, 0};
}

std::vector<std::uint16_t> BuildDialogTemplate(const res::DialogTemplate& dialog) {
  Writer out;
  out.Word(1);       // dlgVer
  out.Word(0xFFFF);  // signature: the extended form
  out.Dword(0);      // helpID
  out.Dword(dialog.exStyle);
  out.Dword(dialog.style | kDialogAddedStyle);
  out.Word(static_cast<std::uint16_t>(dialog.controls.size()));
  out.Short(0);
  out.Short(0);
  out.Short(dialog.cx);
  out.Short(dialog.cy);
  out.Word(0);  // no menu
  out.Word(0);  // the dialog class
  out.Text(dialog.caption);
  out.Word(static_cast<std::uint16_t>(dialog.pointSize));
  out.Word(kFontWeightNormal);
  out.Word(static_cast<std::uint16_t>(kDefaultCharset << 8));  // italic 0, then the charset byte
  out.Text(dialog.font);

  for (const res::ControlTemplate& c : dialog.controls) {
    KindClass kc = ClassOfKind(c.kind);
    out.AlignDword();
    out.Dword(0);  // helpID
    out.Dword(0);  // exStyle
    out.Dword(WS_CHILD | WS_VISIBLE | kc.style | c.style);
    out.Short(c.x);
    out.Short(c.y);
    out.Short(c.cx);
    out.Short(c.cy);
    out.Dword(static_cast<std::uint32_t>(c.id));  // kNoId becomes 0xFFFFFFFF
    if (kc.name) {
      out.Text(kc.name);
    } else {
      out.Word(kOrdinalMark);
      out.Word(kc.ordinal);
    }
    if (c.kind == res::Kind::Icon) {
      // The ordinal form: the static control loads the icon itself from
      // the module that runs the dialog.
      out.Word(kOrdinalMark);
      out.Word(static_cast<std::uint16_t>(c.iconId));
    } else {
      out.Text(c.text);
    }
    out.Word(0);  // no creation data
  }
  return out.Take();
}

}  // namespace fw::win32
