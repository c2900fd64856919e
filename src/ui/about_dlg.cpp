#include "ui/about_dlg.h"

#include "platform/platform.h"
#include "res/resources.h"
#include "update/version_check.h"

using namespace fw;

namespace {

using Entry = MessageEntry<CAboutDlg>;

constexpr Entry kMessageMap[] = {
    OnCommandWithId(1002, BN_CLICKED, &CAboutDlg::OnProductClicked),
    OnCommandWithId(1004, BN_CLICKED, &CAboutDlg::OnProductClicked),
    OnCommandWithId(1005, BN_CLICKED, &CAboutDlg::OnProductClicked),
    OnCommandWithId(1014, BN_CLICKED, &CAboutDlg::OnProductClicked),
};

struct ProductPage {
  int buttonId;
  const wchar_t* path;
};
constexpr ProductPage kProductPages[] = {
    {1002, L"/products/tidemark.htm"},
    {1004, L"/products/breakwater.htm"},
    {1005, L"/products/undertow.htm"},
    {1014, L"/products/harborlog.htm"},
};

constexpr std::uint8_t kSwissDefaultPitch = 0x20;  // FF_SWISS | DEFAULT_PITCH

void MakeFont(CFont& font, int height, int weight) {
  font.CreateFont(height, 0, 0, 0, weight, 0, 0, 0, 0 /*ANSI_CHARSET*/, 0 /*OUT_DEFAULT_PRECIS*/,
                  0 /*CLIP_DEFAULT_PRECIS*/, 0 /*DEFAULT_QUALITY*/, kSwissDefaultPitch,
                  L"MS Shell Dlg");
}

}  // namespace

std::wstring ProductPageAddress(int buttonId) {
  for (const ProductPage& p : kProductPages)
    if (p.buttonId == buttonId) return MakerAddress(p.path);
  return {};
}

CAboutDlg::CAboutDlg() : CDialogEx(res::IDD_ABOUTBOX) {}

// The fonts go with their objects, after the window that used them.
CAboutDlg::~CAboutDlg() = default;

bool CAboutDlg::OnMessageTable(UINT m, WPARAM w, LPARAM l, LRESULT& result) {
  return DispatchMessageTable<CAboutDlg>(*this, kMessageMap, m, w, l, result);
}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, 1021, nameText);
  DDX_Control(dx, 1023, versionLine);
  DDX_Control(dx, 1022, noticeText);
  DDX_Control(dx, 1024, introText);
}

BOOL CAboutDlg::OnInitDialog() {
  const std::wstring line = L"Version " + versionText;
  CDialogEx::OnInitDialog();
  MakeFont(nameFont, 32, 700);
  MakeFont(versionFont, 21, 700);
  MakeFont(noticeFont, 18, 700);
  MakeFont(introFont, 16, 400);
  nameText.SetFont(&nameFont, true);
  versionLine.SetFont(&versionFont, true);
  noticeText.SetFont(&noticeFont, true);
  introText.SetFont(&introFont, true);
  versionLine.SetWindowText(line);
  return 1;
}

void CAboutDlg::OnProductClicked(int buttonId) {
  const std::u16string address = ToU16(ProductPageAddress(buttonId));
  plat::ShellExecuteW(GetSafeHwnd(), u"open", address.c_str(), nullptr, nullptr,
                      plat::SW_SHOWNORMAL);  // the result is not examined
}

CDiskImageHelpDlg::CDiskImageHelpDlg() : CDialog(res::IDD_SHORT_IMAGE_HELP) {}

CDiskSpeedHelp::CDiskSpeedHelp() : CDialog(res::IDD_DISK_SPEED_HELP) {}
