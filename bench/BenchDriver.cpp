// Drives SetUp.exe from outside, as a user does, and times it against a baseline in the same
// Wine session:
//   bench_driver startup RUNS SETUP_EXE BARE_EXE
//     launch -> dialog visible, for the installer and for the bare template;
//   bench_driver install RUNS SETUP_EXE TARGET XCOPY_TARGET
//     Install click -> success box, against xcopy copying what the installer copied.
// Prints medians in milliseconds and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "res/resource.h"

namespace {

struct Search {
  DWORD process;
  bool wantSetupDialog;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) != "#32770") return TRUE;
  if ((GetDlgItem(window, IDC_INSTALL) != nullptr) != search->wantSetupDialog) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible dialog of `process`: the setup dialog, or else a message box. Polls for 60 s at most.
HWND WaitForWindow(DWORD process, bool setupDialog) {
  const double deadline = Now() + 60000;
  while (Now() < deadline) {
    Search search{process, setupDialog, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(1);
  }
  return nullptr;
}

struct Process {
  explicit Process(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    // Output (xcopy's count of files) goes nowhere: it is not what is measured.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE null = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = null;
    std::string command = commandLine;
    started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &info) != FALSE;
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  }
  ~Process() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0)
      TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  bool started = false;
  PROCESS_INFORMATION info{};
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_driver: %s\n", what);
  std::exit(1);
}

double TimeStartup(const std::string& exe) {
  const double start = Now();
  Process process("\"" + exe + "\"");
  if (!process.started) Fail("cannot start the program");
  HWND dialog = WaitForWindow(process.info.dwProcessId, true);
  const double elapsed = Now() - start;
  if (!dialog) Fail("no dialog appeared");
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return elapsed;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
  }
  RemoveDirectoryA(path.c_str());
}

// Files and bytes below a folder.
void Measure(const std::string& path, int& files, double& bytes) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Measure(path + "\\" + name, files, bytes);
    } else {
      ++files;
      bytes += static_cast<double>(entry.nFileSizeHigh) * 4294967296.0 + entry.nFileSizeLow;
    }
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}

double TimeInstall(const std::string& exe, const std::string& target) {
  RemoveTree(target);
  CreateDirectoryA(target.c_str(), nullptr);
  Process process("\"" + exe + "\"");
  if (!process.started) Fail("cannot start the installer");
  HWND dialog = WaitForWindow(process.info.dwProcessId, true);
  if (!dialog) Fail("no setup dialog appeared");
  SetDlgItemTextA(dialog, IDC_PATH, target.c_str());
  const double start = Now();
  PostMessageA(GetDlgItem(dialog, IDC_INSTALL), BM_CLICK, 0, 0);
  HWND box = WaitForWindow(process.info.dwProcessId, false);
  const double elapsed = Now() - start;
  if (!box) Fail("no message box after Install");
  char text[256] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  // The success box is the only one that ends the process; any other one is a failed run.
  if (WaitForSingleObject(process.info.hProcess, 30000) != WAIT_OBJECT_0)
    Fail("the installer did not end after its box (not the success box?)");
  return elapsed;
}

double TimeXcopy(const std::string& from, const std::string& to) {
  RemoveTree(to);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const double start = Now();
  {
    Process xcopy("\"" + std::string(system) + "\\xcopy.exe\" /E /I /Q /Y \"" + from + "\" \"" +
                  to + "\"");
    if (!xcopy.started) Fail("cannot start xcopy");
    WaitForSingleObject(xcopy.info.hProcess, INFINITE);
  }
  return Now() - start;
}

int Startup(int runs, const std::string& setup, const std::string& bare) {
  std::vector<double> installer, baseline;
  TimeStartup(setup);  // warms the prefix's caches for both
  TimeStartup(bare);
  for (int i = 0; i < runs; ++i) {
    installer.push_back(TimeStartup(setup));
    baseline.push_back(TimeStartup(bare));
  }
  const double a = Median(installer), b = Median(baseline);
  std::printf("start-up (launch -> dialog visible), median of %d:\n", runs);
  std::printf("  SetUp.exe          %8.1f ms\n  bare DialogBoxParamA %6.1f ms\n  ratio %.2f\n", a,
              b, a / b);
  return 0;
}

int Install(int runs, const std::string& setup, const std::string& target,
            const std::string& copyTarget) {
  std::vector<double> installer, xcopy;
  const std::string product = target + "\\Zantrel";
  for (int i = 0; i < runs; ++i) {
    installer.push_back(TimeInstall(setup, target));
    xcopy.push_back(TimeXcopy(product, copyTarget));
  }
  int files = 0, copied = 0;
  double bytes = 0, copiedBytes = 0;
  Measure(product, files, bytes);
  Measure(copyTarget, copied, copiedBytes);
  if (files != copied || bytes != copiedBytes) Fail("xcopy did not copy what the installer did");
  const double a = Median(installer), b = Median(xcopy);
  std::printf("installation (Install -> success box), median of %d:\n", runs);
  std::printf("  installed: %d files, %.1f MB\n", files, bytes / 1e6);
  std::printf("  SetUp.exe %8.1f ms (%.0f MB/s)\n  xcopy     %8.1f ms (%.0f MB/s)\n  ratio %.2f\n",
              a, bytes / 1e3 / a, b, bytes / 1e3 / b, a / b);
  RemoveTree(copyTarget);
  RemoveTree(target);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "startup" && argc == 5) return Startup(std::atoi(argv[2]), argv[3], argv[4]);
  if (mode == "install" && argc == 6) return Install(std::atoi(argv[2]), argv[3], argv[4], argv[5]);
  std::fprintf(stderr,
               "usage: bench_driver startup RUNS SETUP_EXE BARE_EXE\n"
               "       bench_driver install RUNS SETUP_EXE TARGET XCOPY_TARGET\n");
  return 2;
}
