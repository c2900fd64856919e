// "Update Notification": offers the download package; OK or Cancel only.
#pragma once

#include "framework/framework.h"
#include "res/resources.h"

class CUpdateProductDlg : public fw::CDialog {
 public:
  CUpdateProductDlg() : fw::CDialog(res::IDD_UPDATE_NOTIFICATION) {}
};
