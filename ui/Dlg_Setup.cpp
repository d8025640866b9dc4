#include "ui/Dlg_Setup.h"

#include "framework/Text.h"
#include "res/resource.h"
#include "ui/DialogTexts.h"

namespace {

const COLORREF kBackground = RGB(160, 180, 220);
const COLORREF kLabelText = RGB(10, 70, 40);

// The face name in UTF-16: GDI reads a narrow one in the system's code page, which need not be
// the process's.
HFONT MakeLabelFont(int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"宋体");
}

int YearBoxId(int index) {
  return IDC_YEAR_2021 + index;
}

}  // namespace

std::string TitleFromVersion(int version) {
  const int major = version / 10000;
  const int minor = (version - major * 10000) / 100;
  const int patch = version - (major * 100 + minor) * 100;
  const std::string head = minor > 9 ? framework::FormatText("Zantrel软件 V%d.%d", major, minor)
                                     : framework::FormatText("Zantrel软件 V%d.0%d", major, minor);
  return patch > 9 ? framework::FormatText("%s.%d", head.c_str(), patch)
                   : framework::FormatText("%s.0%d", head.c_str(), patch);
}

Dlg_Setup::Dlg_Setup() : CModalDialog(IDD_SETUP, nullptr) {}

Dlg_Setup::~Dlg_Setup() {
  if (backgroundBrush) DeleteObject(backgroundBrush);
  if (titleFont) DeleteObject(titleFont);
  if (editionFont) DeleteObject(editionFont);
}

void Dlg_Setup::OnOK() {
  CModalDialog::OnOK();
}
void Dlg_Setup::OnCancel() {
  CModalDialog::OnCancel();
}

bool Dlg_Setup::OnCommand(int id, int code) {
  static const struct {
    int id;
    int code;
    void (Dlg_Setup::*handler)();
  } table[] = {
      {IDC_YEAR_2021, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_YEAR_2022, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_YEAR_2023, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_YEAR_2024, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_YEAR_2025, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_YEAR_2026, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_YEAR_2027, BN_CLICKED, &Dlg_Setup::UpdateInstallButton},
      {IDC_BROWSE, BN_CLICKED, &Dlg_Setup::OnBrowse},
      {IDC_INSTALL, BN_CLICKED, &Dlg_Setup::OnInstall},
  };
  for (const auto& entry : table) {
    if (entry.id == id && entry.code == code) {
      (this->*entry.handler)();
      return true;
    }
  }
  return false;
}

void Dlg_Setup::DoDataExchange(framework::CDataExchange& dx) {
  for (int box = 0; box < kHostYearCount; ++box)
    framework::DDX_Control(dx, IDC_YEAR_2027 - box, yearBoxes[box]);
  for (int year = 0; year < kHostYearCount; ++year)
    framework::DDX_Check(dx, YearBoxId(year), selected[year]);
  framework::DDX_Text(dx, IDC_TITLE, titleText);
  framework::DDX_Text(dx, IDC_EDITION, editionText);
  framework::DDX_Control(dx, IDC_PROGRESS, progressControl);
  framework::DDX_Text(dx, IDC_PATH, destinationPath);
}

bool Dlg_Setup::OnInitDialog() {
  CModalDialog::OnInitDialog();
  backgroundBrush = CreateSolidBrush(kBackground);

  // The labels draw with their own font (a font selected while colouring is not used by every
  // platform's static control), so give it to them once.
  titleFont = MakeLabelFont(14, 600);
  editionFont = MakeLabelFont(13, 400);
  SendDlgItemMessageA(Handle(), IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), TRUE);
  SendDlgItemMessageA(Handle(), IDC_EDITION, WM_SETFONT, reinterpret_cast<WPARAM>(editionFont),
                      TRUE);
  titleText = TitleFromVersion(kVersionNumber);
  editionText = kEditionText;

  if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP)))
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  for (int year = 0; year < kHostYearCount; ++year) {
    if (theHostRegistry.locations[year].empty()) {
      yearBoxes[kHostYearCount - 1 - year].Enable(false);
      selected[year] = 0;
    }
  }
  UpdateData(false);

  UpdateInstallButton();
  return true;
}

HBRUSH Dlg_Setup::OnCtlColor(HDC dc, HWND control, UINT message) {
  // The default colours first; its brush is not used.
  DefWindowProcA(Handle(), message, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
  const int id = GetDlgCtrlID(control);
  SetTextColor(dc, RGB(0, 0, 0));
  if (id != IDC_PATH) SetBkMode(dc, TRANSPARENT);
  if (id == IDC_TITLE || id == IDC_EDITION) {
    SelectObject(dc, id == IDC_TITLE ? titleFont : editionFont);
    SetTextColor(dc, kLabelText);
  }
  return backgroundBrush;
}

void Dlg_Setup::ShowProgressLayout() {
  for (int id : {IDC_PATH_CAPTION, IDC_PATH, IDC_BROWSE}) ShowWindow(Item(id), SW_HIDE);
  progressControl.Show(SW_SHOWNORMAL);
}

void Dlg_Setup::UpdateInstallButton() {
  UpdateData(true);
  bool any = false;
  for (int flag : selected) any = any || flag != 0;
  EnableWindow(Item(IDC_INSTALL), any ? TRUE : FALSE);
}
