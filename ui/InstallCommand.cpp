#include "deploy/DeployTexts.h"
#include "deploy/FolderWalk.h"
#include "deploy/InstallationRun.h"
#include "deploy/Layout.h"
#include "deploy/Seal.h"
#include "framework/ErrorReport.h"
#include "framework/Text.h"
#include "host/RunningHost.h"
#include "ui/Dlg_Setup.h"
#include "ui/DialogTexts.h"

namespace {

// Set at process start; cleared once the running-host warning has been shown.
bool theWarnOnce = true;

}  // namespace

void Dlg_Setup::OnInstall() {
  if (theWarnOnce && IsHostRunning()) {
    MessageBoxA(Handle(), kRunningHostText, kSetupCaption, MB_OK);
    theWarnOnce = false;
    return;
  }
  UpdateData(true);
  // A relative destination would install below the elevated process's current folder and
  // register a module path the host cannot resolve, and a device path ("\\?\GLOBALROOT...",
  // "\\.\...") names folders the checks on the way cannot follow: refuse them like an empty one.
  if (destinationPath.empty() || !mbcs::IsAbsolutePath(destinationPath))
    throw framework::HResultError(E_INVALIDARG);

  std::string chosen = destinationPath;
  mbcs::RemoveTrailingSeparator(chosen);
  const std::string product = Below(chosen, kProductSubfolder);
  // Refused before anything is made when any path the installation forms would not fit.
  if (!InstallationFits(product, selected))
    throw framework::HResultError(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));

  // A sealed installer installs what its vendor bundled, or nothing.
  std::string altered;
  if (!SealedPackageIntact(altered)) {
    ReportAlteredPackage(Handle(), altered);
    return;
  }

  // The host loads what is installed for every user: no link on the way and no folder another
  // user can change. This also makes the destination and product folders, closed to other users.
  // They stay held, so that none can be renamed or replaced, until the run has ended.
  const InstallFolders folders = SecureInstallFolders(product);
  if (!folders.Safe()) {
    MessageBoxA(Handle(),
                framework::FormatText(kUnsafeFolderFormat, folders.Refused().c_str()).c_str(),
                kSetupCaption, MB_OK | MB_ICONSTOP);
    return;
  }
  destinationPath = product;

  if (!RunInstallation(*this, theHostRegistry)) return;
  MessageBoxA(Handle(), kSuccessText, kSuccessCaption, MB_OK);
  OnOK();
}
