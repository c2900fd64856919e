// The About box and the two help dialogs behind the "What's this?" links.
#pragma once

#include <string>

#include "framework/framework.h"

class CAboutDlg : public fw::CDialogEx {
 public:
  CAboutDlg();
  ~CAboutDlg() override;

  fw::BOOL OnInitDialog() override;
  void OnProductClicked(int buttonId);

  std::wstring versionText;  // filled by the opener; empty when unknown

 protected:
  void DoDataExchange(fw::CDataExchange* dx) override;
  bool OnMessageTable(fw::UINT m, fw::WPARAM w, fw::LPARAM l, fw::LRESULT& result) override;

 private:
  fw::CStatic nameText;     // 1021
  fw::CStatic versionLine;  // 1023
  fw::CStatic noticeText;   // 1022
  fw::CStatic introText;    // 1024
  fw::CFont nameFont;
  fw::CFont versionFont;
  fw::CFont noticeFont;
  fw::CFont introFont;
};

// The address of the page behind a product button of the About box; empty
// for any other id.
std::wstring ProductPageAddress(int buttonId);

class CDiskImageHelpDlg : public fw::CDialog {
 public:
  CDiskImageHelpDlg();
};

class CDiskSpeedHelp : public fw::CDialog {
 public:
  CDiskSpeedHelp();
};
