// One complete installation behind the setup dialog's progress bar.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "deploy/FolderCopy.h"
#include "host/HostRegistry.h"

// CreateDirectoryA makes a folder only while its path leaves room below MAX_PATH for an 8.3 file
// name (12 characters): 248 with the NUL. Counted here in bytes of the ANSI code page, which are
// never fewer than the characters Windows counts.
constexpr std::size_t kLongestCreatableFolder = MAX_PATH - 12 - 1;
// The longest install folder, in bytes, that an installation completes whole: the longest folder
// it makes is "<install folder>\Quorel扩展绘图库". The module path registered as LOADER is
// shorter ("\Quorel2021.ZRX", 15 bytes), so it then fits its 260-byte buffer too.
constexpr std::size_t kLongestInstallFolder =
    kLongestCreatableFolder - (sizeof(kLibrarySubfolder) - 1);  // 230

// What the run needs of the setup dialog; the dialog implements it.
class InstallationDialog {
 public:
  // The install folder prepared by the Install command.
  virtual const std::string& DestinationPath() const = 0;
  virtual YearFlags SelectedYears() const = 0;
  virtual HWND ProgressBar() const = 0;
  // Shows the progress bar in the place of the destination row for the rest of the dialog.
  virtual void ShowProgressLayout() = 0;
  // The dialog's Cancel command: ends it with IDCANCEL.
  virtual void CancelDialog() = 0;

 protected:
  ~InstallationDialog() = default;
};

// True when the installation went through; false (dialog cancelled) when the package copy failed.
bool RunInstallation(InstallationDialog& dialog, HostRegistry& hosts);
