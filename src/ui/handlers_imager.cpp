// The "USB Disk Imager" group: the checks before a run, the save dialog,
// and the run's progress and outcome.
#include "ui/tidewell_dlg.h"

using namespace fw;

void CTidewellDlg::OnCreateImage() {
  const std::wstring path = imagePathEdit.GetWindowText();
  if (path.empty()) {
    AfxMessageBox(L"The destination image file has not been selected.");
    return;
  }
  const std::u16string imagePath = ToU16(path);
  const DWORD attributes = plat::GetFileAttributesW(imagePath.c_str());
  if (attributes != plat::INVALID_FILE_ATTRIBUTES && !(attributes & plat::FILE_ATTRIBUTE_DIRECTORY) &&
      AfxMessageBox(L"The image file already exists. Should it be overwritten?", MB_YESNO) != IDYES) {
    imagePathEdit.SetWindowText(L"");
    return;
  }
  const int index = imageDriveSelector.GetCurSel();
  if (index == CB_ERR) {
    AfxMessageBox(L"The source drive has not been selected.");
    return;
  }
  const auto deviceNumber = static_cast<std::uint32_t>(imageDriveSelector.GetItemData(index));
  const std::int32_t shortImage = shortImageBox.GetCheck() == static_cast<int>(BST_CHECKED) ? 1 : 0;
  StartImaging(imagePath, shortImage, deviceNumber);
}

void CTidewellDlg::OnBrowseImageFile() {
  CFileDialog dialog(false, L"Image files", nullptr, OFN_NOTESTFILECREATE,
                     L"Image files|*.img|All Files|*.*|");
  if (dialog.DoModal() == IDOK) imagePathEdit.SetWindowText(dialog.GetPathName());
}

void CTidewellDlg::StartImaging(const std::u16string& path, std::int32_t shortImage,
                                std::uint32_t deviceNumber) {
  imageProgress.SetState(PBST_NORMAL);
  imageProgress.SetPos(0);
  imageProgress.Invalidate(true);
  DisableJobControls();
  removeButton.EnableWindow(false);

  imageJob.notifyWindow = GetSafeHwnd();
  imageJob.imagePath = path;
  imageJob.shortImage = shortImage;
  imageJob.deviceNumber = deviceNumber;
  imageJob.errorCode = 0;
  imageJob.stopRequested = false;

  plat::DWORD error = 0;
  if (StartWorker(&ImagingThreadProc, &imageJob, imageThread, error)) return;

  imageJob.notifyWindow = nullptr;
  EnableJobControls();
  removeButton.EnableWindow(true);
  AfxMessageBox(L"The disk image could not be started.\n" + FromU16(plat::ErrorText(error)));
}

LRESULT CTidewellDlg::OnImageProgress(WPARAM percent, LPARAM) {
  imageProgress.SetPos(static_cast<int>(percent));
  imageProgress.Invalidate(true);
  return 0;
}

LRESULT CTidewellDlg::OnImageFinished(WPARAM errorCode, LPARAM) {
  plat::Sleep(1000);
  imageProgress.SetPos(100);
  std::wstring message = L"Disk image successfully written.";
  if (errorCode != 0) {
    imageProgress.SetState(PBST_ERROR);
    message = L"Error making disk image.\n" +
              FromU16(plat::ErrorText(static_cast<plat::DWORD>(errorCode)));
  }
  // A window that is closing does not stop for the outcome.
  if (!closeRequested) AfxMessageBox(message);
  imageProgress.Invalidate(true);
  EnableJobControls();
  removeButton.EnableWindow(true);
  imageJob.notifyWindow = nullptr;
  imageJob.stopRequested = false;
  EndIfCloseRequested();
  return 0;
}
