#include <windows.h>
#include "res/resource.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"
#include "tests/support/FreshState.h"
#include "ui/Dlg_Setup.h"
#include "ui/FolderPicker.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

using testui::WaitUntil;

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[MAX_PATH] = {};
  TVITEMA entry{TVIF_TEXT, item, 0, 0, text, MAX_PATH, 0, 0, 0, 0};
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
  return text;
}

// The item `code` names from `item` (the caret: the selected one).
HTREEITEM Next(HWND tree, UINT code, HTREEITEM item = nullptr) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM Selected(HWND tree) {
  return Next(tree, TVGN_CARET);
}

// What the browser opened on, read once it has settled.
struct Browse {
  bool opened = false, ownerDisabled = false;
  std::string selected;
};

// Cancels the browser and waits until the dialog has it back.
void CloseBrowser(HWND dialog, HWND browser) {
  PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
  WaitUntil([&] { return !IsWindow(browser); });
  WaitUntil([&] { return IsWindowEnabled(dialog) != FALSE; });
}

// Presses Browse, records the browser's selection once it is `expected` (or, failing that, after a
// bounded wait), then lets `choose` act on it (nothing: cancel). When Wine's desktop has been up
// since an earlier test program (always in a whole-suite run), its browser often stays on its own
// default (文档) although the preselection was sent while it initialised; the user's answer is to
// press Browse again, and so is the test's, once. A picker that does not preselect fails both.
Browse BrowseOnce(HWND dialog, const std::string& expected,
                  const std::function<void(HWND browser, HWND tree)>& choose = {}) {
  Browse result;
  HWND browser = nullptr;
  HWND tree = nullptr;
  for (int press = 1;; ++press) {
    testui::Click(dialog, IDC_BROWSE);
    if (!WaitUntil([&] { return (browser = testui::FindBrowser(dialog)) != nullptr; }))
      return result;
    tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    result.opened = WaitUntil([&] { return Selected(tree) != nullptr; });
    // The browser selects its own default first; the preselection follows it.
    if (WaitUntil([&] { return ItemText(tree, Selected(tree)) == expected; }, 5000) || press == 2)
      break;
    CloseBrowser(dialog, browser);
  }
  result.ownerDisabled = !IsWindowEnabled(dialog);
  result.selected = ItemText(tree, Selected(tree));
  if (choose) choose(browser, tree);
  // Cancel unless `choose` closed it (also when one of its assertions gave up).
  if (!WaitUntil([&] { return !IsWindow(browser); }, choose ? 5000 : 0))
    CloseBrowser(dialog, browser);
  WaitUntil([&] { return IsWindowEnabled(dialog) != FALSE; });
  return result;
}

class FolderPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::StartFresh(
        {teststate::ProcessState::HostRecord, teststate::ProcessState::LastChosenFolder});
    testfs::MakeDir(root / "Quorel");
    testfs::MakeDir(root / "其他");
    theHostRegistry.locations[0].push_back("C:\\Host");
    theHostRegistry.keyPaths[0].push_back("SOFTWARE\\x\\");
  }
  // Runs the dialog modally, `script` acting on it.
  void Drive(const std::function<void(HWND)>& script) {
    testui::RunWithDriver([&] { return dialog.DoModal(); }, script);
  }
  testfs::TempDir root{"pick"};
  Dlg_Setup dialog;
};

TEST_F(FolderPickerTest, OpensOnThePathBoxFolderAndCancelChangesNothing) {
  dialog.destinationPath = root / "Quorel";
  Drive([&](HWND window) {
    const Browse browse = BrowseOnce(window, "Quorel");
    EXPECT_TRUE(browse.opened);
    EXPECT_TRUE(browse.ownerDisabled);
    EXPECT_EQ(browse.selected, "Quorel");
    EXPECT_EQ(testui::ItemText(window, IDC_PATH), root / "Quorel");
  });
  EXPECT_EQ(theLastChosenFolder, root / "Quorel");
}

// An empty path box opens on the last chosen folder: here the path an earlier browse started from.
TEST_F(FolderPickerTest, EmptyPathOpensOnTheLastChosenFolder) {
  dialog.destinationPath = root / "其他";
  Drive([&](HWND window) {
    EXPECT_EQ(BrowseOnce(window, "其他").selected, "其他");
    SetDlgItemTextA(window, IDC_PATH, "");
    const Browse again = BrowseOnce(window, "其他");
    EXPECT_TRUE(again.opened);
    EXPECT_EQ(again.selected, "其他");
    EXPECT_EQ(testui::ItemText(window, IDC_PATH), "");
  });
}

TEST_F(FolderPickerTest, CancelledBrowseStillAppliesTheInstallRule) {
  dialog.destinationPath = root / "Quorel";
  Drive([&](HWND window) {
    // Untick silently (no click notification), so only the browse can apply the rule.
    SendDlgItemMessageA(window, IDC_YEAR_2021, BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(testui::ItemEnabled(window, IDC_INSTALL));
    BrowseOnce(window, "Quorel");
    // The rule runs once the browser has gone.
    EXPECT_TRUE(WaitUntil([&] { return !testui::ItemEnabled(window, IDC_INSTALL); }));
  });
}

// The user picks another folder in the tree and confirms: it replaces the whole path.
TEST_F(FolderPickerTest, ChosenFolderReplacesThePath) {
  dialog.destinationPath = root / "Quorel";
  Drive([&](HWND window) {
    BrowseOnce(window, "Quorel", [&](HWND browser, HWND tree) {
      HTREEITEM child = Next(tree, TVGN_CHILD, Next(tree, TVGN_PARENT, Selected(tree)));
      while (child && ItemText(tree, child) != "其他") child = Next(tree, TVGN_NEXT, child);
      ASSERT_NE(child, nullptr);
      SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
      ASSERT_TRUE(WaitUntil([&] { return Selected(tree) == child; }));
      PostMessageA(browser, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(testui::ItemText(window, IDC_PATH), root / "其他");
  });
  EXPECT_EQ(theLastChosenFolder, root / "其他");
}

}  // namespace
