#include <windows.h>
#include <commctrl.h>

#include "framework/ErrorReport.h"
#include "host/HostRegistry.h"
#include "host/RunningHost.h"
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/support/FreshState.h"
#include "tests/support/Process.h"
#include "tests/support/Progress.h"
#include "tests/support/Registry.h"
#include "ui/Dlg_Setup.h"
#include "ui/DialogTexts.h"

namespace {

using teststate::ProcessState;
using testui::BoxAnswerer;
using testui::BoxRecord;
using testui::WaitUntil;

// What the Install command adds to the destination, and the library's folder below it.
const std::string kProduct = std::string("\\") + kProductSubfolder;
const std::string kLibrary = std::string("\\") + kLibrarySubfolder;

// A package beside the installer, one installed host release (2022) with a Fonts folder, and a
// destination folder; the host record is discovered from the seeded registry.
class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::StartFresh({ProcessState::HostRecord});
    testfs::WritePackage(package.data, {"Quorel2021.ZRX", "Quorel2025.ZRX", "readme.txt"},
                         {"a.dwg", "b.dwg"});
    testreg::SeedHost(testreg::kHost2022Key, host.Path() + "\\");
    theHostRegistry.DiscoverHosts();
    ASSERT_EQ(theHostRegistry.locations[1].size(), 1u);
  }

  // Runs the dialog with `path` in the path box, presses Install once per `presses` (each but the
  // last once its box is answered) and waits for the dialog to end.
  INT_PTR Run(const std::string& path, int presses = 1) {
    dialog.destinationPath = path;
    return testui::RunWithDriver(
        [&] { return dialog.DoModal(); },
        [&](HWND window) {
          progress.Attach(GetDlgItem(window, IDC_PROGRESS));
          for (int i = 0; i < presses; ++i) {
            const std::size_t before = boxes.Records().size();
            testui::Click(window, IDC_INSTALL);
            ASSERT_TRUE(i + 1 == presses || boxes.WaitForAnswered(before + 1, window));
          }
          EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 30000));
        });
  }

  testreg::CleanHostKeys clean;
  deploytest::PackageBeside package{"pkg"};
  testfs::TempDir host{"host"};
  testfs::TempDir target{"dest"};
  Dlg_Setup dialog;
  BoxAnswerer boxes;
  testui::ProgressCounter progress;
};

// Package: ".", "..", five files and the library folder = 8 entries; library: 4 entries. The bar
// steps once per listing entry and stage and ends full.
TEST_F(InstallTest, SuccessCopiesRegistersInstallsFontsAndEndsWithOk) {
  // The dialog as the success box finds it.
  bool pathRowHidden = false, progressShown = false;
  int position = -1;
  boxes.OnBox([&](const BoxRecord&, HWND) {
    HWND window = testui::FindSetupDialog();
    pathRowHidden = !testui::ItemVisible(window, IDC_PATH_CAPTION) &&
                    !testui::ItemVisible(window, IDC_PATH) &&
                    !testui::ItemVisible(window, IDC_BROWSE);
    progressShown = testui::ItemVisible(window, IDC_PROGRESS);
    position = static_cast<int>(SendDlgItemMessageA(window, IDC_PROGRESS, PBM_GETPOS, 0, 0));
  });
  const std::string chosen = target / "软件";
  EXPECT_EQ(Run(chosen), IDOK);

  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  deploytest::ExpectOkBox(records[0], kSuccessText, kSuccessCaption);
  EXPECT_TRUE(pathRowHidden);
  EXPECT_TRUE(progressShown);
  EXPECT_EQ(position, 50);
  EXPECT_EQ(progress.Steps(), (8 + 1) + (4 + 1) + 3);
  EXPECT_EQ(progress.LastPosition(), 50);
  // The OK command copies the path box back: the extended form is never kept.
  EXPECT_EQ(dialog.destinationPath, chosen);

  const std::string product = chosen + kProduct;
  EXPECT_EQ(theHostRegistry.installFolder, product);
  EXPECT_EQ(testfs::List(product), (std::vector<std::string>{"Quorel2021.ZRX", "Quorel2025.ZRX",
                                                             kLibrarySubfolder, "readme.txt"}));
  EXPECT_EQ(testfs::List(product + kLibrary), (std::vector<std::string>{"a.dwg", "b.dwg"}));
  EXPECT_EQ(testfs::List(host / "Fonts"), (std::vector<std::string>{kFontNames[0], kFontNames[1]}));
  EXPECT_EQ(testreg::Loader(testreg::kApp2022Key), product + "\\Quorel2021.ZRX" + '\0');
}

TEST_F(InstallTest, MissingPackageShowsOneBoxCancelsAndRegistersNothing) {
  testfs::RemoveTree(package.data);
  const std::string before = testreg::Dump(testreg::kVendorKey);
  EXPECT_EQ(Run(target / "m"), IDCANCEL);
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  deploytest::ExpectNoPackageBox(records[0]);
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  EXPECT_TRUE(theHostRegistry.installFolder.empty());
  EXPECT_TRUE(testfs::List(host / "Fonts").empty());
}

TEST_F(InstallTest, AbortKeepsEarlierFilesAndRegistersNothing) {
  const std::string product = target / "a" + kProduct;
  testfs::MakeFolders(product);
  testfs::HeldOpen locked(product + "\\Quorel2025.ZRX");
  ASSERT_TRUE(locked.Held());
  boxes.Answer({IDABORT});
  const std::string before = testreg::Dump(testreg::kVendorKey);
  EXPECT_EQ(Run(target / "a"), IDCANCEL);
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE));
  EXPECT_EQ(testfs::ReadFile(product + "\\Quorel2021.ZRX"), "Quorel2021.ZRX");
  EXPECT_FALSE(testfs::Exists(product + "\\readme.txt"));
  EXPECT_FALSE(testfs::Exists(product + kLibrary));
  EXPECT_EQ(testreg::Dump(testreg::kVendorKey), before);
  EXPECT_TRUE(testfs::List(host / "Fonts").empty());
}

// Every refused path: the stop box with the system's text, nothing created, the dialog open.
TEST_F(InstallTest, EmptyRelativeOrDevicePathIsRefusedAndTheDialogStaysOpen) {
  const testfs::CurrentFolder current(target.Path());
  // Device paths name folders by ways the checks on the way cannot follow.
  std::vector<std::string> paths = {"", "Quorel", "D:Quorel", "\\Quorel",
                                    "\\\\?\\UNC\\localhost\\C$\\x"};
  for (const char* device : {"\\\\?\\GLOBALROOT\\??\\", "\\\\.\\GLOBALROOT\\??\\", "\\\\.\\"})
    paths.push_back(device + target / "x");
  for (const std::string& path : paths) {
    dialog.destinationPath = path;
    const std::size_t before = boxes.Records().size();
    const INT_PTR result =
        testui::RunWithDriver([&] { return dialog.DoModal(); },
                              [&](HWND window) {
                                testui::Click(window, IDC_INSTALL);
                                ASSERT_TRUE(boxes.WaitForAnswered(before + 1, window));
                                EXPECT_TRUE(IsWindowVisible(window));
                                EXPECT_TRUE(testui::ItemVisible(window, IDC_PATH));
                                EXPECT_EQ(testui::ItemText(window, IDC_PATH), path);
                              });
    EXPECT_EQ(result, IDCANCEL) << path;
    const BoxRecord box = boxes.Records().back();
    EXPECT_EQ(box.caption, "ui_tests") << path;
    EXPECT_EQ(box.text, framework::SystemMessage(E_INVALIDARG)) << path;
    EXPECT_TRUE(box.hasIcon) << path;
  }
  EXPECT_TRUE(testfs::List(target.Path()).empty());
  EXPECT_TRUE(theHostRegistry.installFolder.empty());
  EXPECT_FALSE(testreg::KeyExists(testreg::kApp2022Key));
}

// A typed destination, the product folder recorded and registered for it, and where its files
// land. A failed case leaves nothing for the next: each folder is removed after its case.
TEST_F(InstallTest, TypedPathGivesTheProductFolderAndItsLoader) {
  const testfs::FixedFolder driveRoot("C:" + kProduct), quorel("C:\\Quorel");
  EXPECT_EQ(Dlg_Setup().destinationPath, quorel.Path());
  const struct {
    std::string typed, product, files;
  } cases[] = {
      // Of two trailing separators, exactly one goes.
      {target / "two\\\\", target / "two\\" + kProduct, target / "two" + kProduct},
      // 淺 ends in byte 5C: it is a character of the folder name, not a separator to remove.
      {target / "淺", target / "淺" + kProduct, target / "淺" + kProduct},
      {"C:\\", "C:" + kProduct, "C:" + kProduct},
      // The default destination.
      {"C:\\Quorel", "C:\\Quorel" + kProduct, "C:\\Quorel" + kProduct},
      // Windows takes "/" for a separator: "C:/Quorel" is absolute, and the text stays as typed.
      {"C:/Quorel", "C:/Quorel" + kProduct, "C:\\Quorel" + kProduct},
      // The one device form installed into: a drive's, as written.
      {"\\\\?\\" + target / "dev", "\\\\?\\" + target / "dev" + kProduct,
       target / "dev" + kProduct},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    theHostRegistry = HostRegistry();
    theHostRegistry.DiscoverHosts();
    EXPECT_EQ(Run(c.typed), IDOK);
    EXPECT_EQ(dialog.destinationPath, c.typed);
    EXPECT_EQ(theHostRegistry.installFolder, c.product);
    EXPECT_EQ(testreg::Loader(testreg::kApp2022Key), c.product + "\\Quorel2021.ZRX" + '\0');
    EXPECT_TRUE(testfs::Exists(c.files + kLibrary + "\\a.dwg"));
    EXPECT_LE(testfs::List(target.Path()).size(), 1u);
    for (const std::string& name : testfs::List(target.Path())) testfs::RemoveTree(target / name);
    testfs::RemoveTree(c.files);
  }
}

// A host that runs at the first press gets the warning only; the second press installs anyway.
TEST_F(InstallTest, RunningHostIsWarnedAboutOnce) {
  ASSERT_NO_FATAL_FAILURE(teststate::StartFresh({ProcessState::RunningHostWarning}));
  testproc::NamedIdle running("ZWCAD.EXE");
  ASSERT_TRUE(running.Running());
  ASSERT_TRUE(WaitUntil([] { return IsHostRunning(); }));

  bool installedAtWarning = true;
  boxes.OnBox([&](const BoxRecord& box, HWND) {
    if (box.caption == kSetupCaption) installedAtWarning = testfs::Exists(target / "w");
  });
  EXPECT_EQ(Run(target / "w", 2), IDOK);

  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 2u);
  deploytest::ExpectOkBox(records[0], kRunningHostText, kSetupCaption);
  EXPECT_FALSE(installedAtWarning);
  EXPECT_EQ(records[1].text, kSuccessText);
  EXPECT_TRUE(testfs::Exists(target / "w" + kProduct + "\\Quorel2021.ZRX"));
}

}  // namespace
