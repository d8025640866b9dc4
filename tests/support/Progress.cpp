#include "tests/support/Progress.h"

#include <commctrl.h>

namespace testui {
namespace {

const char kSpyProperty[] = "testui.MessageSpy";

}  // namespace

ProgressWindow::ProgressWindow()
    : frame(CreateWindowExA(0, "STATIC", "setup", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 100,
                            nullptr, nullptr, nullptr, nullptr)),
      bar(CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, frame,
                          nullptr, nullptr, nullptr)) {
  SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
}

ProgressWindow::~ProgressWindow() {
  DestroyWindow(frame);
}

int ProgressWindow::Steps() const {
  return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
}

void ProgressWindow::Reset() const {
  SendMessageA(bar, PBM_SETPOS, 0, 0);
}

void MessageSpy::Attach(HWND spied, Watcher newWatcher) {
  window = spied;
  watcher = std::move(newWatcher);
  // Everything in place before the first message can arrive on the window's thread.
  previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
  SetPropA(window, kSpyProperty, this);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
}

MessageSpy::~MessageSpy() {
  if (!window || !IsWindow(window)) return;
  if (GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure))
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  RemovePropA(window, kSpyProperty);
}

LRESULT CALLBACK MessageSpy::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* spy = static_cast<MessageSpy*>(GetPropA(window, kSpyProperty));
  if (!spy) return DefWindowProcA(window, message, wParam, lParam);
  spy->watcher(message, wParam, lParam);
  return CallWindowProcA(spy->previous, window, message, wParam, lParam);
}

void ProgressCounter::Attach(HWND bar) {
  spy.Attach(bar, [this](UINT message, WPARAM wParam, LPARAM) {
    if (message == PBM_STEPIT) ++steps;
    if (message == PBM_SETPOS) lastPosition = static_cast<int>(wParam);
  });
}

}  // namespace testui
