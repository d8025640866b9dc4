#include "app/WizardApp.h"

#include "host/HostRegistry.h"
#include "res/resource.h"
#include "ui/Dlg_Setup.h"
#include "ui/FolderPicker.h"

// The process-wide objects, constructed in this order and destroyed in reverse.
std::string theLastChosenFolder;
CWizardApp theApp;
HostRegistry theHostRegistry;

CWizardApp::~CWizardApp() = default;

const framework::CApplication::Command* CWizardApp::Commands(std::size_t& count) const {
  static const Command table[] = {{ID_HELP_COMMAND, &CApplication::OnHelp}};
  count = sizeof(table) / sizeof(table[0]);
  return table;
}

bool CWizardApp::InitInstance() {
  // Discovery runs before any window: the dialog's initialisation reads the per-year counts.
  theHostRegistry.DiscoverHosts();
  {
    Dlg_Setup dialog;
    dialog.DoModal();
  }
  return false;
}
