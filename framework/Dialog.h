// Modal dialog base: a dialog template run modally, message dispatch by control and notification,
// WM_CTLCOLOR routing, data exchange between members and controls, and the OK / Cancel commands.
#pragma once

#include <string>

#include "framework/Window.h"

namespace framework {

// One direction of data exchange: members to controls, or control values to members (saving).
class CDataExchange {
 public:
  CDataExchange(HWND dialog, bool saving) : dialog(dialog), saving(saving) {}
  HWND Dialog() const { return dialog; }
  bool Saving() const { return saving; }

 private:
  HWND dialog;
  bool saving;
};

// Binds a control object to its control (only while it is unbound).
void DDX_Control(CDataExchange& dx, int id, CWindow& control);
// Check box state <-> 1 (ticked) / 0 (not ticked).
void DDX_Check(CDataExchange& dx, int id, int& value);
// Window text <-> string.
void DDX_Text(CDataExchange& dx, int id, std::string& value);

class CDialog : public CWindow {
 public:
  virtual ~CDialog() = default;

  // Copies members to controls (false) or control values to members (true).
  bool UpdateData(bool saving);
  // Ends the modal run with a result.
  void End(INT_PTR result);

  virtual void OnOK();
  virtual void OnCancel();

 protected:
  // Message-table lookup for WM_COMMAND; returns whether a handler ran.
  virtual bool OnCommand(int id, int code);
  virtual void DoDataExchange(CDataExchange& dx);
  // WM_INITDIALOG; the default copies members to controls. Returns whether the dialog manager
  // should set the default focus.
  virtual bool OnInitDialog();
  // WM_CTLCOLOR...: the brush to paint with, or nullptr for the default.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void CenterInWorkArea() const;
};

class CModalDialog : public CDialog {
 public:
  CModalDialog(int templateId, HWND owner) : templateId(templateId), owner(owner) {}

  // 1 (OK), 2 (Cancel), or -1 when the dialog cannot be created.
  INT_PTR DoModal();

  // The window of the innermost modal dialog now running on this thread, or nullptr.
  static HWND RunningWindow();

 private:
  int templateId;
  HWND owner;
};

}  // namespace framework
