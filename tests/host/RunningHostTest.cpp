// The running-host probe against real processes started under host-like names.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <memory>
#include <string>
#include <vector>

#include "host/RunningHost.h"
#include "tests/host/HostKeys.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"

namespace {

// Wine shows the Unix root as drive Z:.
std::string IdleProgram() {
  std::string path = std::string("Z:") + HOST_IDLE_EXE;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// Whether a process of exactly this exe name is in the process list.
bool Listed(const std::string& exe) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry))
    found = exe == entry.szExeFile;
  CloseHandle(snapshot);
  return found;
}

// The idle helper copied under `name` and running until destroyed.
class Process {
 public:
  // Each in a folder of its own: names that differ only in case are one file.
  Process(const testfs::TempDir& dir, const std::string& name) : exe(name) {
    static int count = 0;
    const std::string folder = dir / std::to_string(++count);
    testfs::MakeDir(folder);
    const std::string path = folder + "\\" + name;
    EXPECT_TRUE(CopyFileA(IdleProgram().c_str(), path.c_str(), FALSE)) << IdleProgram();
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + path + "\"";
    EXPECT_TRUE(CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &info))
        << path;
    EXPECT_TRUE(testui::WaitUntil([&] { return Listed(exe); })) << name;
  }
  ~Process() {
    if (info.hProcess == nullptr) return;
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    testui::WaitUntil([&] { return !Listed(exe); });
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

 private:
  std::string exe;
  PROCESS_INFORMATION info = {};
};

TEST(RunningHost, HostNameInAnyCaseOrWithinALongerNameCounts) {
  testfs::TempDir dir("running");
  for (const char* name :
       {"ZWCAD.EXE", "zwcad.exe", "ZwCad.Exe", "my_zwcad.exe.bak", "中望ZWCAD.EXE"}) {
    EXPECT_FALSE(IsHostRunning()) << "before " << name;
    {
      Process host(dir, name);
      EXPECT_TRUE(IsHostRunning()) << name;
    }
  }
}

TEST(RunningHost, SimilarNamesDoNotCount) {
  testfs::TempDir dir("similar");
  EXPECT_FALSE(IsHostRunning());
  std::vector<std::unique_ptr<Process>> others;
  for (const char* name : {"zwcadm.exe", "zwcad.ex", "zwcad_exe.exe", "zw cad.exe", "中望CAD.exe"})
    others.push_back(std::make_unique<Process>(dir, name));
  EXPECT_FALSE(IsHostRunning());
}

TEST(RunningHost, SnapshotIsClosedOnEveryPath) {
  testfs::TempDir dir("handles");
  const auto handlesAfter = [](bool expected) {
    EXPECT_EQ(IsHostRunning(), expected);  // once before counting: lazy allocations
    const int before = hosttest::OpenHandleCount();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(IsHostRunning(), expected);
    return hosttest::OpenHandleCount() - before;
  };
  EXPECT_EQ(handlesAfter(false), 0);
  Process host(dir, "ZWCAD.EXE");
  EXPECT_EQ(handlesAfter(true), 0);
}

}  // namespace
