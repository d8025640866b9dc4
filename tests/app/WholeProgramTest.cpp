// The built installer, started as a user starts it: beside its package, with hosts installed.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/app/AppTesting.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"

namespace {

const char* const kHostKey = apptest::kHost2022Key;
const char* const kHost2025Key = apptest::kHost2025Key;

class WholeProgram : public ::testing::Test {
 protected:
  apptest::InstallerBeside beside;
  testfs::TempDir& hosts = beside.hosts;
  testfs::TempDir& target = beside.target;
  const std::string& exe = beside.exe;
};

using Installer = testproc::Child;

TEST_F(WholeProgram, InstallsEverythingAndEnds) {
  testproc::InstallerRun run;
  ASSERT_NO_FATAL_FAILURE(testproc::RunInstaller(
      exe,
      [&](HWND dialog, testui::BoxAnswerer& boxes) {
        EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2022));
        EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2025));
        EXPECT_FALSE(testui::ItemEnabled(dialog, IDC_YEAR_2021));
        testproc::InstallInto(target.Path())(dialog, boxes);
      },
      run));
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, kSuccessText);
  EXPECT_EQ(run.boxes[0].caption, kSuccessCaption);

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
  // The default destination, which a faulty Cancel could make: absent before, removed after.
  const testfs::FixedFolder defaultFolder("C:\\Quorel");
  const std::string before = testreg::Dump("SOFTWARE\\ZWSOFT");
  for (UINT how : {0u, 1u}) {
    Installer installer(exe);
    HWND dialog = installer.SetupDialog();
    ASSERT_NE(dialog, nullptr);
    if (how == 0)
      testui::Click(dialog, IDCANCEL);
    else
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(installer.Ended()) << how;
  }
  EXPECT_EQ(testreg::Dump("SOFTWARE\\ZWSOFT"), before);
  EXPECT_TRUE(testfs::List(target.Path()).empty());
  EXPECT_FALSE(testfs::Exists(defaultFolder.Path()));
}

}  // namespace
