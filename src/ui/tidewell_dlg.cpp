#include "ui/tidewell_dlg.h"

#include <array>

#include "phantom/selection.h"
#include "res/resources.h"
#include "update/own_version.h"

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
    OnCommandWithId(1007, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1008, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1009, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1010, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1011, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
    OnCommandWithId(1013, BN_CLICKED, &CTidewellDlg::ApplyCategoryCheck),
};

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

CTidewellDlg::~CTidewellDlg() = default;

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

  std::wstring version;
  GetOwnVersionText(version);
  SetWindowText(L"Tidewell Version " + version);

  ageSelector.FillItems();
  ageSelector.SelectDefault();
  for (CButton* box : {&diskDriveBox, &volumeBox, &usbBox, &cdromBox, &scsiAdapterBox, &volumeSnapshotBox})
    box->SetCheck(static_cast<int>(BST_CHECKED));

  TakeCensus();
  UpdatePhantomStatus();

  imageProgress.SetPos(0);
  speedProgress.SetPos(0);
  readWriteRadio.SetCheck(static_cast<int>(BST_CHECKED));
  fileTestRadio.SetCheck(static_cast<int>(BST_UNCHECKED));
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
  // The About box joins the menu item when it is built; until then the item
  // does nothing.
  if ((command & 0xFFF0) != IDM_ABOUTBOX) LetPlatformHandle();
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
  const std::u16string address = ToU16(std::wstring(L"https://") + TIDEWELL_MAKER_HOST + L"/");
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

void CTidewellDlg::ApplyCategoryCheck(int boxId) {
  CButton box;
  box.Attach(GetDlgItem(boxId));
  ApplyCategory(removalJob, *ClassOfBox(boxId), box.GetCheck() == static_cast<int>(BST_CHECKED));
  UpdatePhantomStatus();
}

void CTidewellDlg::UpdatePhantomStatus() {
  detectedText.SetWindowText(Count(static_cast<std::uint32_t>(removalJob.records.size())) +
                             L" phantoms detected.");
  toRemoveText.SetWindowText(Count(CountSelected(removalJob)) + L" phantoms to remove.");
  for (const CategoryCaption& c : kCategoryCaptions) {
    CWnd box;
    box.Attach(GetDlgItem(c.boxId));
    box.SetWindowText(c.prefix + Count(CountSelectedInClass(removalJob, *ClassOfBox(c.boxId))));
  }
}
