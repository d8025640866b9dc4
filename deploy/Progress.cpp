#include "deploy/Progress.h"

#include <commctrl.h>

namespace {

constexpr DWORD kFrameMs = 15;
// The run's state, and the procedure to pass messages on to, on the bar itself: the second stays
// when another procedure was put in front of ours meanwhile and ours cannot be taken out.
const char kStateProperty[] = "Zantrel.Progress";
const char kNextProperty[] = "Zantrel.Progress.Next";

}  // namespace

Progress::Progress(HWND bar) : bar(bar) {
  if (!IsWindow(bar)) return;
  previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(bar, GWLP_WNDPROC));
  SetPropA(bar, kStateProperty, this);
  SetPropA(bar, kNextProperty, reinterpret_cast<HANDLE>(previous));
  SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
}

Progress::~Progress() {
  if (!previous || !IsWindow(bar)) return;
  Draw();
  RemovePropA(bar, kStateProperty);
  if (GetWindowLongPtrA(bar, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure)) {
    SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropA(bar, kNextProperty);
  }
}

void Progress::Start(int last) {
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, last));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  SendMessageA(bar, PBM_SETPOS, 0, 0);
}

void Progress::Step() {
  const bool withinFrame = GetTickCount() - lastDrawn < kFrameMs;
  holding = withinFrame;
  SendMessageA(bar, PBM_STEPIT, 0, 0);
  holding = false;
  if (withinFrame) return;
  // A step repaints only what it changed, and the run blocks the UI thread: what earlier steps
  // held back is drawn whole, and the rest at once.
  if (pending) {
    Draw();
    return;
  }
  UpdateWindow(bar);
  lastDrawn = GetTickCount();
}

void Progress::Finish(int position) {
  SendMessageA(bar, PBM_SETPOS, position, 0);
  Draw();
}

void Progress::Draw() {
  if (!pending) return;
  pending = false;
  InvalidateRect(bar, nullptr, TRUE);
  UpdateWindow(bar);
  lastDrawn = GetTickCount();
}

LRESULT CALLBACK Progress::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* progress = static_cast<Progress*>(GetPropA(window, kStateProperty));
  if (progress && progress->holding && message == WM_PAINT) {
    ValidateRect(window, nullptr);
    progress->pending = true;
    return 0;
  }
  auto next = reinterpret_cast<WNDPROC>(GetPropA(window, kNextProperty));
  return next ? CallWindowProcA(next, window, message, wParam, lParam)
              : DefWindowProcA(window, message, wParam, lParam);
}
