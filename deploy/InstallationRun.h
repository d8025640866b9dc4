// One complete installation behind the setup dialog's progress bar.
#pragma once

#include <windows.h>

#include <string>

#include "deploy/FolderCopy.h"
#include "host/HostRegistry.h"

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

// Whether an installation into `productFolder` for the chosen years forms only paths that fit:
// the product folder within kLongestInstallFolder, every file the copies will write within the
// path buffer, and each registered module path whole. Windows would not make a longer
// library folder, copy a file to a longer path or let the host load from one, and the user would
// be told that the plug-in was installed.
bool InstallationFits(const std::string& productFolder, const YearFlags& years);

// True when the installation went through; false (dialog cancelled) when the package copy failed.
bool RunInstallation(InstallationDialog& dialog, HostRegistry& hosts);
