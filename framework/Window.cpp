#include "framework/Window.h"

#include <vector>

#include "framework/Dialog.h"

namespace framework {

std::string CWindow::Text() const {
  const int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(hwnd, buffer.data(), length + 1);
  return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

HWND MessageOwner() {
  if (HWND active = GetActiveWindow()) return active;
  return CModalDialog::RunningWindow();
}

}  // namespace framework
