#include "ui/duration_combo.h"

#include "res/resources.h"

bool CComboBoxPlus::SelectDefault() {
  for (int i = 0, n = GetCount(); i < n; ++i) {
    if (GetItemData(i) == static_cast<std::uintptr_t>(res::IDS_AGE_NOW)) {
      SetCurSel(i);
      return true;
    }
  }
  SetCurSel(0);
  return false;
}

bool CDurationCombo::FillItems() {
  ResetContent();
  for (int id = res::IDS_AGE_NOW; id <= res::IDS_AGE_LAST_YEAR; ++id) {
    const wchar_t* text = res::FindString(id);
    int index = AddString(text ? text : L"");
    SetItemData(index, static_cast<std::uintptr_t>(id));
  }
  return true;
}
