// Progress bars as the installation run drives them: a real one to hand to the copies, and
// counters of what the dialog's own bar and window receive.
#pragma once

#include <windows.h>

#include "deploy/Progress.h"

#include <atomic>
#include <functional>

namespace testui {

// A real progress bar in a real top-level window, with a range long enough to count every step
// of the copies by its position.
class ProgressWindow {
 public:
  ProgressWindow();
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  HWND Frame() const { return frame; }
  HWND Bar() const { return bar; }
  // The bar as an installation run steps it, for the copies' CopyJob.
  Progress& Run() const { return run; }
  int Steps() const;
  void Reset() const;

 private:
  HWND frame;
  HWND bar;
  mutable Progress run{bar};
};

// Sees every message a window receives (on the window's own thread) until destroyed, by
// replacing the window's procedure; may be attached from another thread.
class MessageSpy {
 public:
  using Watcher = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;
  MessageSpy() = default;
  ~MessageSpy();
  MessageSpy(const MessageSpy&) = delete;
  MessageSpy& operator=(const MessageSpy&) = delete;
  void Attach(HWND window, Watcher watcher);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window = nullptr;
  WNDPROC previous = nullptr;
  Watcher watcher;
};

// Counts the steps a progress bar is given (PBM_STEPIT) and keeps the last position set.
class ProgressCounter {
 public:
  void Attach(HWND bar);
  int Steps() const { return steps; }
  int LastPosition() const { return lastPosition; }

 private:
  std::atomic<int> steps{0};
  std::atomic<int> lastPosition{-1};
  MessageSpy spy;
};

}  // namespace testui
