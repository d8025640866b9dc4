#include "deploy/FolderCopy.h"

#include "tests/deploy/DeployTesting.h"
#include "tests/support/Progress.h"
#include "tests/support/Screen.h"

#include <commctrl.h>

#include <algorithm>

namespace {

using testfs::List;
using testfs::ReadFile;
using testfs::WriteFile;
using Names = std::vector<std::string>;

// "f000.txt" ... for the numbers from..to-1, written into `folder` when one is given.
Names Numbered(int to, int from = 0, const std::string& folder = "") {
  Names names;
  for (int i = from; i < to; ++i) {
    names.push_back("f" + std::to_string(1000 + i).substr(1) + ".txt");
    if (!folder.empty()) WriteFile(folder + "\\" + names.back(), names.back());
  }
  return names;
}

class FolderCopy : public testing::Test {
 protected:
  deploytest::PackageBeside package{"copy"};
  const std::string product = package.root / kProductSubfolder;
  testui::ProgressWindow progress;
  CopyJob Job() const { return CopyJob{product, progress.Run()}; }
};

using PackageCopy = FolderCopy;
using LibraryCopy = FolderCopy;

// The two copies: the subfolder each copies (below the package and the product folder), the
// prompts a held file makes, and the entries its listing is cut after ("." and ".." among them).
const struct {
  std::string subfolder;
  void (*copy)(const CopyJob&);
  std::size_t prompts;
  int limit;
} kCopies[] = {
    {"", [](const CopyJob& job) { EXPECT_TRUE(CopyPackageFiles(job)); }, 1, 101},
    {std::string("\\") + kLibrarySubfolder,
     [](const CopyJob& job) { EXPECT_TRUE(CopyDrawingLibrary(job)); }, 0, 81},
};

TEST_F(PackageCopy, CopiesPlainFilesOnlyAndStepsForEveryEntry) {
  for (const char* name :
       {"a.txt", "Quorel2021.ZRX", "中文名.dll", "Quorel_EN.shx.bak", "sEtUp.ExE", "quorel_en.SHX",
        "QUOREL_HZ.shx", "README", "旧扩展绘图库.txt"})
    WriteFile(package.data + "\\" + name, name);
  testfs::MakeDir(package.data + "\\" + kLibrarySubfolder);
  WriteFile(package.data + "\\" + kLibrarySubfolder + "\\x.dwg", "x");
  testfs::MakeDir(package.data + "\\plain");
  // A subfolder with a further attribute bit (0x12) and a "." in its name.
  testfs::MakeDir(package.data + "\\v1.0");
  SetFileAttributesA((package.data + "\\v1.0").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(testfs::Attributes(package.data + "\\v1.0"), 0x12u);

  testui::BoxAnswerer boxes;
  EXPECT_TRUE(CopyPackageFiles(Job()));
  EXPECT_EQ(List(product), (Names{"Quorel2021.ZRX", "Quorel_EN.shx.bak", "a.txt", "中文名.dll"}));
  EXPECT_EQ(ReadFile(product + "\\中文名.dll"), "中文名.dll");
  EXPECT_EQ(progress.Steps(), 12 + 2 + 1);
  EXPECT_TRUE(boxes.Records().empty());
}

class PromptedCopy : public PackageCopy {
 protected:
  void SetUp() override {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      WriteFile(package.data + "\\" + name, name);
    testfs::MakeDir(product);
  }
  const std::string held = product + "\\b.txt";
};

TEST_F(PromptedCopy, AbortKeepsEarlierFilesAndStopsAtOnce) {
  SetForegroundWindow(progress.Frame());
  SetActiveWindow(progress.Frame());
  ASSERT_EQ(GetActiveWindow(), progress.Frame());
  testfs::HeldOpen lock(held);
  testui::BoxAnswerer boxes({IDABORT});
  // The steps before the prompt come within a frame, with the bar's drawing switched off.
  bool barShown = false;
  boxes.OnBox([&](const testui::BoxRecord&, HWND) { barShown = IsWindowVisible(progress.Bar()); });
  EXPECT_FALSE(CopyPackageFiles(Job()));
  lock.Release();
  EXPECT_TRUE(barShown) << "the bar was switched off behind the prompt";

  ASSERT_EQ(boxes.Records().size(), 1u);
  const testui::BoxRecord box = boxes.Records()[0];
  EXPECT_EQ(box.text, deploytest::CopyPromptText(held));
  EXPECT_EQ(box.caption, kSetupCaption);
  EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE));
  EXPECT_FALSE(box.hasIcon);
  // Owned by the active window, which the box disables.
  EXPECT_EQ(box.owner, progress.Frame());
  EXPECT_FALSE(box.ownerEnabled);

  EXPECT_EQ(List(product), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(ReadFile(held), "");
  EXPECT_EQ(progress.Steps(), 4);  // ".", "..", a.txt, b.txt
}

TEST_F(PromptedCopy, RetryCopiesAgainOnceTheFileIsFree) {
  testfs::HeldOpen lock(held);
  testui::BoxAnswerer boxes({IDRETRY});
  boxes.OnBox([&](const testui::BoxRecord&, HWND) { lock.Release(); });
  EXPECT_TRUE(CopyPackageFiles(Job()));
  EXPECT_EQ(boxes.Records().size(), 1u);
  EXPECT_EQ(ReadFile(held), "b.txt");
  EXPECT_EQ(ReadFile(product + "\\c.txt"), "c.txt");
}

TEST_F(PromptedCopy, IgnoreGivesUpThatFileAndGoesOn) {
  testfs::HeldOpen lock(held);
  testui::BoxAnswerer boxes({IDRETRY, IDIGNORE});
  EXPECT_TRUE(CopyPackageFiles(Job()));
  lock.Release();
  EXPECT_EQ(boxes.Records().size(), 2u);
  EXPECT_EQ(ReadFile(held), "");
  EXPECT_EQ(ReadFile(product + "\\c.txt"), "c.txt");
  EXPECT_EQ(progress.Steps(), 6);
}

// Windows' CopyFileA will not replace a hidden or system file (Wine does): both copies clear
// those bits with read-only before they copy, so an earlier copy never makes a prompt come back.
// A read-only source leaves neither itself nor its copy read-only.
TEST_F(FolderCopy, EarlierHiddenSystemReadOnlyFilesAreReplaced) {
  const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  for (const auto& c : kCopies) {
    SCOPED_TRACE(c.subfolder);
    const std::string from = package.data + c.subfolder;
    const std::string to = product + c.subfolder;
    testfs::MakeFolders(from);
    testfs::MakeFolders(to);
    for (const char* name : {"\\a.txt", "\\held.txt"}) {
      WriteFile(from + name, "new");
      WriteFile(to + name, "old");
      SetFileAttributesA((to + name).c_str(), blocking | FILE_ATTRIBUTE_ARCHIVE);
    }
    SetFileAttributesA((from + "\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    // A copy that then fails shows what was cleared before it.
    testfs::HeldOpen lock(to + "\\held.txt");
    testui::BoxAnswerer boxes({IDIGNORE});
    c.copy(Job());
    lock.Release();
    EXPECT_EQ(boxes.Records().size(), c.prompts);
    EXPECT_EQ(ReadFile(to + "\\a.txt"), "new");
    EXPECT_EQ(testfs::Attributes(to + "\\a.txt") & blocking, 0u);
    EXPECT_EQ(testfs::Attributes(from + "\\a.txt") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(testfs::Attributes(to + "\\held.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    testfs::RemoveTree(product);
  }
}

TEST_F(PackageCopy, InstallFolderTooLongIsNeverCutShort) {
  WriteFile(package.data + "\\a.txt", "a");
  const std::string tooLong = package.root / std::string(300 - package.root.Path().size(), 'z');
  testui::BoxAnswerer boxes({IDRETRY, IDIGNORE});
  EXPECT_TRUE(CopyPackageFiles(CopyJob{tooLong, progress.Run()}));
  ASSERT_EQ(boxes.Records().size(), 2u);
  EXPECT_NE(boxes.Records()[0].text.find(" " + tooLong + "\\a.txt "), std::string::npos);
  EXPECT_EQ(List(package.root.Path()), Names{kPackageSubfolder});
}

// A listing is cut after its first entries, "." and ".." among them: the package's after 101,
// the library's after 81. Below the limit one more pass finds the end; at it and past it, the
// files within it are copied.
TEST_F(FolderCopy, ListingsAreCutAtTheirEntryLimit) {
  for (const auto& c : kCopies) {
    const std::string from = package.data + c.subfolder;
    testfs::MakeDir(from);
    for (int files : {c.limit - 3, c.limit - 2, c.limit + 49}) {
      SCOPED_TRACE(c.subfolder + " with " + std::to_string(files) + " files");
      Numbered(files, static_cast<int>(List(from).size()), from);
      testfs::RemoveTree(product);
      testfs::MakeDir(product);
      progress.Reset();
      c.copy(Job());
      EXPECT_EQ(progress.Steps(), c.limit);
      EXPECT_EQ(List(product + c.subfolder), Numbered(std::min(files, c.limit - 2)));
    }
  }
}

// Steps closer together than a frame are not all drawn at once; whatever paints the bar next
// must show the position reached, not a picture left from an earlier step.
TEST_F(FolderCopy, BarShowsThePositionReachedOnceItIsPainted) {
  Numbered(40, 0, package.data);
  const struct {
    const char* what;
    int steps;
    std::function<void(const testui::ProgressWindow& window)> step;
  } cases[] = {
      {"20 steps of 50", 20,
       [](const testui::ProgressWindow& window) {
         window.Run().Start(50);
         for (int i = 0; i < 20; ++i) window.Run().Step();
       }},
      {"a copy of 40 files", 43,
       [&](const testui::ProgressWindow& window) {
         EXPECT_TRUE(CopyPackageFiles(CopyJob{product, window.Run()}));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testui::ProgressWindow window;
    UpdateWindow(window.Frame());
    const std::vector<COLORREF> empty = testui::Capture(window.Bar());
    // Screen readers and UI automation see a bar without WS_VISIBLE as hidden.
    int hiddenSteps = 0;
    testui::MessageSpy spy;
    spy.Attach(window.Bar(), [&](UINT message, WPARAM, LPARAM) {
      if (message == PBM_STEPIT && !IsWindowVisible(window.Bar())) ++hiddenSteps;
    });
    c.step(window);
    EXPECT_EQ(window.Steps(), c.steps);
    EXPECT_EQ(hiddenSteps, 0);
    UpdateWindow(window.Bar());
    const std::vector<COLORREF> shown = testui::Capture(window.Bar());
    InvalidateRect(window.Bar(), nullptr, TRUE);
    UpdateWindow(window.Bar());
    const std::vector<COLORREF> redrawn = testui::Capture(window.Bar());
    ASSERT_NE(redrawn, empty) << "the capture does not see the bar";
    EXPECT_EQ(shown, redrawn);
  }
}

TEST_F(LibraryCopy, CopiesTheLibraryFlatWithoutNameRulesOrPrompts) {
  const std::string library = package.data + "\\" + kLibrarySubfolder;
  testfs::MakeDir(library);
  for (const char* name : {"x.dwg", "y.dwg", "z.dwg", kInstallerName, "noext", kFontNames[0]})
    WriteFile(library + "\\" + name, name);
  testfs::MakeDir(library + "\\nested");
  WriteFile(library + "\\nested\\deep.dwg", "deep");
  testfs::MakeDir(library + "\\v1.0");
  SetFileAttributesA((library + "\\v1.0").c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::string copied = product + "\\" + kLibrarySubfolder;
  testfs::MakeFolders(copied);

  testfs::HeldOpen lock(copied + "\\y.dwg");
  testui::BoxAnswerer boxes;
  CopyDrawingLibrary(Job());
  lock.Release();
  EXPECT_EQ(List(copied),
            (Names{kFontNames[0], kInstallerName, "noext", "x.dwg", "y.dwg", "z.dwg"}));
  EXPECT_EQ(ReadFile(copied + "\\y.dwg"), "");
  EXPECT_EQ(ReadFile(copied + "\\z.dwg"), "z.dwg");
  EXPECT_EQ(progress.Steps(), 8 + 2 + 1);
  EXPECT_TRUE(boxes.Records().empty());
}

// A missing library makes its empty folder in one step; without a package, each copy shows the
// one box and makes nothing, no folder either.
TEST_F(FolderCopy, MissingLibraryOrPackage) {
  testfs::MakeDir(product);
  testui::BoxAnswerer boxes;
  CopyDrawingLibrary(Job());
  EXPECT_EQ(progress.Steps(), 1);
  EXPECT_EQ(List(product), Names{kLibrarySubfolder});
  EXPECT_TRUE(List(product + "\\" + kLibrarySubfolder).empty());

  testfs::RemoveTree(package.data);
  testfs::RemoveTree(product + "\\" + kLibrarySubfolder);
  progress.Reset();
  CopyDrawingLibrary(Job());
  EXPECT_TRUE(List(product).empty());
  testfs::RemoveTree(product);
  EXPECT_FALSE(CopyPackageFiles(Job()));
  EXPECT_FALSE(testfs::Exists(product));
  ASSERT_EQ(boxes.Records().size(), 2u);
  for (const testui::BoxRecord& box : boxes.Records()) deploytest::ExpectNoPackageBox(box);
  EXPECT_EQ(progress.Steps(), 0);
}

TEST_F(LibraryCopy, DestinationTooLongIsSkippedSilently) {
  const std::string library = package.data + "\\" + kLibrarySubfolder;
  testfs::MakeDir(library);
  WriteFile(library + "\\x.dwg", "x");
  // The install folder fits its buffer; with "\Quorel扩展绘图库" (17 bytes) it no longer does.
  const std::string folder = package.root / std::string(250 - package.root.Path().size() - 1, 'z');
  testfs::MakeDir(folder);
  ASSERT_TRUE(testfs::Exists(folder));
  testui::BoxAnswerer boxes;
  CopyDrawingLibrary(CopyJob{folder, progress.Run()});
  EXPECT_TRUE(List(folder).empty());
  EXPECT_TRUE(boxes.Records().empty());
  // One step, as for a library that cannot be listed: the count never depends on the path.
  EXPECT_EQ(progress.Steps(), 1);
}

}  // namespace
