#include "deploy/FolderCopy.h"

#include <commctrl.h>

void StepProgress(HWND progress) {
  SendMessageA(progress, PBM_STEPIT, 0, 0);
  UpdateWindow(progress);
}

bool CopyPackageFiles(const CopyJob&) { return false; }
void CopyDrawingLibrary(const CopyJob&) {}
