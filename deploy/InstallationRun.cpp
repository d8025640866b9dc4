#include "deploy/InstallationRun.h"

#include "deploy/FolderCopy.h"
#include "deploy/Fonts.h"
#include "deploy/Layout.h"
#include "framework/Text.h"
#include "host/Registration.h"

namespace {

// The bar runs 0..50 whatever the number of files (long copies fill it and start over).
constexpr int kLastPosition = 50;

}  // namespace

bool InstallationFits(const std::string& productFolder, const YearFlags& years) {
  if (productFolder.size() > kLongestInstallFolder || !CopiedPathsFit(productFolder)) return false;
  for (int year = 0; year < kHostYearCount; ++year) {
    if (years[year] != 0 && Loader(productFolder, kFirstHostYear + year).empty()) return false;
  }
  return true;
}

bool RunInstallation(InstallationDialog& dialog, HostRegistry& hosts) {
  dialog.ShowProgressLayout();
  Progress progress(dialog.ProgressBar());
  progress.Start(kLastPosition);

  std::string folder = dialog.DestinationPath();
  mbcs::RemoveTrailingSeparator(folder);
  const CopyJob job{folder, progress};
  if (!CopyPackageFiles(job) || !CopyDrawingLibrary(job)) {
    dialog.CancelDialog();
    return false;
  }
  progress.Step();

  hosts.installFolder = folder;
  const YearFlags years = dialog.SelectedYears();
  RegisterPlugin(hosts, years);
  progress.Step();
  // The fonts come last; one that a sealed installer refuses ends the run like a refused copy.
  if (!InstallFonts(hosts, years)) {
    dialog.CancelDialog();
    return false;
  }
  progress.Step();

  progress.Finish(kLastPosition);
  return true;
}
