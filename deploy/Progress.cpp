#include "deploy/Progress.h"

#include <commctrl.h>

namespace {

constexpr DWORD kFrameMs = 15;

}  // namespace

Progress::Progress(HWND bar) : bar(bar) {
  // The run's state rides on the bar's user data, read without a trip to the window server (a
  // window property would cost one for every message the bar gets).
  if (!IsWindow(bar) || GetWindowLongPtrA(bar, GWLP_USERDATA) != 0) return;
  previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(bar, GWLP_WNDPROC));
  SetWindowLongPtrA(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
}

Progress::~Progress() {
  if (!previous || !IsWindow(bar)) return;
  // Whatever was held back is still marked for drawing; it is drawn now.
  UpdateWindow(bar);
  if (GetWindowLongPtrA(bar, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure)) {
    SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    SetWindowLongPtrA(bar, GWLP_USERDATA, 0);
  }
}

void Progress::Start(int last) {
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, last));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  SendMessageA(bar, PBM_SETPOS, 0, 0);
}

void Progress::Step() {
  holding = GetTickCount() - lastDrawn < kFrameMs;
  SendMessageA(bar, PBM_STEPIT, 0, 0);
  if (holding) {
    holding = false;
    return;
  }
  // The run blocks the UI thread: the bar is drawn now, with what earlier steps held back.
  Draw();
}

void Progress::Finish(int position) {
  SendMessageA(bar, PBM_SETPOS, position, 0);
  Draw();
}

void Progress::Draw() {
  UpdateWindow(bar);
  lastDrawn = GetTickCount();
}

LRESULT CALLBACK Progress::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* progress = reinterpret_cast<Progress*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!progress) return DefWindowProcA(window, message, wParam, lParam);
  // Left unpainted, the changed part stays marked: the next drawing shows every step since.
  if (message == WM_PAINT && progress->holding) return 0;
  return CallWindowProcA(progress->previous, window, message, wParam, lParam);
}
