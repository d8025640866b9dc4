#include "tests/support/Screen.h"

namespace testui {

std::vector<COLORREF> Capture(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, rect.right, rect.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, rect.right, rect.bottom, source, 0, 0, SRCCOPY);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < rect.bottom; ++y)
    for (int x = 0; x < rect.right; ++x) pixels.push_back(GetPixel(memory, x, y));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  return pixels;
}

}  // namespace testui
