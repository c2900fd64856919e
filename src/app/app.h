// The application object: single instance, start-up and the modal main dialog.
#pragma once

#include "framework/framework.h"

class CTidewellApp : public fw::CWinApp {
 public:
  // Always false: the program ends when the main dialog has closed.
  fw::BOOL InitInstance() override;
};

extern CTidewellApp theApp;
