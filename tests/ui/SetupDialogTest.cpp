#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "res/resource.h"
#include "tests/support/Boxes.h"
#include "tests/support/FreshState.h"
#include "tests/support/Registry.h"
#include "tests/support/Screen.h"
#include "ui/Dlg_Setup.h"
#include "ui/DialogTexts.h"

namespace {

using testui::ItemChecked;
using testui::ItemEnabled;
using testui::RunWithDriver;
using testui::WaitUntil;

int BoxOf(int year) {
  return IDC_YEAR_2021 + (year - kFirstHostYear);
}

void Install(int year, const std::string& folder) {
  theHostRegistry.locations[year - kFirstHostYear].push_back(folder);
  theHostRegistry.keyPaths[year - kFirstHostYear].push_back("SOFTWARE\\ZWSOFT\\ZWCAD\\x\\");
}

void MouseClick(HWND control) {
  testui::KeepOnTop(GetAncestor(control, GA_ROOT));
  RECT rect{};
  GetWindowRect(control, &rect);
  // A box's text half is part of the box, so aim a little right of its check mark.
  testui::ClickAt(POINT{rect.left + 20, (rect.top + rect.bottom) / 2});
}

INT_PTR RunSetup(const std::function<void(HWND)>& script) {
  Dlg_Setup dialog;
  return RunWithDriver([&] { return dialog.DoModal(); }, script);
}

// Each case seeds the hosts it shows into the process's host record.
class SetupDialog : public testing::Test {
 protected:
  void SetUp() override { teststate::StartFresh({teststate::ProcessState::HostRecord}); }
};

TEST_F(SetupDialog, TitleCarriesThePackedVersionWithLeadingZeros) {
  EXPECT_EQ(TitleFromVersion(20260805), "Zantrel软件 V2026.08.05");
  EXPECT_EQ(TitleFromVersion(20261231), "Zantrel软件 V2026.12.31");
  EXPECT_EQ(TitleFromVersion(20271009), "Zantrel软件 V2027.10.09");
  EXPECT_EQ(TitleFromVersion(20300110), "Zantrel软件 V2030.01.10");
}

// Discovery of a seeded registry decides which years can be chosen, and Install needs one;
// the rest of the dialog is the same with hosts or without.
TEST_F(SetupDialog, OnlyInstalledYearsAreEnabledAndTicked) {
  const struct {
    std::vector<std::pair<const char*, const char*>> hosts;  // key, "Location"
    std::set<int> years;
  } cases[] = {
      {{}, {}},
      {{{"SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\zh-CN", "C:\\Host2022"},
        {"SOFTWARE\\ZWSOFT\\ZWCADM\\2025 SP1\\zh-CN", "C:\\Host2025\\"}},
       {2022, 2025}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.years.size());
    testreg::CleanHostKeys clean;
    for (const auto& [key, location] : c.hosts) testreg::SetString(key, "Location", location);
    theHostRegistry = HostRegistry();
    theHostRegistry.DiscoverHosts();
    const INT_PTR result = RunSetup([&](HWND dialog) {
      for (int year = kFirstHostYear; year <= kLastHostYear; ++year) {
        const bool installed = c.years.count(year) != 0;
        EXPECT_EQ(ItemEnabled(dialog, BoxOf(year)), installed) << year;
        EXPECT_EQ(ItemChecked(dialog, BoxOf(year)), installed ? BST_CHECKED : BST_UNCHECKED)
            << year;
      }
      EXPECT_EQ(ItemEnabled(dialog, IDC_INSTALL), !c.years.empty());
      EXPECT_TRUE(ItemEnabled(dialog, IDC_BROWSE));
      EXPECT_TRUE(ItemEnabled(dialog, IDC_PATH));
      // The dotted date of the file VERSION, as the build spells it for the bundle's name.
      EXPECT_EQ(testui::ItemText(dialog, IDC_TITLE), "Zantrel软件 V" SETUP_VERSION_DOTTED);
      EXPECT_EQ(testui::ItemText(dialog, IDC_EDITION), kEditionText);
      EXPECT_EQ(testui::ItemText(dialog, IDC_PATH), "C:\\Quorel");
      char caption[64] = {};
      GetWindowTextA(dialog, caption, sizeof(caption));
      EXPECT_STREQ(caption, SETUP_DIALOG_CAPTION);
      EXPECT_NE(SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0), 0);
      EXPECT_FALSE(testui::ItemVisible(dialog, IDC_PROGRESS));
      EXPECT_FALSE(testui::ItemVisible(dialog, IDOK));
    });
    EXPECT_EQ(result, IDCANCEL);
  }
}

TEST_F(SetupDialog, InstallFollowsTheTickedBoxesAndDisabledBoxesIgnoreClicks) {
  Install(2021, "C:\\A");
  Install(2024, "C:\\B");
  RunSetup([](HWND dialog) {
    testui::Click(dialog, BoxOf(2021));
    ASSERT_TRUE(WaitUntil([&] { return ItemChecked(dialog, BoxOf(2021)) == BST_UNCHECKED; }));
    EXPECT_TRUE(ItemEnabled(dialog, IDC_INSTALL));
    testui::Click(dialog, BoxOf(2024));
    EXPECT_TRUE(WaitUntil([&] { return !ItemEnabled(dialog, IDC_INSTALL); }));
    // Real mouse clicks: one on the disabled box of a year that is not installed, then one on an
    // enabled box. Input is handled in order, so once the second has landed the first had its go.
    EXPECT_FALSE(ItemEnabled(dialog, BoxOf(2027)));
    MouseClick(GetDlgItem(dialog, BoxOf(2027)));
    MouseClick(GetDlgItem(dialog, BoxOf(2024)));
    ASSERT_TRUE(WaitUntil([&] { return ItemChecked(dialog, BoxOf(2024)) == BST_CHECKED; }));
    EXPECT_EQ(ItemChecked(dialog, BoxOf(2027)), BST_UNCHECKED);
    EXPECT_TRUE(ItemEnabled(dialog, IDC_INSTALL));
  });
}

// Keys go through the dialog manager's own loop, as typed.
void PressKeyIn(HWND dialog, int id, WPARAM key) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
  PostMessageA(GetDlgItem(dialog, id), WM_KEYDOWN, key, 1);
  PostMessageA(GetDlgItem(dialog, id), WM_KEYUP, key, 0xC0000001);
}

TEST_F(SetupDialog, EnterEndsWithOkAndCopiesThePathBack) {
  Install(2023, "C:\\C");
  Dlg_Setup dialog;
  const INT_PTR result = RunWithDriver([&] { return dialog.DoModal(); },
                                       [](HWND window) {
                                         SetDlgItemTextA(window, IDC_PATH, "D:\\其他");
                                         PressKeyIn(window, IDC_PATH, VK_RETURN);
                                         WaitUntil([&] { return !IsWindow(window); });
                                       });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.destinationPath, "D:\\其他");
  EXPECT_EQ(dialog.selected[2023 - kFirstHostYear], 1);
  EXPECT_EQ(dialog.selected[2021 - kFirstHostYear], 0);
}

TEST_F(SetupDialog, EscapeCancelAndCloseEndWithCancel) {
  Install(2023, "C:\\C");
  const std::pair<const char*, std::function<void(HWND)>> ways[] = {
      {"Escape", [](HWND window) { PressKeyIn(window, BoxOf(2023), VK_ESCAPE); }},
      {"Cancel", [](HWND window) { testui::Click(window, IDCANCEL); }},
      {"Close", [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& [name, way] : ways) {
    SCOPED_TRACE(name);
    EXPECT_EQ(RunSetup([&](HWND window) {
                way(window);
                WaitUntil([&] { return !IsWindow(window); });
              }),
              IDCANCEL);
  }
}

std::size_t CountColour(const std::vector<COLORREF>& pixels, COLORREF colour) {
  return std::count(pixels.begin(), pixels.end(), colour);
}

TEST_F(SetupDialog, PaintsLightBlueWithDarkGreenTitles) {
  Install(2021, "C:\\A");
  RunSetup([](HWND dialog) {
    testui::KeepOnTop(dialog);
    SetForegroundWindow(dialog);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const COLORREF blue = RGB(160, 180, 220), green = RGB(10, 70, 40), black = RGB(0, 0, 0);
    ASSERT_TRUE(WaitUntil([&] {
      const auto all = testui::Capture(dialog);
      return CountColour(all, blue) > all.size() / 2;
    }));
    const auto title = testui::Capture(GetDlgItem(dialog, IDC_TITLE));
    EXPECT_GT(CountColour(title, green), 20u);
    EXPECT_GT(CountColour(title, blue), title.size() / 2);
    EXPECT_EQ(CountColour(title, black), 0u);
    const auto edition = testui::Capture(GetDlgItem(dialog, IDC_EDITION));
    EXPECT_GT(CountColour(edition, green), 20u);
    const auto caption = testui::Capture(GetDlgItem(dialog, IDC_GROUP_CAPTION));
    EXPECT_GT(CountColour(caption, black), 20u);
    EXPECT_EQ(CountColour(caption, green), 0u);
    EXPECT_GT(CountColour(caption, blue), caption.size() / 2);
    const auto box = testui::Capture(GetDlgItem(dialog, BoxOf(2021)));
    EXPECT_GT(CountColour(box, blue), 0u);
    EXPECT_GT(CountColour(box, black), 0u);
    // The path box is light blue but keeps the edit control's own background behind its text.
    const auto path = testui::Capture(GetDlgItem(dialog, IDC_PATH));
    EXPECT_GT(CountColour(path, GetSysColor(COLOR_WINDOW)), 50u);
    EXPECT_GT(CountColour(path, blue), path.size() / 2);
  });
}

}  // namespace
