// The shipped bundle, unpacked from its zip into the prefix (by bundle_test.py --unpack), installed
// as a user installs it: its SetUp.exe started, driven from this process. Its exe is sealed: copies
// of the bundle with a changed package show what it installs and what it refuses.
#include <windows.h>
#include <gtest/gtest.h>

#include "deploy/DeployTexts.h"
#include "deploy/Layout.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/support/Process.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"

namespace {

const char kBundle[] = BUNDLE_FOLDER;
const char* const kHost2022 = testreg::kHost2022Key;
const char kHost2025[] = "SOFTWARE\\ZWSOFT\\MEP\\2025 SP1\\zh-CN";

// The unpacked bundle copied to `to`, to be changed there.
void CopyTree(const std::string& from, const std::string& to) {
  testfs::MakeFolders(to);
  for (const std::string& name : testfs::List(from)) {
    const std::string source = from + "\\" + name, target = to + "\\" + name;
    if (testfs::Attributes(source) & FILE_ATTRIBUTE_DIRECTORY)
      CopyTree(source, target);
    else
      ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
  }
}

// A copy of the unpacked bundle to change (made by Copy), a host with its Fonts folder, and a
// destination.
struct BundleCopy {
  BundleCopy() { testreg::SeedHost(kHost2022, hosts / "2022"); }
  void Copy() { CopyTree(kBundle, copy.Path()); }

  testreg::CleanHostKeys clean;
  testfs::TempDir hosts{"bundle-hosts"}, copy{"bundle-copy"}, target{"bundle-target"};
  const std::string exe = copy / "SetUp.exe", product = target / kProductSubfolder;
  const std::string fonts = hosts / "2022\\Fonts";
};

const std::string kProductNames[] = {"Quorel2021.ZRX", "Quorel2025.ZRX", "Quorel扩展绘图库",
                                     "€价格表.txt", "帮助.chm"};

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
  EXPECT_EQ(testreg::Loader(testreg::kApp2022Key), product + "\\Quorel2021.ZRX" + '\0');
  EXPECT_EQ(testreg::Loader(std::string(kHost2025) + "\\Applications\\Quorel2025"),
            product + "\\Quorel2025.ZRX" + '\0');
}

TEST(Bundle, SealedInstallerLeavesOutFilesAddedToThePackage) {
  BundleCopy b;
  ASSERT_NO_FATAL_FAILURE(b.Copy());
  for (const char* added : {"version.dll", "附加说明.txt", "Quorel扩展绘图库\\图块3.dwg"})
    testfs::WriteFile(b.copy / "Data\\" + added, "added after bundling");

  testproc::InstallerRun run;
  ASSERT_NO_FATAL_FAILURE(
      testproc::RunInstaller(b.exe, testproc::InstallInto(b.target.Path()), run));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, kSuccessText);
  const std::string& product = b.product;
  EXPECT_EQ(testfs::List(product),
            std::vector<std::string>(std::begin(kProductNames), std::end(kProductNames)));
  EXPECT_EQ(testfs::List(product + "\\Quorel扩展绘图库"),
            (std::vector<std::string>{"图块1.dwg", "图块2.dwg"}));
  EXPECT_EQ(testreg::Loader(testreg::kApp2022Key), product + "\\Quorel2021.ZRX" + '\0');
}

// Each change to a copy of the bundle is refused at Install before anything is written: one stop
// box owned by the dialog names the file, the dialog stays as it was, and Cancel ends it.
TEST(Bundle, SealedInstallerRefusesAChangedPackageUpFront) {
  const struct {
    const char* what;
    const char* named;  // below the copy of the bundle
    std::function<void(const std::string& path)> change;
  } cases[] = {
      {"a missing module", "Data\\Quorel2025.ZRX",
       [](const std::string& path) { ASSERT_TRUE(DeleteFileA(path.c_str())); }},
      {"a longer file", "Data\\帮助.chm",
       [](const std::string& path) { testfs::WriteFile(path, testfs::ReadFile(path) + "x"); }},
      {"a shorter library file", "Data\\Quorel扩展绘图库\\图块2.dwg",
       [](const std::string& path) { testfs::WriteFile(path, testfs::ReadFile(path).substr(1)); }},
      {"a font of its size", "Data\\Quorel_EN.shx",
       [](const std::string& path) {
         std::string bytes = testfs::ReadFile(path);
         bytes[0] ^= 1;
         testfs::WriteFile(path, bytes);
       }},
      // The record in the exe with an entry count past its data.
      {"a damaged record", "SetUp.exe",
       [](const std::string& path) {
         std::string bytes = testfs::ReadFile(path);
         const std::size_t record = bytes.rfind(std::string("ZSEAL/1\0", 8));
         ASSERT_NE(record, std::string::npos);
         bytes[record + 8] = 'Z';
         testfs::WriteFile(path, bytes);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BundleCopy b;
    ASSERT_NO_FATAL_FAILURE(b.Copy());
    ASSERT_NO_FATAL_FAILURE(c.change(b.copy / c.named));

    testproc::InstallerRun run;
    bool stillOpen = false;
    HWND shown = nullptr;
    ASSERT_NO_FATAL_FAILURE(testproc::RunInstaller(
        b.exe,
        [&](HWND dialog, testui::BoxAnswerer& boxes) {
          shown = dialog;
          testui::InstallInto(dialog, b.target.Path());
          ASSERT_TRUE(boxes.WaitForAnswered(1, dialog, 60000));
          stillOpen = IsWindow(dialog) && testui::ItemVisible(dialog, IDC_PATH) &&
                      !testui::ItemVisible(dialog, IDC_PROGRESS);
          testui::Click(dialog, IDCANCEL);
        },
        run));
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text,
              framework::FormatText(kPackageAlteredFormat, (b.copy / c.named).c_str()));
    EXPECT_EQ(run.boxes[0].caption, kSetupCaption);
    EXPECT_TRUE(run.boxes[0].hasIcon);
    EXPECT_EQ(run.boxes[0].owner, shown);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(testfs::List(b.target.Path()), std::vector<std::string>{});
    EXPECT_FALSE(testreg::KeyExists(std::string(kHost2022) + "\\Applications"));
    EXPECT_EQ(testfs::List(b.fonts), std::vector<std::string>{});
  }
}

// Changes of a file's bytes that keep its size pass the check at Install; each copy is checked
// under its temporary name: the box names the package file, the dialog ends as after Abort, and
// nothing is registered. The altered file never gets its name, and no temporary file stays.
TEST(Bundle, SealedInstallerRefusesAnAlteredCopyBeforeItTakesItsName) {
  // Below Data, and where its copy would go below the product folder.
  for (const char* file : {"Quorel2021.ZRX", "Quorel扩展绘图库\\图块1.dwg"}) {
    SCOPED_TRACE(file);
    BundleCopy b;
    ASSERT_NO_FATAL_FAILURE(b.Copy());
    const std::string changed = b.copy / "Data\\" + file;
    std::string bytes = testfs::ReadFile(changed);
    bytes.back() ^= 0x20;
    testfs::WriteFile(changed, bytes);

    testproc::InstallerRun run;
    ASSERT_NO_FATAL_FAILURE(
        testproc::RunInstaller(b.exe, testproc::InstallInto(b.target.Path()), run));
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, framework::FormatText(kPackageAlteredFormat, changed.c_str()));
    EXPECT_TRUE(run.boxes[0].hasIcon);
    const std::string& product = b.product;
    EXPECT_FALSE(testfs::Exists(product + "\\" + file));
    for (const std::string& folder : {product, product + "\\Quorel扩展绘图库"}) {
      for (const std::string& name : testfs::List(folder))
        EXPECT_EQ(name.find("~zts"), std::string::npos) << folder << "\\" << name;
    }
    EXPECT_FALSE(testreg::KeyExists(std::string(kHost2022) + "\\Applications"));
    EXPECT_EQ(testfs::List(b.fonts), std::vector<std::string>{});
  }
}

}  // namespace
