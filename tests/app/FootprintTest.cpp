// The installer writes nothing but what it should: the whole C: drive of the prefix and the
// registry below HKLM are snapshotted before a run of the built SetUp.exe and compared after it.

#include <windows.h>
#include <algorithm>
#include <cstdio>

#include "deploy/DeployTexts.h"
#include "tests/app/AppTesting.h"
#include "tests/support/Drive.h"
#include "tests/support/Snapshot.h"
#include "ui/DialogTexts.h"

namespace {

// Entry (a path, or a registry key or value) -> what is recorded of it.
using Snapshot = std::map<std::string, std::string>;

// The whole drive, with the contents of its small files, and the registry below HKLM\SOFTWARE and
// HKLM\SYSTEM. Measured here, Wine itself writes nothing there during a run (its services are up
// before the tests start); what the drive listing leaves out is the test platform's (Drive.h).
Snapshot TakeSnapshot() {
  Snapshot snapshot;
  for (const auto& [path, record] : testfs::ListDrive(true))
    snapshot[testfs::Narrow(path)] = testfs::Narrow(record);
  for (const char* root : {"SOFTWARE", "SYSTEM"}) testreg::ReadTree(root, snapshot);
  return snapshot;
}

// The differences as text, one line each in entry order.
std::string Join(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end(),
            [](const std::string& a, const std::string& b) { return a.substr(2) < b.substr(2); });
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A package with a read-only file in it, three hosts (2022 and 2025 chosen, 2023 not; 2025 has no
// Fonts folder), and the installer started beside it.
class Footprint : public ::testing::Test {
 protected:
  void SetUp() override {
    testfs::RemoveTree(setup.hosts / "2025\\Fonts");
    testreg::SeedHost(kHost2023Key, setup.hosts / "2023");
    for (const std::string& file : {setup.data + "\\Quorel2021.ZRX", dataLibrary + "\\图块.dwg"})
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  }

  // Runs the installer `exe` with 2023 unchosen, driven by `script` (by default: the target typed,
  // Install pressed, the first box waited for). Takes the first snapshot unless the test has.
  void Run(testproc::InstallerScript script = {}, const std::string& exe = {}) {
    if (before.empty()) before = TakeSnapshot();
    if (!script) script = testproc::InstallInto(setup.target.Path());
    ASSERT_NO_FATAL_FAILURE(testproc::RunInstaller(
        exe.empty() ? setup.exe : exe,
        [&](HWND dialog, testui::BoxAnswerer& boxes) {
          SendDlgItemMessageA(dialog, IDC_YEAR_2023, BM_SETCHECK, BST_UNCHECKED, 0);
          script(dialog, boxes);
        },
        run));
  }
  // "+ entry", "- entry" and "~ entry: before -> after", one line each, since the first snapshot.
  std::vector<std::string> Changes() const {
    std::vector<std::string> lines;
    for (const auto& change : testsnap::Compare(before, TakeSnapshot()))
      lines.push_back(std::string(1, change.kind) + " " + change.entry +
                      (change.kind == '~' ? ": " + change.before + " -> " + change.after : ""));
    return lines;
  }

  // A package file whose read-only bit the copies cleared (nothing else of the package changes).
  std::string ReadOnlyCleared(const std::string& path) const {
    const std::string record = before.at(path);
    unsigned long attributes = 0;
    std::sscanf(record.c_str(), "attributes %lx", &attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << record;
    char cleared[32];
    std::snprintf(cleared, sizeof(cleared), "attributes %lx",
                  attributes & ~static_cast<unsigned long>(FILE_ATTRIBUTE_READONLY));
    return "~ " + path + ": " + record + " -> " + cleared + record.substr(record.find(" size"));
  }

  static constexpr const char* kHost2023Key = "SOFTWARE\\ZWSOFT\\ZWCAD\\2023";
  apptest::InstallerBeside setup;
  const std::string dataLibrary = setup.data + "\\" + kLibrarySubfolder;
  Snapshot before;
  testproc::InstallerRun run;
};

TEST_F(Footprint, SuccessWritesTheProductTheChosenHostsFontsAndTheApplicationKeys) {
  ASSERT_NO_FATAL_FAILURE(Run());
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, kSuccessText);

  const std::string product = setup.product, library = setup.library;
  std::vector<std::string> expected = {
      "+ " + product,
      "+ " + product + "\\Quorel2021.ZRX",
      "+ " + product + "\\Quorel2025.ZRX",
      "+ " + library,
      "+ " + library + "\\图块.dwg",
      "+ " + product + "\\帮助.chm",
      "+ " + setup.hosts / "2022\\Fonts\\" + kFontNames[0],
      "+ " + setup.hosts / "2022\\Fonts\\" + kFontNames[1],
      ReadOnlyCleared(setup.data + "\\Quorel2021.ZRX"),
      ReadOnlyCleared(dataLibrary + "\\图块.dwg"),
  };
  for (const auto& [key, year] :
       {std::pair<std::string, std::string>{apptest::kHost2025Key, "2025"},
        {apptest::kHost2022Key, "2022"}}) {
    const std::string app = key + "\\Applications\\Quorel" + year;
    for (const std::string& entry :
         {key + "\\Applications", app, app + " : LOADCTRLS", app + " : LOADER"})
      expected.push_back("+ HKLM\\" + entry);
  }
  EXPECT_EQ(Join(Changes()), Join(expected));
}

TEST_F(Footprint, AbortWritesOnlyTheFilesCopiedBeforeIt) {
  // A copy of Quorel2025.ZRX that cannot be replaced: held open without sharing.
  testfs::MakeDir(setup.product);
  testfs::WriteFile(setup.product + "\\Quorel2025.ZRX", "old");
  before = TakeSnapshot();
  testfs::HeldOpen held(setup.product + "\\Quorel2025.ZRX");
  ASSERT_TRUE(held.Held());
  ASSERT_NO_FATAL_FAILURE(Run([&](HWND dialog, testui::BoxAnswerer& boxes) {
    boxes.Answer({IDABORT});
    testproc::InstallInto(setup.target.Path())(dialog, boxes);
  }));
  held.Release();
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE));
  EXPECT_EQ(Join(Changes()), Join({"+ " + setup.product + "\\Quorel2021.ZRX",
                                   ReadOnlyCleared(setup.data + "\\Quorel2021.ZRX")}));
  EXPECT_EQ(testfs::ReadFile(setup.product + "\\Quorel2025.ZRX"), "old");
}

// The refusals: a running host's warning (then Cancel) writes nothing, and a package that is not
// there leaves only the product folder made before the package was looked for.
TEST_F(Footprint, RefusalsLeaveOnlyTheEmptyProductFolder) {
  testfs::TempDir bare("bare");
  const std::string withoutPackage = bare / "SetUp.exe";
  ASSERT_TRUE(CopyFileA(setup.exe.c_str(), withoutPackage.c_str(), FALSE));
  before = TakeSnapshot();
  {
    testproc::NamedIdle host("zwcad.exe");
    ASSERT_TRUE(host.Running());
    ASSERT_NO_FATAL_FAILURE(Run([&](HWND dialog, testui::BoxAnswerer& boxes) {
      testui::InstallInto(dialog, setup.target.Path());
      ASSERT_TRUE(boxes.WaitForAnswered(1, dialog, 30000));
      testui::Click(dialog, IDCANCEL);
    }));
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kRunningHostText);
    EXPECT_FALSE(testfs::Exists(setup.product));
  }
  ASSERT_NO_FATAL_FAILURE(Run({}, withoutPackage));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, kSetupCaption);
  EXPECT_EQ(Join(Changes()), Join({"+ " + setup.product}));
}

}  // namespace
