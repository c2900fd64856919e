// The Windows entry point. Start-up itself lives in the application object.
#include "app/app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  theApp.InitInstance();
  return 0;
}
