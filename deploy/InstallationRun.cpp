#include "deploy/InstallationRun.h"

#include <commctrl.h>

#include "deploy/FolderCopy.h"
#include "deploy/Fonts.h"
#include "deploy/Layout.h"
#include "framework/Text.h"
#include "host/Registration.h"

bool InstallationFits(const std::string& productFolder, const YearFlags& years) {
  if (productFolder.size() > kLongestInstallFolder || !CopiedPathsFit(productFolder)) return false;
  for (int year = 0; year < kHostYearCount; ++year) {
    if (years[year] != 0 && Loader(productFolder, kFirstHostYear + year).empty()) return false;
  }
  return true;
}

bool RunInstallation(InstallationDialog& dialog, HostRegistry& hosts) {
  dialog.ShowProgressLayout();
  HWND progress = dialog.ProgressBar();
  SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 50));
  SendMessageA(progress, PBM_SETSTEP, 1, 0);
  SendMessageA(progress, PBM_SETPOS, 0, 0);

  std::string folder = dialog.DestinationPath();
  mbcs::RemoveTrailingSeparator(folder);
  const CopyJob job{folder, progress};
  if (!CopyPackageFiles(job)) {
    dialog.CancelDialog();
    return false;
  }
  CopyDrawingLibrary(job);
  StepProgress(progress);

  hosts.installFolder = folder;
  const YearFlags years = dialog.SelectedYears();
  RegisterPlugin(hosts, years);
  StepProgress(progress);
  InstallFonts(hosts, years);
  StepProgress(progress);

  SendMessageA(progress, PBM_SETPOS, 50, 0);
  UpdateWindow(progress);
  return true;
}
