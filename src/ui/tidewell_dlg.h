// The main dialog: the four tool groups, the status line and the frame.
#pragma once

#include <cstdint>

#include "framework/framework.h"
#include "imager/disk_image.h"
#include "phantom/census.h"
#include "speedtest/speed_test.h"
#include "storage/drive_list.h"
#include "ui/duration_combo.h"
#include "ui/messages.h"

constexpr fw::UINT IDM_ABOUTBOX = 0x0010;

class CUpdaterThread;

class CTidewellDlg : public fw::CDialogEx {
 public:
  CTidewellDlg();
  ~CTidewellDlg() override;

  fw::BOOL OnInitDialog() override;

  // Handlers on the dialog's thread.
  fw::LRESULT OnSysCommand(fw::WPARAM command, fw::LPARAM parameter);
  fw::LRESULT OnPaint(fw::WPARAM, fw::LPARAM);
  fw::LRESULT OnQueryDragIcon(fw::WPARAM, fw::LPARAM);
  void OnExitClicked();
  void OnMakerClicked();
  void ApplyAgeFilter();
  void ApplyCategoryCheck(int boxId);
  void UpdatePhantomStatus();
  void OnRemoveClicked();
  fw::LRESULT OnRemovalProgress(fw::WPARAM remaining, fw::LPARAM);
  fw::LRESULT OnRemovalFinished(fw::WPARAM, fw::LPARAM);

  // The speed test (handlers_speed.cpp).
  void OnStartSpeedTest();
  int ShowRatingScale(plat::WORD bcdUsb);
  void StartSpeedTest(char letter, std::int32_t fileTest);
  fw::LRESULT OnReadRate(fw::WPARAM text, fw::LPARAM);
  fw::LRESULT OnWriteRate(fw::WPARAM text, fw::LPARAM);
  fw::LRESULT OnSpeedProgress(fw::WPARAM percent, fw::LPARAM);
  fw::LRESULT OnSpeedFinished(fw::WPARAM error, fw::LPARAM);
  // The disk imager (handlers_imager.cpp).
  void OnCreateImage();
  void OnBrowseImageFile();
  void StartImaging(const std::u16string& path, std::int32_t shortImage, std::uint32_t deviceNumber);
  fw::LRESULT OnImageProgress(fw::WPARAM percent, fw::LPARAM);
  fw::LRESULT OnImageFinished(fw::WPARAM errorCode, fw::LPARAM);

  // Escape, the close box and the system menu's Close. While a worker runs,
  // the dialog asks it to stop and ends once its end has been handled.
  void OnCancel() override;

  // Lock and unlock the twenty controls a running worker must not see
  // changed. With workers overlapping, they come back with the last one.
  void DisableJobControls();
  void EnableJobControls();

  // Drive lists and the serial number (handlers_drives.cpp).
  fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM w, fw::LPARAM l) override;
  void RefillDriveSelectors();
  void OnVolumeArrival(const plat::DEV_BROADCAST_VOLUME& volume);
  void OnVolumeRemoval(const plat::DEV_BROADCAST_VOLUME& volume);
  void AddDriveLetter(char letter);
  void RemoveDriveLetter(char letter);
  void OnFindSerialNumber();
  const DriveList& Drives() const { return driveList; }
  // About, help and the update check (handlers_about.cpp).
  void OnAboutClicked();
  void OnImageHelpClicked(fw::NMHDR* header, fw::LRESULT* result);
  void OnSpeedHelpClicked(fw::NMHDR* header, fw::LRESULT* result);
  fw::LRESULT OnUpdateAvailable(fw::WPARAM, fw::LPARAM);
  // Starts the update-check thread and asks it to check once; 0 when the
  // dialog already has one (or it cannot be created).
  int StartUpdateCheck();
  const CUpdaterThread* UpdaterThread() const { return updaterThread; }

  const RemovalJob& Removal() const { return removalJob; }
  const fw::CWinThread* RemovalThread() const { return removalThread; }
  const SpeedJob& Speed() const { return speedJob; }
  const ImageJob& Image() const { return imageJob; }

 protected:
  void DoDataExchange(fw::CDataExchange* dx) override;
  bool OnMessageTable(fw::UINT m, fw::WPARAM w, fw::LPARAM l, fw::LRESULT& result) override;

 private:
  // Takes a fresh census into the emptied phantom list; tells the user when
  // it stopped early.
  void TakeCensus();
  fw::CButton& CategoryBox(int boxId);
  void StartRemoval();
  // Starts `entry` on `job`, suspended, then keeps the thread object in
  // `field` (the previous one, long finished, is released) and resumes it.
  // False, with the system's error code, when the thread cannot be created.
  bool StartWorker(fw::AFX_THREADPROC entry, void* job, fw::CWinThread*& field,
                   plat::DWORD& error);
  // Ends the dialog when a close was asked for and the last worker is done.
  void EndIfCloseRequested();

  RemovalJob removalJob;
  SpeedJob speedJob;
  ImageJob imageJob;
  std::int32_t removalIdle = 1;
  DriveList driveList;
  fw::CWinThread* removalThread = nullptr;
  fw::CWinThread* imageThread = nullptr;
  fw::CWinThread* speedThread = nullptr;
  CUpdaterThread* updaterThread = nullptr;
  bool updateNoticeShown = false;
  fw::HICON appIcon = nullptr;
  int runningWorkers = 0;
  bool closeRequested = false;

  fw::CStatic detectedText;  // 1000
  fw::CStatic toRemoveText;  // 1001
  CDurationCombo ageSelector;  // 1003
  fw::CButton removeButton;  // 1002
  fw::CButton aboutButton;   // 1004
  fw::CButton makerButton;   // 1005
  fw::CButton exitButton;    // 1
  fw::CStatic statusLine;    // 1006
  fw::CButton diskDriveBox;  // 1007
  fw::CButton volumeBox;     // 1008
  fw::CButton usbBox;        // 1009
  fw::CButton cdromBox;      // 1011
  fw::CButton scsiAdapterBox;     // 1013
  fw::CButton volumeSnapshotBox;  // 1010
  fw::CComboBox imageDriveSelector;   // 1016
  fw::CComboBox speedDriveSelector;   // 1028
  fw::CComboBox serialDriveSelector;  // 1033
  fw::CEdit imagePathEdit;     // 1017
  fw::CEdit serialNumberEdit;  // 1036
  fw::CProgressCtrl imageProgress;  // 1020
  fw::CProgressCtrl speedProgress;  // 1029
  fw::CButton shortImageBox;      // 1018
  fw::CButton createImageButton;  // 1015
  fw::CButton browseButton;       // 1014
  fw::CButton readWriteRadio;     // 1026
  fw::CButton fileTestRadio;      // 1027
  fw::CStatic readRateText;   // 1032
  fw::CStatic writeRateText;  // 1031
  fw::CButton startButton;    // 1030
  fw::CStatic legendText[4];  // 1037 to 1040
};
