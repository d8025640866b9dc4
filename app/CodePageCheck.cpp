#include "app/CodePageCheck.h"

#include <windows.h>

bool CheckProcessCodePage() {
  if (GetACP() == kInstallerCodePage) return true;
  MessageBoxW(nullptr, kCodePageText, kCodePageCaption, MB_OK | MB_ICONSTOP);
  return false;
}
