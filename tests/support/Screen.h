// What the screen shows of a window.
#pragma once

#include <windows.h>

#include <vector>

namespace testui {

// The pixels of a window's client area, row by row, as its device context shows them.
std::vector<COLORREF> Capture(HWND window);

}  // namespace testui
