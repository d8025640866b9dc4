#include "ui/FolderPicker.h"

#include <objbase.h>
#include <shlobj.h>

#include "ui/Dlg_Setup.h"
#include "ui/DialogTexts.h"

namespace {

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM lastChosen) {
  if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, lastChosen);
  return 0;
}

}  // namespace

bool PickFolder(HWND owner, std::string title, std::string& path) {
  if (!path.empty()) theLastChosenFolder = path;

  char displayName[MAX_PATH] = {};
  BROWSEINFOA request{};
  request.hwndOwner = owner;
  request.pidlRoot = nullptr;
  request.pszDisplayName = displayName;
  request.lpszTitle = title.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
  request.lpfn = BrowseCallback;
  request.lParam = reinterpret_cast<LPARAM>(theLastChosenFolder.c_str());
  request.iImage = 0;

  // The new dialog style needs a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool chosen = false;
  if (LPITEMIDLIST items = SHBrowseForFolderA(&request)) {
    if (SHGetPathFromIDListA(items, displayName)) {
      path = displayName;
      theLastChosenFolder = path;
      chosen = true;
    }
    CoTaskMemFree(items);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

void Dlg_Setup::OnBrowse() {
  UpdateData(true);
  if (PickFolder(Handle(), kBrowseTitle, destinationPath)) UpdateData(false);
  UpdateInstallButton();
}
