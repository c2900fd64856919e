// The speed test's handlers: the Start button, the rating scale and the
// worker's messages.
#include <memory>

#include "storage/usb_port.h"
#include "ui/tidewell_dlg.h"

using namespace fw;

namespace {

// The legends 1037 to 1040: USB 2 devices, then every other device.
constexpr const wchar_t* kUsb2Scale[4] = {L"Poor\n0-5 MB/s", L"Good\n6-14 MB/s",
                                          L"Better\n15-20 MB/s", L"Best\n21+ MB/s"};
constexpr const wchar_t* kOtherScale[4] = {L"Poor\n0-15 MB/s", L"Good\n16-20 MB/s",
                                           L"Better\n21-40 MB/s", L"Best\n41+ MB/s"};

}  // namespace

void CTidewellDlg::OnStartSpeedTest() {
  if (speedDriveSelector.GetCurSel() == CB_ERR) {
    AfxMessageBox(L"The source drive has not been selected.");
    return;
  }
  const std::wstring item = speedDriveSelector.GetWindowText();
  const char letter = item.empty() ? '\0' : static_cast<char>(item[0]);
  if (!HasSpaceForSpeedTest(letter, speedJob.blockSize)) {
    AfxMessageBox(L"Not enough space on the drive to perform test.");
    return;
  }
  const std::int32_t fileTest = fileTestRadio.GetCheck() == static_cast<int>(BST_CHECKED) ? 1 : 0;
  // A failed query counts as no answer: no warning, and the scale for other
  // devices. It may fail after writing the release (a stalled serial-number
  // request), which with the protocols still 0 would warn for a USB 3 port.
  plat::ULONG supportedProtocols = 0;
  plat::WORD bcdUsb = 0;
  if (!QueryUsbConnectionSpeed(letter, supportedProtocols, bcdUsb)) bcdUsb = 0;
  if (IsUsb3DeviceInUsb2Port(supportedProtocols, bcdUsb))
    AfxMessageBox(L"Warning: USB3 device is in a USB2 port!");
  ShowRatingScale(bcdUsb);
  StartSpeedTest(letter, fileTest);
}

int CTidewellDlg::ShowRatingScale(plat::WORD bcdUsb) {
  const bool usb2 = bcdUsb == 0x0200 || bcdUsb == 0x0210;
  for (int i = 0; i < 4; ++i) legendText[i].SetWindowText(usb2 ? kUsb2Scale[i] : kOtherScale[i]);
  return 1;
}

void CTidewellDlg::StartSpeedTest(char letter, std::int32_t fileTest) {
  speedProgress.SetState(PBST_NORMAL);
  speedProgress.SetPos(0);
  speedProgress.Invalidate(true);
  readRateText.SetWindowText(L"");
  writeRateText.SetWindowText(L"");
  DisableJobControls();  // Remove keeps its state: a removal may run beside the test

  speedJob.writeRate = 0;
  speedJob.readRate = 0;
  speedJob.errorCode = 0;
  speedJob.notifyWindow = GetSafeHwnd();
  speedJob.blockSize = kSpeedBlockSize;
  speedJob.fileTest = fileTest;
  speedJob.driveLetter = letter;
  speedJob.stopRequested = closeRequested;

  plat::DWORD error = 0;
  if (StartWorker(&SpeedTestThreadProc, &speedJob, speedThread, error)) return;

  speedJob.notifyWindow = nullptr;
  EnableJobControls();
  AfxMessageBox(L"The speed test could not be started.\n" + FromU16(plat::ErrorText(error)));
}

namespace {

// Takes over a rate text the worker posted; null when it is not one.
std::unique_ptr<std::wstring> TakeRateText(SpeedJob& job, WPARAM w) {
  auto* text = reinterpret_cast<std::wstring*>(w);
  return std::unique_ptr<std::wstring>(job.postedTexts.Take(text) ? text : nullptr);
}

}  // namespace

LRESULT CTidewellDlg::OnReadRate(WPARAM w, LPARAM) {
  if (auto text = TakeRateText(speedJob, w)) {
    readRateText.SetWindowText(*text);
    readRateText.Invalidate(true);
  }
  return 0;
}

LRESULT CTidewellDlg::OnWriteRate(WPARAM w, LPARAM) {
  if (auto text = TakeRateText(speedJob, w)) {
    writeRateText.SetWindowText(*text);
    writeRateText.Invalidate(true);
  }
  return 0;
}

LRESULT CTidewellDlg::OnSpeedProgress(WPARAM percent, LPARAM) {
  speedProgress.SetPos(static_cast<int>(percent));
  speedProgress.Invalidate(true);
  return 0;
}

LRESULT CTidewellDlg::OnSpeedFinished(WPARAM error, LPARAM) {
  plat::Sleep(1000);
  if (error != 0) {
    speedProgress.SetPos(100);
    speedProgress.SetState(PBST_ERROR);
    // The window is going: no box to answer first.
    if (!closeRequested)
      AfxMessageBox(L"Error testing disk speed.\n" +
                    FromU16(plat::ErrorText(static_cast<plat::DWORD>(error))));
  } else {
    readRateText.SetWindowText(FormatRate(speedJob.readRate));
    writeRateText.SetWindowText(FormatRate(speedJob.writeRate));
    readRateText.Invalidate(true);
    writeRateText.Invalidate(true);
    speedProgress.SetPos(100);
  }
  speedProgress.Invalidate(true);
  EnableJobControls();
  EndIfCloseRequested();
  return 0;
}
