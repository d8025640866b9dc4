// The built installer, started as a user starts it: beside its package, with hosts installed.

#include <windows.h>
#include "tests/app/AppTesting.h"
#include "ui/DialogTexts.h"

namespace {

using apptest::kHost2022Key;
using apptest::kHost2025Key;

TEST(WholeProgram, InstallsEverythingAndEnds) {
  apptest::InstallerBeside setup;
  testproc::InstallerRun run;
  ASSERT_NO_FATAL_FAILURE(testproc::RunInstaller(
      setup.exe,
      [&](HWND dialog, testui::BoxAnswerer& boxes) {
        EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2022));
        EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2025));
        EXPECT_FALSE(testui::ItemEnabled(dialog, IDC_YEAR_2021));
        testproc::InstallInto(setup.target.Path())(dialog, boxes);
      },
      run));
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, kSuccessText);
  EXPECT_EQ(run.boxes[0].caption, kSuccessCaption);

  const std::string& product = setup.product;
  EXPECT_EQ(testfs::List(product), (std::vector<std::string>{"Quorel2021.ZRX", "Quorel2025.ZRX",
                                                             kLibrarySubfolder, "帮助.chm"}));
  EXPECT_EQ(testfs::List(setup.library), std::vector<std::string>{"图块.dwg"});
  for (const char* host : {"2022", "2025"})
    EXPECT_EQ(testfs::List(setup.hosts / (std::string(host) + "\\Fonts")),
              (std::vector<std::string>{kFontNames[0], kFontNames[1]}))
        << host;
  DWORD type = 0;
  std::string value;
  const std::string app2022 = std::string(kHost2022Key) + "\\Applications\\Quorel2022";
  const std::string app2025 = std::string(kHost2025Key) + "\\Applications\\Quorel2025";
  ASSERT_TRUE(testreg::QueryValue(app2022, "LOADER", type, value));
  EXPECT_EQ(value, product + "\\Quorel2021.ZRX" + std::string(1, '\0'));
  ASSERT_TRUE(testreg::QueryValue(app2025, "LOADER", type, value));
  EXPECT_EQ(value, product + "\\Quorel2025.ZRX" + std::string(1, '\0'));
  ASSERT_TRUE(testreg::QueryValue(app2025, "LOADCTRLS", type, value));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, std::string("\x02\0\0\0", 4));
}

TEST(WholeProgram, CancelEndsTheProcessWithNothingChanged) {
  apptest::InstallerBeside setup;
  // The default destination, which a faulty Cancel could make: absent before, removed after.
  const testfs::FixedFolder defaultFolder("C:\\Quorel");
  const std::string before = testreg::Dump(testreg::kVendorKey);
  for (bool close : {false, true}) {
    testproc::Child installer(setup.exe);
    HWND dialog = installer.SetupDialog();
    ASSERT_NE(dialog, nullptr);
    close ? (void)PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0)
          : testui::Click(dialog, IDCANCEL);
    EXPECT_TRUE(installer.Ended()) << (close ? "close" : "Cancel");
  }
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  EXPECT_TRUE(testfs::List(setup.target.Path()).empty());
  EXPECT_FALSE(testfs::Exists(defaultFolder.Path()));
}

}  // namespace
