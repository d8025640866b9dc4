// The setup dialog's progress bar as one installation run steps it.
#pragma once

#include <windows.h>

// Drawing the bar costs more than copying a small file (about half a millisecond a step under
// Wine, over half of a many-file installation), and no one sees more than a few dozen pictures a
// second: a step within a frame of the last picture only moves the position. The picture of the
// position reached follows at the next step after the frame, before a prompt (Draw), and when
// the run lets go of the bar. The bar stays visible throughout, to the user and to accessibility
// tools alike: only its paint messages wait.
class Progress {
 public:
  // Takes the bar's paint messages until destroyed; the bar stays the dialog's. One run at a
  // time steps a bar: a second one made over the same bar leaves it to the first.
  explicit Progress(HWND bar);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  HWND Bar() const { return bar; }
  // Range 0..last, step 1, position 0.
  void Start(int last);
  // One PBM_STEPIT.
  void Step();
  // The bar at `position` (PBM_SETPOS), drawn at once.
  void Finish(int position);
  // Draws what the steps since the last picture changed, now.
  void Draw();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND bar;
  WNDPROC previous = nullptr;
  DWORD lastDrawn = 0;
  // While set (a step within a frame of the last picture), the bar's paint messages pass.
  bool holding = false;
};
