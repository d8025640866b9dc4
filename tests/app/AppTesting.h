// What the tests of the built installer share: a copy of SetUp.exe beside a package, hosts in
// the registry, and the installer started as its own process.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Boxes.h"
#include "tests/support/Files.h"
#include "tests/support/Registry.h"

namespace apptest {

const char kHost2022Key[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\zh-CN";
const char kHost2025Key[] = "SOFTWARE\\ZWSOFT\\MEP\\2025\\zh-CN";
const char kSuccessText[] = "安装完成，重启CAD即可使用 !";

// A build path ("/work/...") as the Windows side sees it.
inline std::string FromBuild(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// A process started from `exe`; killed if still running at the end of the test.
class Process {
 public:
  explicit Process(const std::string& exe, const std::string& arguments = "") {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    started = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info) != FALSE;
  }
  ~Process() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // The setup dialog once it is shown, or nullptr.
  HWND Dialog() {
    HWND dialog = nullptr;
    testui::WaitUntil(
        [&] {
          dialog = testui::FindSetupDialog(info.dwProcessId);
          return dialog && IsWindowVisible(dialog);
        },
        30000);
    return dialog;
  }
  bool Ended(DWORD timeoutMs = 30000) {
    return WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
  }
  DWORD Id() const { return info.dwProcessId; }

  bool started = false;
  PROCESS_INFORMATION info{};
};

// A copy of the built installer in its own folder with a package in "Data" (the module files,
// the fonts, a help file and the drawing library), two hosts (2022, 2025) with Fonts folders
// seeded in the registry, and an empty destination folder.
class InstallerBeside {
 public:
  InstallerBeside() {
    CopyFileA(FromBuild(SETUP_EXE).c_str(), exe.c_str(), FALSE);
    testfs::MakeDir(data);
    for (const char* name :
         {"Quorel2021.ZRX", "Quorel2025.ZRX", "Quorel_EN.shx", "Quorel_HZ.shx", "帮助.chm"})
      testfs::WriteFile(data + "\\" + name, name);
    testfs::MakeDir(data + "\\Quorel扩展绘图库");
    testfs::WriteFile(data + "\\Quorel扩展绘图库\\图块.dwg", "dwg");
    for (const char* host : {"2022", "2025"}) {
      testfs::MakeDir(hosts / host);
      testfs::MakeDir(hosts / (std::string(host) + "\\Fonts"));
    }
    testreg::SetString(kHost2022Key, "Location", hosts / "2022");
    testreg::SetString(kHost2025Key, "Location", hosts / "2025\\");
  }

  // Enters the destination and presses Install as the user does.
  void PressInstall(HWND dialog) const {
    SetDlgItemTextA(dialog, 1000, target.Path().c_str());
    testui::Click(dialog, 1022);
  }

  testreg::CleanHostKeys clean;
  testfs::TempDir folder{"setup"};
  testfs::TempDir hosts{"hosts"};
  testfs::TempDir target{"target"};
  const std::string exe = folder / "SetUp.exe";
  const std::string data = folder / "Data";
  const std::string product = target / "Zantrel";
};

}  // namespace apptest
