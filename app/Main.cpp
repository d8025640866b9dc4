#include <windows.h>

#include "app/WizardApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return framework::RunApplication();
}
