// The main dialog's drive lists, the volume broadcasts that keep them
// current, and the serial-number lookup.
#include "storage/drive_list.h"
#include "storage/serial_number.h"
#include "ui/tidewell_dlg.h"

using namespace fw;

LRESULT CTidewellDlg::WindowProc(UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DEVICECHANGE && l &&
      (w == plat::DBT_DEVICEARRIVAL || w == plat::DBT_DEVICEREMOVECOMPLETE)) {
    const auto* header = reinterpret_cast<const plat::DEV_BROADCAST_HDR*>(l);
    // The size guards against a short record that claims to be a volume's.
    if (header->dbch_devicetype == plat::DBT_DEVTYP_VOLUME &&
        header->dbch_size >= sizeof(plat::DEV_BROADCAST_VOLUME)) {
      const auto& volume = *reinterpret_cast<const plat::DEV_BROADCAST_VOLUME*>(l);
      if (w == plat::DBT_DEVICEARRIVAL)
        OnVolumeArrival(volume);
      else
        OnVolumeRemoval(volume);
    }
  }
  return CDialogEx::WindowProc(message, w, l);
}

void CTidewellDlg::RefillDriveSelectors() {
  CComboBox* selectors[] = {&imageDriveSelector, &speedDriveSelector, &serialDriveSelector};
  for (CComboBox* s : selectors) s->ResetContent();
  for (const auto& [number, entry] : driveList) {
    const std::wstring text(entry.letters.begin(), entry.letters.end());
    for (CComboBox* s : selectors) {
      int index = s->AddString(text);
      s->SetItemData(index, number);
    }
  }
  for (CComboBox* s : selectors) s->SetCurSel(0);
}

void CTidewellDlg::OnVolumeArrival(const plat::DEV_BROADCAST_VOLUME& volume) {
  const std::string letters = UnitMaskToLetters(volume);
  for (auto it = letters.rbegin(); it != letters.rend(); ++it)
    if (IsVolumeMediaReady(*it)) AddDriveLetter(*it);
  RefillDriveSelectors();
}

void CTidewellDlg::OnVolumeRemoval(const plat::DEV_BROADCAST_VOLUME& volume) {
  const std::string letters = UnitMaskToLetters(volume);
  for (auto it = letters.rbegin(); it != letters.rend(); ++it) RemoveDriveLetter(*it);
  RefillDriveSelectors();
}

void CTidewellDlg::AddDriveLetter(char letter) { ::AddDriveLetter(driveList, letter); }

void CTidewellDlg::RemoveDriveLetter(char letter) { ::RemoveDriveLetter(driveList, letter); }

void CTidewellDlg::OnFindSerialNumber() {
  if (serialDriveSelector.GetCurSel() == CB_ERR) {
    AfxMessageBox(L"The source drive has not been selected.");
    return;
  }
  const std::wstring item = serialDriveSelector.GetWindowText();
  const char letter = item.empty() ? 0 : static_cast<char>(item[0]);
  std::u16string serial;
  if (!ReadUsbSerialNumber(letter, serial)) {
    AfxMessageBox(L"There was a problem reading the serial number.");
    return;
  }
  serialNumberEdit.SetWindowText(FromU16(serial));
}
