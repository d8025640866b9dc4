#include "framework/Dialog.h"

#include <algorithm>
#include <vector>

#include "framework/Application.h"
#include "framework/ErrorReport.h"

namespace framework {
namespace {

// Modal dialogs running on the UI thread, innermost last.
std::vector<HWND>& RunningDialogs() {
  static std::vector<HWND> windows;
  return windows;
}

}  // namespace

void DDX_Control(CDataExchange& dx, int id, CWindow& control) {
  if (!control) control.Attach(GetDlgItem(dx.Dialog(), id));
}

void DDX_Check(CDataExchange& dx, int id, int& value) {
  if (dx.Saving()) {
    value = static_cast<int>(SendDlgItemMessageA(dx.Dialog(), id, BM_GETCHECK, 0, 0));
  } else {
    SendDlgItemMessageA(dx.Dialog(), id, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void DDX_Text(CDataExchange& dx, int id, std::string& value) {
  CWindow control(GetDlgItem(dx.Dialog(), id));
  if (dx.Saving()) {
    value = control.Text();
  } else {
    control.SetText(value);
  }
}

bool CDialog::UpdateData(bool saving) {
  if (!hwnd) return false;
  CDataExchange dx(hwnd, saving);
  DoDataExchange(dx);
  return true;
}

void CDialog::End(INT_PTR result) {
  EndDialog(hwnd, result);
}

void CDialog::OnOK() {
  if (UpdateData(true)) End(IDOK);
}

void CDialog::OnCancel() {
  End(IDCANCEL);
}

bool CDialog::OnCommand(int, int) {
  return false;
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::OnInitDialog() {
  if (!UpdateData(false)) End(-1);
  return true;
}

HBRUSH CDialog::OnCtlColor(HDC, HWND, UINT) {
  return nullptr;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->hwnd = window;
    SetWindowLongPtrA(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!self) return FALSE;
  // No C++ exception may unwind through the dialog manager's frames: report it here and abandon
  // the command; the dialog stays open. A dialog that cannot start ends with -1.
  try {
    if (message == WM_INITDIALOG) RunningDialogs().push_back(window);
    return self->Dispatch(message, wParam, lParam);
  } catch (...) {
    ReportCurrentException();
    if (message == WM_INITDIALOG) self->End(-1);
    // Handled for a command; for any other message TRUE would be read as its result (a
    // WM_CTLCOLOR... message would take it for a brush), so the dialog manager's default runs.
    return message == WM_INITDIALOG || message == WM_COMMAND ? TRUE : FALSE;
  }
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const bool focus = OnInitDialog();
      CenterInWorkArea();
      return focus ? TRUE : FALSE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (OnCommand(id, code)) return TRUE;
      if (id == IDOK) {
        OnOK();
        return TRUE;
      }
      if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
      if (CApplication* app = CApplication::Current()) return app->RouteCommand(id) ? TRUE : FALSE;
      return FALSE;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
    default:
      return FALSE;
  }
}

// The dialog manager leaves a template at (0,0) without DS_CENTER where it is: centre it over its
// owner, or in the work area of the primary monitor, and keep it inside that work area.
void CDialog::CenterInWorkArea() const {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT area = work;
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &area);
  RECT self{};
  GetWindowRect(hwnd, &self);
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  LONG x = (area.left + area.right - width) / 2;
  LONG y = (area.top + area.bottom - height) / 2;
  x = std::max(work.left, std::min(x, work.right - width));
  y = std::max(work.top, std::min(y, work.bottom - height));
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CModalDialog::DoModal() {
  // DialogProc reads the pointer back as a CDialog*: it goes through the integer as one.
  const INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, DialogProc,
                      reinterpret_cast<LPARAM>(static_cast<CDialog*>(this)));
  auto& running = RunningDialogs();
  running.erase(std::remove(running.begin(), running.end(), hwnd), running.end());
  hwnd = nullptr;
  return result;
}

HWND CModalDialog::RunningWindow() {
  const auto& running = RunningDialogs();
  return running.empty() ? nullptr : running.back();
}

}  // namespace framework
