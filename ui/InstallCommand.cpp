#include "deploy/DeployTexts.h"
#include "deploy/InstallationRun.h"
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
  // register a module path the host cannot resolve: refuse it like an empty one.
  if (destinationPath.empty() || !mbcs::IsAbsolutePath(destinationPath))
    throw framework::HResultError(E_INVALIDARG);

  mbcs::RemoveTrailingBackslash(destinationPath);
  CreateDirectoryA(destinationPath.c_str(), nullptr);
  destinationPath += "\\Zantrel";
  CreateDirectoryA(destinationPath.c_str(), nullptr);

  if (!RunInstallation(*this, theHostRegistry)) return;
  MessageBoxA(Handle(), kSuccessText, kSuccessCaption, MB_OK);
  OnOK();
}
