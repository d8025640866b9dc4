// Hostile packages and destinations, and a user who clicks while a prompt is open: the whole
// installation runs in this process behind the real setup dialog, every box answered for real.

#include <windows.h>
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/support/FreshState.h"
#include "tests/support/Progress.h"
#include "tests/support/Registry.h"
#include "ui/Dlg_Setup.h"
#include "ui/DialogTexts.h"

namespace {

using testui::BoxAnswerer;
using testui::BoxRecord;
using testui::WaitUntil;
using Names = std::vector<std::string>;

POINT CentreOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}
// Clicks until `done` holds, a few times at most, in case a click is lost on a busy screen (a
// second click where the first took effect lands on no window of this test).
bool ClickUntil(POINT point, const std::function<bool()>& done) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    testui::ClickAt(point);
    if (WaitUntil(done, 5000)) return true;
  }
  return false;
}

// A package beside the installer, one host (2022) with a Fonts folder, a destination, and the
// real dialog run modally with a driver.
class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::StartFresh({teststate::ProcessState::HostRecord});
    testreg::SeedHost(testreg::kHost2022Key, host.Path());
    theHostRegistry.DiscoverHosts();
    ASSERT_EQ(theHostRegistry.locations[1].size(), 1u);
    dialog.destinationPath = target.Path();
  }

  // Runs the dialog; `press` presses Install (a posted click unless told otherwise) once the
  // counters are in place, then the driver waits for the dialog to end.
  INT_PTR Run(const std::function<void(HWND)>& press = nullptr) {
    return testui::RunWithDriver(
        [&] { return dialog.DoModal(); },
        [&](HWND window) {
          progress.Attach(GetDlgItem(window, IDC_PROGRESS));
          // The Install and Cancel commands the dialog receives.
          dialogSpy.Attach(window, [this](UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
                (LOWORD(wParam) == IDC_INSTALL || LOWORD(wParam) == IDCANCEL))
              ++commands;
          });
          press ? press(window) : testui::Click(window, IDC_INSTALL);
          EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 60000));
        },
        30000);
  }

  // A real click on Install (once the dialog is the active window), repeated only if it was lost.
  void PressInstallWithTheMouse(HWND window) {
    testui::KeepOnTop(window);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
    ASSERT_TRUE(ClickUntil(CentreOf(GetDlgItem(window, IDC_INSTALL)),
                           [&] { return !boxes.Records().empty(); }));
  }

  void WritePackage(const Names& names) const {
    for (const std::string& name : names) testfs::WriteFile(package.data + "\\" + name, name);
  }
  // The package a.txt, b.txt, c.txt and, in the product folder, the b.txt of an earlier
  // installation ("old"); returns that file's path.
  std::string EarlierB() const {
    WritePackage({"a.txt", "b.txt", "c.txt"});
    testfs::MakeDir(product);
    testfs::WriteFile(product + "\\b.txt", "old");
    return product + "\\b.txt";
  }

  testreg::CleanHostKeys clean;
  deploytest::PackageBeside package{"hostile"};
  testfs::TempDir host{"host"};
  testfs::TempDir target{"dest"};
  const std::string product = target / kProductSubfolder;
  const std::string promptForB = deploytest::CopyPromptText(product + "\\b.txt");
  Dlg_Setup dialog;
  BoxAnswerer boxes;
  testui::ProgressCounter progress;
  testui::MessageSpy dialogSpy;
  std::atomic<int> commands{0};
};

// Only the first 101 listing entries ("." and ".." among them; sorted here) are looked at: 99
// files copied, 101 steps for the package, 1 for the missing library, 3 for the stages.
TEST_F(Hostile, PackageOfManyEntriesIsCutAfterTheFirst101) {
  Names all;
  for (int i = 1000; i < 1150; ++i) all.push_back("f" + std::to_string(i).substr(1) + ".txt");
  WritePackage(all);
  EXPECT_EQ(Run(), IDOK);
  Names copied(all.begin(), all.begin() + 99);
  // The library's folder is made whether the package has a library or not.
  copied.insert(copied.begin(), kLibrarySubfolder);
  EXPECT_EQ(testfs::List(product), copied);
  EXPECT_EQ(progress.Steps(), 101 + 1 + 3);
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, kSuccessText);
}

// A destination file held open without sharing (the host still running) fails every Retry and
// stays as it was; Ignore goes on with the rest, Abort ends with nothing registered.
TEST_F(Hostile, LockedDestinationFailsEveryRetryUntilIgnoredOrAborted) {
  const struct {
    std::vector<int> answers;
    INT_PTR result;
    Names product;  // registered as well when the result is IDOK
  } cases[] = {
      {{IDRETRY, IDRETRY, IDRETRY, IDIGNORE}, IDOK, {kLibrarySubfolder, "a.txt", "b.txt", "c.txt"}},
      {{IDRETRY, IDRETRY, IDABORT}, IDCANCEL, {"a.txt", "b.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers.size());
    testfs::RemoveTree(product);
    testreg::DeleteTree(testreg::kApp2022Key);
    testfs::HeldOpen held(EarlierB());
    ASSERT_TRUE(held.Held());
    const std::size_t before = boxes.Records().size();
    boxes.Answer(c.answers);
    EXPECT_EQ(Run(), c.result);
    held.Release();
    const auto records = boxes.Records();
    ASSERT_EQ(records.size(), before + c.answers.size() + (c.result == IDOK ? 1 : 0));
    for (std::size_t i = 0; i < c.answers.size(); ++i)
      EXPECT_EQ(records[before + i].text, promptForB) << i;
    if (c.result == IDOK) {
      EXPECT_EQ(records.back().text, kSuccessText);
    }
    EXPECT_EQ(testfs::List(product), c.product);
    EXPECT_EQ(testfs::ReadFile(product + "\\b.txt"), "old");
    EXPECT_EQ(testreg::KeyExists(testreg::kApp2022Key), c.result == IDOK);
  }
}

// A read-only, hidden or system destination is replaced without a prompt and left without the
// bit: cleared first, so Windows' refusal to copy onto a hidden or system file never comes up.
TEST_F(Hostile, ReadOnlyHiddenOrSystemDestinationIsReplacedAndLeftPlain) {
  for (DWORD bit : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    SCOPED_TRACE(bit);
    const std::size_t before = boxes.Records().size();
    SetFileAttributesA(EarlierB().c_str(), bit);
    EXPECT_EQ(Run(), IDOK);
    ASSERT_EQ(boxes.Records().size(), before + 1);
    EXPECT_EQ(testfs::ReadFile(product + "\\b.txt"), "b.txt");
    EXPECT_EQ(testfs::Attributes(product + "\\b.txt") & bit, 0u);
  }
}

// Real clicks on Install and Cancel while a box is open reach nothing: the box's owner, the
// dialog, is disabled. A real click on the box's own button follows them, so once the box has
// taken it the two clicks before it have been handled too.
void ClickDialogButtonsThenBox(HWND box, int boxButton) {
  HWND dialog = testui::FindSetupDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowEnabled(dialog));
  // The box away from the dialog's buttons, both above every other window.
  SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  testui::KeepOnTop(dialog);
  testui::KeepOnTop(box);
  // A click that changes the active window midway is lost on its way to a button: start once the
  // box is the active window, as it is for the user.
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }));
  RECT boxRect{};
  GetWindowRect(box, &boxRect);
  for (int id : {IDC_INSTALL, IDCANCEL}) {
    const POINT point = CentreOf(GetDlgItem(dialog, id));
    ASSERT_FALSE(PtInRect(&boxRect, point)) << "the box covers button " << id;
    testui::ClickAt(point);
  }
  ASSERT_TRUE(ClickUntil(CentreOf(GetDlgItem(box, boxButton)), [&] { return !IsWindow(box); }));
}

TEST_F(Hostile, ClicksOnTheDialogDuringTheCopyPromptDoNothing) {
  WritePackage({"a.txt", "b.txt", "c.txt"});
  testfs::MakeDir(product);
  testfs::HeldOpen held(product + "\\b.txt");
  bool visibleAfterClicks = false;
  int commandsAfterClicks = -1;
  boxes.OnBox([&](const BoxRecord& box, HWND window) {
    if (box.buttons != testui::ButtonsOf(MB_ABORTRETRYIGNORE)) return;
    if (boxes.Records().size() == 1) {
      ClickDialogButtonsThenBox(window, IDRETRY);
    } else {
      // The first box took the Retry click, so the clicks on the dialog were handled before it.
      HWND dialog = testui::FindSetupDialog();
      visibleAfterClicks = dialog && IsWindowVisible(dialog);
      commandsAfterClicks = commands;
    }
  });
  // The first box is answered by the real click on Retry; the second by Ignore.
  boxes.Answer({IDRETRY, IDIGNORE});
  // Install itself is pressed with a real click too: the clicks do reach the dialog when no box
  // is open.
  EXPECT_EQ(Run([&](HWND window) { PressInstallWithTheMouse(window); }), IDOK);
  held.Release();
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text, promptForB);
  EXPECT_EQ(records[1].text, promptForB);
  EXPECT_FALSE(records[0].ownerEnabled);
  EXPECT_EQ(records[2].text, kSuccessText);
  EXPECT_TRUE(visibleAfterClicks);
  EXPECT_EQ(commandsAfterClicks, 1);  // the first press of Install only
  EXPECT_EQ(commands, 1);
  EXPECT_EQ(testfs::ReadFile(product + "\\c.txt"), "c.txt");
}

TEST_F(Hostile, ClicksOnTheDialogDuringTheMissingPackageBoxDoNothing) {
  testfs::RemoveTree(package.data);
  boxes.OnBox([&](const BoxRecord&, HWND window) { ClickDialogButtonsThenBox(window, IDOK); });
  EXPECT_EQ(Run([&](HWND window) { PressInstallWithTheMouse(window); }), IDCANCEL);
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  deploytest::ExpectNoPackageBox(records[0]);
  EXPECT_FALSE(records[0].ownerEnabled);
  EXPECT_EQ(commands, 1);
  EXPECT_FALSE(testreg::KeyExists(testreg::kApp2022Key));
}

}  // namespace
