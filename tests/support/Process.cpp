#include "tests/support/Process.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "framework/Text.h"

namespace testproc {

std::string FromBuild(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

Child::Child(const std::string& exe, const std::string& arguments) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
  started = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info) != FALSE;
}

Child::~Child() {
  if (!started) return;
  if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

bool Child::Ended(DWORD timeoutMs) const {
  return started && WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Child::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (started) GetExitCodeProcess(info.hProcess, &code);
  return code;
}

HWND Child::SetupDialog(DWORD timeoutMs) const {
  HWND dialog = nullptr;
  if (!started) return nullptr;
  testui::WaitUntil(
      [&] {
        dialog = testui::FindSetupDialog(info.dwProcessId);
        return dialog && IsWindowVisible(dialog);
      },
      timeoutMs);
  return dialog;
}

void RunInstaller(const std::string& exe, const InstallerScript& script, InstallerRun& run) {
  Child installer(exe);
  ASSERT_TRUE(installer.Started()) << exe;
  testui::BoxAnswerer boxes({}, installer.Id());
  HWND dialog = installer.SetupDialog();
  ASSERT_NE(dialog, nullptr);
  script(dialog, boxes);
  run.ended = installer.Ended();
  run.exitCode = installer.ExitCode();
  run.boxes = boxes.Records();
  ASSERT_TRUE(run.ended);
}

InstallerScript InstallInto(const std::string& destination) {
  return [destination](HWND dialog, testui::BoxAnswerer& boxes) {
    testui::InstallInto(dialog, destination);
    ASSERT_TRUE(boxes.WaitForCount(1, 60000));
  };
}

void EndOrphanedHosts() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  std::set<DWORD> alive;
  std::vector<PROCESSENTRY32> hosts;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    alive.insert(entry.th32ProcessID);
    if (mbcs::Contains(mbcs::ToLower(entry.szExeFile), "zwcad.exe")) hosts.push_back(entry);
  }
  CloseHandle(snapshot);
  for (const PROCESSENTRY32& host : hosts) {
    if (alive.count(host.th32ParentProcessID)) continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, host.th32ProcessID)) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
    }
  }
}

bool Listed(const std::string& exeName) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry))
    found = exeName == entry.szExeFile;
  CloseHandle(snapshot);
  return found;
}

NamedIdle::NamedIdle(const std::string& exeName) : name(exeName) {
  const std::string path = folder / name;
  const std::string idle = FromBuild(HOST_IDLE_EXE);
  EXPECT_TRUE(CopyFileA(idle.c_str(), path.c_str(), FALSE)) << idle << " -> " << path;
  // Seen once in a whole-suite run: Wine refused to start the fresh copy. Each refusal is
  // reported with its error, and the start is tried again for a while before the test fails.
  testui::WaitUntil(
      [&] {
        if ((child = std::make_unique<Child>(path))->Started()) return true;
        std::printf("starting %s failed: error %lu\n", path.c_str(), GetLastError());
        return false;
      },
      2000);
  EXPECT_TRUE(child->Started()) << path;
  EXPECT_TRUE(testui::WaitUntil([&] { return Listed(name); })) << name;
}

NamedIdle::~NamedIdle() {
  const bool wasRunning = child->Started();
  child.reset();
  if (wasRunning) testui::WaitUntil([&] { return !Listed(name); });
}

}  // namespace testproc
