// The built installer, started as a user starts it: beside its package, with hosts installed.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"
#include "tests/support/Registry.h"

namespace {

using testui::WaitUntil;

const char kHostKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\zh-CN";
const char kHost2025Key[] = "SOFTWARE\\ZWSOFT\\MEP\\2025\\zh-CN";

class Installer {
 public:
  explicit Installer(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string command = "\"" + exe + "\"";
    started = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info) != FALSE;
  }
  ~Installer() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  HWND Dialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = testui::FindSetupDialog(info.dwProcessId)) != nullptr; },
              30000);
    return dialog;
  }
  bool Ended(DWORD timeoutMs = 30000) {
    return WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
  }
  bool started = false;
  PROCESS_INFORMATION info{};
};

class WholeProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileA(SetupExe().c_str(), exe.c_str(), FALSE)) << SetupExe();
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
    testreg::SetString(kHostKey, "Location", hosts / "2022");
    testreg::SetString(kHost2025Key, "Location", hosts / "2025\\");
  }
  static std::string SetupExe() {
    std::string path = std::string("Z:") + SETUP_EXE;
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }

  testreg::CleanHostKeys clean;
  testfs::TempDir folder{"whole"};
  testfs::TempDir hosts{"hosts"};
  testfs::TempDir target{"target"};
  const std::string exe = folder / "SetUp.exe";
  const std::string data = folder / "Data";
};

TEST_F(WholeProgram, InstallsEverythingAndEnds) {
  Installer installer(exe);
  ASSERT_TRUE(installer.started);
  testui::BoxAnswerer boxes({}, installer.info.dwProcessId);
  HWND dialog = installer.Dialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog) != FALSE; }));
  EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2022));
  EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2025));
  EXPECT_FALSE(testui::ItemEnabled(dialog, IDC_YEAR_2021));
  SetDlgItemTextA(dialog, IDC_PATH, target.Path().c_str());
  testui::Click(dialog, IDC_INSTALL);
  ASSERT_TRUE(boxes.WaitForCount(1, 30000));
  ASSERT_TRUE(installer.Ended());
  DWORD code = 1;
  GetExitCodeProcess(installer.info.hProcess, &code);
  EXPECT_EQ(code, 0u);

  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "安装完成，重启CAD即可使用 !");
  EXPECT_EQ(records[0].caption, "Q-工具箱安装");

  const std::string product = target / "Zantrel";
  EXPECT_EQ(testfs::List(product), (std::vector<std::string>{"Quorel2021.ZRX", "Quorel2025.ZRX",
                                                             "Quorel扩展绘图库", "帮助.chm"}));
  EXPECT_EQ(testfs::List(product + "\\Quorel扩展绘图库"), std::vector<std::string>{"图块.dwg"});
  for (const char* host : {"2022", "2025"})
    EXPECT_EQ(testfs::List(hosts / (std::string(host) + "\\Fonts")),
              (std::vector<std::string>{"Quorel_EN.shx", "Quorel_HZ.shx"}))
        << host;
  DWORD type = 0;
  std::string value;
  ASSERT_TRUE(testreg::QueryValue(std::string(kHostKey) + "\\Applications\\Quorel2022", "LOADER",
                                  type, value));
  EXPECT_EQ(value, product + "\\Quorel2021.ZRX" + std::string(1, '\0'));
  ASSERT_TRUE(testreg::QueryValue(std::string(kHost2025Key) + "\\Applications\\Quorel2025",
                                  "LOADER", type, value));
  EXPECT_EQ(value, product + "\\Quorel2025.ZRX" + std::string(1, '\0'));
  ASSERT_TRUE(testreg::QueryValue(std::string(kHost2025Key) + "\\Applications\\Quorel2025",
                                  "LOADCTRLS", type, value));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, std::string("\x02\0\0\0", 4));
}

TEST_F(WholeProgram, CancelEndsTheProcessWithNothingChanged) {
  const std::string before = testreg::Dump("SOFTWARE\\ZWSOFT");
  for (UINT how : {0u, 1u}) {
    Installer installer(exe);
    HWND dialog = installer.Dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog) != FALSE; }));
    if (how == 0)
      testui::Click(dialog, IDCANCEL);
    else
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(installer.Ended()) << how;
  }
  EXPECT_EQ(testreg::Dump("SOFTWARE\\ZWSOFT"), before);
  EXPECT_TRUE(testfs::List(target.Path()).empty());
  EXPECT_FALSE(testfs::Exists("C:\\Quorel"));
}

}  // namespace
