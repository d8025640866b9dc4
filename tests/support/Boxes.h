// Drives modal UI for real from a second thread: finds this process's message boxes and dialogs,
// records what they show and answers them. Every wait is bounded.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testui {

// Polls `condition` until it holds or `timeoutMs` passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

struct BoxRecord {
  std::string caption;
  std::string text;
  std::vector<int> buttons;  // command ids present: IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE...
  bool hasIcon = false;
  HWND owner = nullptr;
  bool ownerEnabled = false;  // whether the owner could still take input while the box was up
};

// The buttons a message box type shows, for comparing with BoxRecord::buttons.
std::vector<int> ButtonsOf(UINT type);

// Answers every message box of this process, in order, with the next of `answers`; once they run
// out, with the box's first button. Records each box once.
class BoxAnswerer {
 public:
  // `process`: whose boxes to answer (0: this process).
  explicit BoxAnswerer(std::vector<int> answers = {}, DWORD process = 0);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Replaces the answers still to give.
  void Answer(std::vector<int> newAnswers);
  std::vector<BoxRecord> Records();
  bool WaitForCount(std::size_t count, DWORD timeoutMs = 10000);
  // Waits for `count` boxes and then for `owner` to take input again (the last box has gone).
  bool WaitForAnswered(std::size_t count, HWND owner, DWORD timeoutMs = 10000);
  // Runs before each box is answered (on the answering thread), e.g. to release a locked file.
  void OnBox(std::function<void(const BoxRecord&, HWND box)> hook);

 private:
  void Loop();
  std::vector<int> answers;
  DWORD process;
  std::size_t nextAnswer = 0;
  std::vector<BoxRecord> records;
  std::vector<HWND> seen;
  std::function<void(const BoxRecord&, HWND)> hook;
  std::mutex mutex;
  std::atomic<bool> stop{false};
  std::thread worker;
};

// Whether a top-level window of this process is a message box.
bool IsMessageBox(HWND window);
// The shell's folder browser owned by `owner` (a window with a tree of folders), or nullptr.
HWND FindBrowser(HWND owner);
// The setup dialog (a dialog with the Install button) of a process (0: this one), or nullptr.
HWND FindSetupDialog(DWORD process = 0);

// Runs `runModal` on this thread while `script` gets the dialog window on another. If the script
// returns with the dialog still open, the dialog is cancelled at once (a script that expects the
// dialog to end by itself waits for that before it returns); if the dialog never appears within
// the timeout the script is not run. Returns the modal result.
INT_PTR RunWithDriver(const std::function<INT_PTR()>& runModal,
                      const std::function<void(HWND dialog)>& script, DWORD timeoutMs = 20000);

// Clicks a button as the user does (a posted BM_CLICK, so that the driver is not blocked while the
// handler runs its own message boxes).
void Click(HWND dialog, int id);
// Enters `destination` in the setup dialog's path box and presses Install, as the user does.
void InstallInto(HWND dialog, const std::string& destination);
// Real mouse input: moves the pointer to a screen point, then clicks once it is there (Wine moves
// the X pointer too and reports that move back late; a click sent before would be split by it).
void ClickAt(POINT point);
// Tests share one screen: keeps a window above the others' while real input goes to it or its
// pixels are read.
void KeepOnTop(HWND window);
std::string ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
bool ItemVisible(HWND dialog, int id);
int ItemChecked(HWND dialog, int id);

}  // namespace testui
