#include "ui/tidewell_dlg.h"

#include <array>

#include "phantom/removal.h"
#include "phantom/selection.h"
#include "res/resources.h"
#include "update/own_version.h"
#include "update/version_check.h"
#include "update/updater_thread.h"

using namespace fw;

namespace {

using Entry = MessageEntry<CTidewellDlg>;

constexpr Entry kMessageMap[] = {
    OnMessage(WM_SYSCOMMAND, &CTidewellDlg::OnSysCommand),
    OnMessage(WM_PAINT, &CTidewellDlg::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &CTidewellDlg::OnQueryDragIcon),
    OnCommand(IDOK, BN_CLICKED, &CTidewellDlg::OnExitClicked),
    OnCommand(1003, CBN_SELCHANGE, &CTidewellDlg::ApplyAgeFilter),
    OnCommand(1005, BN_CLICKED, &CTidewellDlg::OnMakerClicked),
    OnCommand(1002, BN_CLICKED, &CTidewellDlg::OnRemoveClicked),
    OnCommandWithId(1007, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1008, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1009, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1010, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1011, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1013, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnMessage(WM_REMOVAL_FINISHED, &CTidewellDlg::OnRemovalFinished),
    OnMessage(WM_REMOVAL_PROGRESS, &CTidewellDlg::OnRemovalProgress),
    OnCommand(1030, BN_CLICKED, &CTidewellDlg::OnStartSpeedTest),
    OnMessage(WM_SPEED_FINISHED, &CTidewellDlg::OnSpeedFinished),
    OnMessage(WM_SPEED_PROGRESS, &CTidewellDlg::OnSpeedProgress),
    OnMessage(WM_SPEED_READ_RATE, &CTidewellDlg::OnReadRate),
    OnMessage(WM_SPEED_WRITE_RATE, &CTidewellDlg::OnWriteRate),
    OnCommand(1015, BN_CLICKED, &CTidewellDlg::OnCreateImage),
    OnCommand(1014, BN_CLICKED, &CTidewellDlg::OnBrowseImageFile),
    OnMessage(WM_IMAGE_FINISHED, &CTidewellDlg::OnImageFinished),
    OnMessage(WM_IMAGE_PROGRESS, &CTidewellDlg::OnImageProgress),
    OnCommand(1035, BN_CLICKED, &CTidewellDlg::OnFindSerialNumber),
    OnCommand(1004, BN_CLICKED, &CTidewellDlg::OnAboutClicked),
    OnNotify(1019, NM_CLICK, &CTidewellDlg::OnImageHelpClicked),
    OnNotify(1041, NM_CLICK, &CTidewellDlg::OnSpeedHelpClicked),
    OnMessage(WM_UPDATE_AVAILABLE, &CTidewellDlg::OnUpdateAvailable),
};

// Locked while a worker runs, in this order.
constexpr int kJobControls[] = {1003, 1004, 1005, IDOK, 1007, 1008, 1009, 1011, 1013, 1010,
                                1016, 1028, 1033, 1017, 1018, 1015, 1014, 1030, 1026, 1027};

// The category boxes with their count captions, in the order the counts are
// written.
struct CategoryCaption {
  int boxId;
  const wchar_t* prefix;
};
constexpr CategoryCaption kCategoryCaptions[] = {
    {1007, L"DISK DRIVE = "}, {1008, L"VOLUME = "},       {1009, L"USB = "},
    {1011, L"CDROM = "},      {1013, L"SCSI ADAPTER = "}, {1010, L"VOLUME SNAPSHOT = "},
};

const plat::GUID* ClassOfBox(int boxId) {
  for (const PhantomClass& row : PhantomClassTable)
    if (row.checkBoxId == boxId) return row.classGuid;
  return nullptr;
}

std::wstring Count(std::uint32_t n) { return std::to_wstring(n); }

}  // namespace

CTidewellDlg::CTidewellDlg() : CDialogEx(res::IDD_TIDEWELL_DIALOG) {
  appIcon = backend::LoadIcon(res::IDR_MAINFRAME);
}

CTidewellDlg::~CTidewellDlg() {
  // The check may still wait on the network: it is not waited for.
  if (updaterThread) updaterThread->QuitAndRelease();
  // The dialog only ends once its workers are done; should it go anyway, the
  // job records must outlive the worker that still reads them.
  if (removalThread) RequestAbort(removalJob);
  speedJob.stopRequested = true;
  imageJob.stopRequested = true;
  for (CWinThread* worker : {removalThread, speedThread, imageThread}) {
    if (!worker) continue;
    plat::WaitForSingleObject(worker->Handle(), plat::INFINITE);
    delete worker;
  }
}

bool CTidewellDlg::OnMessageTable(UINT m, WPARAM w, LPARAM l, LRESULT& result) {
  return DispatchMessageTable<CTidewellDlg>(*this, kMessageMap, m, w, l, result);
}

void CTidewellDlg::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, 1000, detectedText);
  DDX_Control(dx, 1001, toRemoveText);
  DDX_Control(dx, 1003, ageSelector);
  DDX_Control(dx, 1002, removeButton);
  DDX_Control(dx, 1004, aboutButton);
  DDX_Control(dx, 1005, makerButton);
  DDX_Control(dx, IDOK, exitButton);
  DDX_Control(dx, 1006, statusLine);
  DDX_Control(dx, 1007, diskDriveBox);
  DDX_Control(dx, 1008, volumeBox);
  DDX_Control(dx, 1009, usbBox);
  DDX_Control(dx, 1011, cdromBox);
  DDX_Control(dx, 1013, scsiAdapterBox);
  DDX_Control(dx, 1010, volumeSnapshotBox);
  DDX_Control(dx, 1016, imageDriveSelector);
  DDX_Control(dx, 1028, speedDriveSelector);
  DDX_Control(dx, 1033, serialDriveSelector);
  DDX_Control(dx, 1017, imagePathEdit);
  DDX_Control(dx, 1036, serialNumberEdit);
  DDX_Control(dx, 1020, imageProgress);
  DDX_Control(dx, 1029, speedProgress);
  DDX_Control(dx, 1018, shortImageBox);
  DDX_Control(dx, 1015, createImageButton);
  DDX_Control(dx, 1014, browseButton);
  DDX_Control(dx, 1026, readWriteRadio);
  DDX_Control(dx, 1027, fileTestRadio);
  DDX_Control(dx, 1032, readRateText);
  DDX_Control(dx, 1031, writeRateText);
  DDX_Control(dx, 1030, startButton);
  for (int i = 0; i < 4; ++i) DDX_Control(dx, 1037 + i, legendText[i]);
}

BOOL CTidewellDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();

  if (HMENU menu = GetSystemMenuHandle()) {
    const wchar_t* about = res::FindString(res::IDS_ABOUTBOX);
    if (about && *about) {
      CMenu sysMenu(menu);
      sysMenu.AppendMenu(MF_SEPARATOR);
      sysMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SetIcon(appIcon, true);
  removalThread = nullptr;
  imageThread = nullptr;

  std::wstring version;
  GetOwnVersionText(version);
  SetWindowText(L"Tidewell Version " + version);

  ageSelector.FillItems();
  ageSelector.SelectDefault();
  for (int box : {1007, 1008, 1009, 1011, 1013, 1010}) CategoryBox(box).SetCheck(static_cast<int>(BST_CHECKED));

  TakeCensus();
  UpdatePhantomStatus();

  imageJob.notifyWindow = nullptr;
  imageProgress.SetPos(0);
  BuildDriveList(driveList);
  speedJob.writeRate = 0;
  speedJob.readRate = 0;
  speedJob.errorCode = 0;
  speedJob.notifyWindow = nullptr;
  speedJob.blockSize = kSpeedBlockSize;
  speedProgress.SetPos(0);
  readWriteRadio.SetCheck(static_cast<int>(BST_CHECKED));
  fileTestRadio.SetCheck(static_cast<int>(BST_UNCHECKED));
  RefillDriveSelectors();

  updaterThread = nullptr;
  StartUpdateCheck();
  return 1;  // the focus goes to the first tab stop, Exit
}

void CTidewellDlg::TakeCensus() {
  ClearPhantomList(removalJob);
  bool stoppedEarly = false;
  RunPhantomCensus(removalJob, &stoppedEarly);
  if (stoppedEarly)
    AfxMessageBox(L"The phantom census stopped early: the registry time of a device could not be "
                  L"converted to a date. Only the phantoms found before it are counted.");
}

LRESULT CTidewellDlg::OnSysCommand(WPARAM command, LPARAM) {
  if ((command & 0xFFF0) == IDM_ABOUTBOX)
    OnAboutClicked();
  else
    LetPlatformHandle();
  return 0;
}

LRESULT CTidewellDlg::OnPaint(WPARAM, LPARAM) {
  if (!IsIconic()) {
    LetPlatformHandle();
    return 0;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  RECT rect{};
  GetClientRect(&rect);
  int x = (rect.right - rect.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (rect.bottom - rect.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  dc.DrawIcon(x, y, appIcon);
  return 0;
}

LRESULT CTidewellDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(appIcon); }

void CTidewellDlg::OnExitClicked() { OnOK(); }

void CTidewellDlg::OnMakerClicked() {
  const std::u16string address = ToU16(MakerAddress(L"/"));
  plat::SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = 0;
  info.hwnd = nullptr;
  info.lpVerb = u"open";
  info.lpFile = address.c_str();
  info.lpParameters = nullptr;
  info.lpDirectory = u"C:\\";
  info.nShow = plat::SW_SHOWNORMAL;
  plat::ShellExecuteExW(&info);  // a failure is not reported
}

void CTidewellDlg::ApplyAgeFilter() {
  int index = ageSelector.GetCurSel();
  std::intptr_t data = index == CB_ERR ? CB_ERR : static_cast<std::intptr_t>(ageSelector.GetItemData(index));
  ApplyAgeLimit(removalJob, AgeLimitOfItem(data));
  UpdatePhantomStatus();
}

CButton& CTidewellDlg::CategoryBox(int boxId) {
  switch (boxId) {
    case 1007: return diskDriveBox;
    case 1008: return volumeBox;
    case 1009: return usbBox;
    case 1011: return cdromBox;
    case 1013: return scsiAdapterBox;
    default: return volumeSnapshotBox;
  }
}

void CTidewellDlg::ApplyCategoryCheck(int boxId) {
  bool checked = CategoryBox(boxId).GetCheck() == static_cast<int>(BST_CHECKED);
  ApplyCategory(removalJob, *ClassOfBox(boxId), checked);
  UpdatePhantomStatus();
}

void CTidewellDlg::UpdatePhantomStatus() {
  detectedText.SetWindowText(Count(static_cast<std::uint32_t>(removalJob.records.size())) +
                             L" phantoms detected.");
  toRemoveText.SetWindowText(Count(CountSelected(removalJob)) + L" phantoms to remove.");
  for (const CategoryCaption& c : kCategoryCaptions)
    CategoryBox(c.boxId).SetWindowText(
        c.prefix + Count(CountSelectedInClass(removalJob, *ClassOfBox(c.boxId))));
}

void CTidewellDlg::OnCancel() {
  if (runningWorkers == 0) {
    CDialogEx::OnCancel();
    return;
  }
  closeRequested = true;
  if (removalIdle == 0) RequestAbort(removalJob);
  speedJob.stopRequested = true;  // read only while a test runs
  if (imageJob.notifyWindow) imageJob.stopRequested = true;
}

void CTidewellDlg::EndIfCloseRequested() {
  if (closeRequested && runningWorkers == 0) CDialogEx::OnCancel();
}

void CTidewellDlg::DisableJobControls() {
  ++runningWorkers;
  for (int id : kJobControls) backend::EnableWindow(GetDlgItem(id), false);
}

void CTidewellDlg::EnableJobControls() {
  if (runningWorkers > 0 && --runningWorkers > 0) return;
  for (int id : kJobControls) backend::EnableWindow(GetDlgItem(id), true);
}

bool CTidewellDlg::StartWorker(AFX_THREADPROC entry, void* job, CWinThread*& field,
                               plat::DWORD& error) {
  CWinThread* thread = AfxBeginThread(entry, job, THREAD_PRIORITY_NORMAL, 0, plat::CREATE_SUSPENDED);
  if (!thread) {
    error = plat::GetLastError();
    return false;
  }
  delete field;  // its end was handled before this tool could start again
  field = thread;
  thread->m_bAutoDelete = false;
  thread->ResumeThread();
  return true;
}

void CTidewellDlg::OnRemoveClicked() {
  if (removalIdle == 0) {
    RequestAbort(removalJob);
    return;
  }
  if (CountSelected(removalJob) == 0) {
    AfxMessageBox(L"No phantoms to remove.");
    return;
  }
  StartRemoval();
}

void CTidewellDlg::StartRemoval() {
  const std::wstring statusBefore = statusLine.GetWindowText();
  DisableJobControls();
  removeButton.SetWindowText(L"Abort");
  removalIdle = 0;
  statusLine.SetWindowText(L"Removing " + Count(CountSelected(removalJob)) + L" phantoms now!");
  statusLine.Invalidate(true);
  removalJob.notifyWindow = GetSafeHwnd();

  plat::DWORD error = 0;
  if (StartWorker(&RemovalThreadProc, &removalJob, removalThread, error)) return;

  removalJob.notifyWindow = nullptr;
  removeButton.SetWindowText(L"Remove");
  removalIdle = 1;
  statusLine.SetWindowText(statusBefore);
  statusLine.Invalidate(true);
  EnableJobControls();
  AfxMessageBox(L"The phantom removal could not be started.\n" + FromU16(plat::ErrorText(error)));
}

LRESULT CTidewellDlg::OnRemovalProgress(WPARAM remaining, LPARAM) {
  toRemoveText.SetWindowText(Count(static_cast<std::uint32_t>(remaining)) + L" phantoms to remove.");
  toRemoveText.Invalidate(true);
  return 0;
}

LRESULT CTidewellDlg::OnRemovalFinished(WPARAM, LPARAM) {
  plat::Sleep(1000);
  std::wstring result = L"Success!";
  if (removalJob.aborted == 1) {
    result = L"Aborted!";
  } else if (std::uint32_t failed = CountFailed(removalJob); failed > 0) {
    result = L"There were errors! " + Count(failed) + L" phantoms failed removal.";
  }
  statusLine.SetWindowText(result);
  statusLine.Invalidate(true);
  EnableJobControls();
  removeButton.SetWindowText(L"Remove");
  removalIdle = 1;

  TakeCensus();
  ApplyAgeFilter();
  for (int box : {1007, 1008, 1009, 1010, 1011, 1013}) ApplyCategoryCheck(box);
  UpdatePhantomStatus();
  EndIfCloseRequested();
  return 0;
}
