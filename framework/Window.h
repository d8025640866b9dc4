// A thin wrapper around a window handle; it owns nothing.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

class CWindow {
 public:
  CWindow() = default;
  explicit CWindow(HWND window) : hwnd(window) {}

  HWND Handle() const { return hwnd; }
  explicit operator bool() const { return hwnd != nullptr; }
  void Attach(HWND window) { hwnd = window; }

  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageA(hwnd, message, wParam, lParam);
  }
  bool Enable(bool enable) const { return EnableWindow(hwnd, enable ? TRUE : FALSE) != FALSE; }
  bool IsEnabled() const { return IsWindowEnabled(hwnd) != FALSE; }
  bool Show(int command) const { return ShowWindow(hwnd, command) != FALSE; }
  HWND Item(int id) const { return GetDlgItem(hwnd, id); }

  std::string Text() const;
  void SetText(const std::string& text) const { SetWindowTextA(hwnd, text.c_str()); }

 protected:
  HWND hwnd = nullptr;
};

// The window that owns a message box of the installer: the thread's active window, else the
// modal dialog that is running, so that the dialog is disabled while the box is open.
HWND MessageOwner();

}  // namespace framework
