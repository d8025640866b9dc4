// The installer's one window: host years, destination path, Install and Cancel.
#pragma once

#include <string>

#include "deploy/InstallationRun.h"
#include "framework/Dialog.h"
#include "host/HostRegistry.h"
#include "res/version.h"

class Dlg_Setup : public framework::CModalDialog, public InstallationDialog {
 public:
  Dlg_Setup();
  ~Dlg_Setup() override;

  // Enables Install while at least one host year is ticked.
  void UpdateInstallButton();
  // Browse: lets the user pick the destination folder.
  void OnBrowse();
  // Install: the whole installation, then the success message and OK.
  void OnInstall();

  void OnOK() override;
  void OnCancel() override;

  // What the installation run reads.
  const std::string& DestinationPath() const override { return destinationPath; }
  YearFlags SelectedYears() const override { return selected; }
  HWND ProgressBar() const override { return progressControl.Handle(); }
  void ShowProgressLayout() override;
  void CancelDialog() override { OnCancel(); }

  // Members, in the order the data exchange handles them.
  HBRUSH backgroundBrush = nullptr;
  // Check boxes of host years 2027, 2026, ..., 2021.
  framework::CWindow yearBoxes[kHostYearCount];
  // Selection flags of host years 2021 ... 2027: 1 chosen, 0 not.
  YearFlags selected = {1, 1, 1, 1, 1, 1, 1};
  std::string titleText;
  std::string editionText;
  framework::CWindow progressControl;
  std::string destinationPath = "C:\\Quorel";

 protected:
  bool OnCommand(int id, int code) override;
  void DoDataExchange(framework::CDataExchange& dx) override;
  bool OnInitDialog() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  // The two label fonts, made once per dialog and given to the labels.
  HFONT titleFont = nullptr;
  HFONT editionFont = nullptr;
};

// The version shown in the title, packed as YYYYMMDD (from the file VERSION).
constexpr int kVersionNumber = SETUP_VERSION_NUMBER;
// "Zantrel软件 V2026.08.05" from a packed version number.
std::string TitleFromVersion(int version);
