// The shipped bundle, unpacked from its zip into the prefix (by bundle_test.py --unpack), installed
// as a user installs it: its SetUp.exe started, driven from this process.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deploy/Layout.h"
#include "res/resource.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"

namespace {

const char kBundle[] = BUNDLE_FOLDER;
const char* const kHost2022 = testreg::kHost2022Key;
const char kHost2025[] = "SOFTWARE\\ZWSOFT\\MEP\\2025 SP1\\zh-CN";

std::string Loader(const std::string& key) {
  DWORD type = 0;
  std::string value;
  if (!testreg::QueryValue(key, "LOADER", type, value) || type != REG_SZ) return std::string();
  return value.substr(0, value.find('\0'));
}

TEST(Bundle, UnpackedZipInstallsEndToEnd) {
  testreg::CleanHostKeys clean;
  testfs::TempDir hosts("bundle-hosts");
  testfs::TempDir target("bundle-target");
  testreg::SeedHost(kHost2022, hosts / "2022");
  testreg::SeedHost(kHost2025, hosts / "2025\\");
  const std::string exe = std::string(kBundle) + "\\SetUp.exe";
  ASSERT_TRUE(testfs::Exists(exe)) << exe << ": run bundle_test.py --unpack first";
  EXPECT_EQ(testfs::List(kBundle), (std::vector<std::string>{kPackageSubfolder, "SetUp.exe"}));

  testproc::InstallerRun run;
  ASSERT_NO_FATAL_FAILURE(testproc::RunInstaller(
      exe,
      [&](HWND dialog, testui::BoxAnswerer& boxes) {
        EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2022));
        EXPECT_TRUE(testui::ItemEnabled(dialog, IDC_YEAR_2025));
        testproc::InstallInto(target.Path())(dialog, boxes);
      },
      run));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, kSuccessText);

  // Everything but what the bundle command warned about (bundle_test.py's LEFT_OUT) and the fonts.
  const std::string product = target / kProductSubfolder;
  using Names = std::vector<std::string>;  // in code page 936's byte order, as listed
  EXPECT_EQ(testfs::List(product), (Names{"Quorel2021.ZRX", "Quorel2025.ZRX", kLibrarySubfolder,
                                          "€价格表.txt", "帮助.chm"}));
  EXPECT_EQ(testfs::List(product + "\\" + kLibrarySubfolder), (Names{"图块1.dwg", "图块2.dwg"}));
  EXPECT_FALSE(testfs::ReadFile(product + "\\€价格表.txt").empty());
  EXPECT_EQ(testfs::ReadFile(product + "\\€价格表.txt"),
            testfs::ReadFile(std::string(kBundle) + "\\" + kPackageSubfolder + "\\€价格表.txt"));
  for (const char* host : {"2022", "2025"})
    EXPECT_EQ(testfs::List(hosts / (std::string(host) + "\\Fonts")),
              (Names{kFontNames[0], kFontNames[1]}))
        << host;
  EXPECT_EQ(Loader(std::string(kHost2022) + "\\Applications\\Quorel2022"),
            product + "\\Quorel2021.ZRX");
  EXPECT_EQ(Loader(std::string(kHost2025) + "\\Applications\\Quorel2025"),
            product + "\\Quorel2025.ZRX");
}

}  // namespace
