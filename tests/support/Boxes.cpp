#include "tests/support/Boxes.h"

#include <commctrl.h>

#include "res/resource.h"

#include <algorithm>

namespace testui {
namespace {

const int kBoxButtons[] = {IDOK,  IDCANCEL, IDABORT,    IDRETRY,   IDIGNORE,
                           IDYES, IDNO,     IDTRYAGAIN, IDCONTINUE};

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

std::string TextOf(HWND window) {
  if (!window) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 2, '\0');
  GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
  return buffer.data();
}

bool HasDescendantOfClass(HWND window, const char* className) {
  struct Search {
    const char* name;
    bool found;
  } search{className, false};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (ClassOf(child) == s->name) {
          s->found = true;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> TopLevelWindows(DWORD process) {
  struct Found {
    DWORD process;
    std::vector<HWND> windows;
  } found{process ? process : GetCurrentProcessId(), {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* f = reinterpret_cast<Found*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == f->process) f->windows.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(10);
  }
}

std::vector<int> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDCANCEL, IDYES, IDNO};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDCANCEL, IDRETRY};
    default:
      return {IDOK};
  }
}

bool IsMessageBox(HWND window) {
  if (!IsWindowVisible(window) || ClassOf(window) != "#32770") return false;
  HWND text = GetDlgItem(window, 0xFFFF);
  if (!text || ClassOf(text) != "Static") return false;
  if (GetDlgItem(window, IDC_INSTALL) || HasDescendantOfClass(window, "SysTreeView32"))
    return false;
  return std::any_of(std::begin(kBoxButtons), std::end(kBoxButtons),
                     [&](int id) { return GetDlgItem(window, id) != nullptr; });
}

HWND FindBrowser(HWND owner) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window) &&
            FindWindowExA(window, nullptr, "SysTreeView32", nullptr)) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindSetupDialog(DWORD process) {
  for (HWND window : TopLevelWindows(process)) {
    if (ClassOf(window) == "#32770" && GetDlgItem(window, IDC_INSTALL) &&
        GetDlgItem(window, IDC_YEAR_2021))
      return window;
  }
  return nullptr;
}

BoxAnswerer::BoxAnswerer(std::vector<int> answers, DWORD process)
    : answers(std::move(answers)), process(process), worker([this] { Loop(); }) {}

BoxAnswerer::~BoxAnswerer() {
  stop = true;
  worker.join();
}

void BoxAnswerer::Answer(std::vector<int> newAnswers) {
  std::lock_guard<std::mutex> lock(mutex);
  answers = std::move(newAnswers);
  nextAnswer = 0;
}

std::vector<BoxRecord> BoxAnswerer::Records() {
  std::lock_guard<std::mutex> lock(mutex);
  return records;
}

bool BoxAnswerer::WaitForCount(std::size_t count, DWORD timeoutMs) {
  return WaitUntil([&] { return Records().size() >= count; }, timeoutMs);
}

bool BoxAnswerer::WaitForAnswered(std::size_t count, HWND owner, DWORD timeoutMs) {
  return WaitForCount(count, timeoutMs) &&
         WaitUntil([&] { return IsWindowEnabled(owner) != FALSE; }, timeoutMs);
}

void BoxAnswerer::OnBox(std::function<void(const BoxRecord&, HWND)> newHook) {
  std::lock_guard<std::mutex> lock(mutex);
  hook = std::move(newHook);
}

void BoxAnswerer::Loop() {
  while (!stop) {
    for (HWND window : TopLevelWindows(process)) {
      if (!IsMessageBox(window)) continue;
      std::function<void(const BoxRecord&, HWND)> currentHook;
      BoxRecord record;
      int answer = 0;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (std::find(seen.begin(), seen.end(), window) != seen.end()) continue;
        seen.push_back(window);
        record.caption = TextOf(window);
        record.text = TextOf(GetDlgItem(window, 0xFFFF));
        for (int id : kBoxButtons) {
          HWND button = GetDlgItem(window, id);
          if (button && IsWindowVisible(button)) record.buttons.push_back(id);
        }
        std::sort(record.buttons.begin(), record.buttons.end());
        EnumChildWindows(
            window,
            [](HWND child, LPARAM data) -> BOOL {
              if (ClassOf(child) == "Static" && IsWindowVisible(child) &&
                  SendMessageA(child, STM_GETICON, 0, 0) != 0)
                *reinterpret_cast<bool*>(data) = true;
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&record.hasIcon));
        record.owner = GetWindow(window, GW_OWNER);
        record.ownerEnabled = record.owner && IsWindowEnabled(record.owner);
        answer = nextAnswer < answers.size() ? answers[nextAnswer++]
                                             : (record.buttons.empty() ? IDOK : record.buttons[0]);
        records.push_back(record);
        currentHook = hook;
      }
      if (currentHook) currentHook(record, window);
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, answer)));
    }
    Sleep(10);
  }
}

INT_PTR RunWithDriver(const std::function<INT_PTR()>& runModal,
                      const std::function<void(HWND)>& script, DWORD timeoutMs) {
  std::atomic<bool> finished{false};
  std::thread driver([&] {
    HWND dialog = nullptr;
    if (WaitUntil([&] { return finished || (dialog = FindSetupDialog()) != nullptr; }, timeoutMs) &&
        dialog && !finished) {
      WaitUntil([&] { return finished || IsWindowVisible(dialog); }, timeoutMs);
      script(dialog);
      // Posted behind whatever the script posted, so it acts only once that has been dealt with.
      if (!finished && IsWindow(dialog))
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      // A script that gave up may have left a box or the browser open over a disabled dialog:
      // cancel those too, so that a failure never hangs until the test's timeout.
      while (!WaitUntil([&] { return finished.load(); }, 2000)) {
        for (HWND window : TopLevelWindows(0)) {
          if (window != dialog && GetWindow(window, GW_OWNER) == dialog)
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
    }
  });
  const INT_PTR result = runModal();
  finished = true;
  driver.join();
  return result;
}

void Click(HWND dialog, int id) {
  PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void InstallInto(HWND dialog, const std::string& destination) {
  SetDlgItemTextA(dialog, IDC_PATH, destination.c_str());
  Click(dialog, IDC_INSTALL);
}

void ClickAt(POINT point) {
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, inputs, sizeof(INPUT));
  WaitUntil([&] {
    POINT at{};
    return GetCursorPos(&at) && at.x == point.x && at.y == point.y;
  });
  SendInput(2, inputs + 1, sizeof(INPUT));
}

void KeepOnTop(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::string ItemText(HWND dialog, int id) {
  return TextOf(GetDlgItem(dialog, id));
}
bool ItemEnabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}
bool ItemVisible(HWND dialog, int id) {
  return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}
int ItemChecked(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

}  // namespace testui
