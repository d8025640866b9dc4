// The Install command at its path limits, from a table of lengths and outcomes: a destination is
// refused up front (the stop box, nothing made, the dialog left open) when its product folder
// ("<destination>\Zantrel") is longer than 230 bytes (CreateDirectoryA's 247 characters less
// "\Quorel扩展绘图库"), or when a package file "<product>\<name>" or a library file
// "<product>\Quorel扩展绘图库\<name>" would not fit MAX_PATH. The dialog runs modally and for
// real, and the whole drive C: is compared before and after.

#include <windows.h>
#include <cstring>

#include "framework/ErrorReport.h"
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/deploy/PathLimits.h"
#include "tests/support/FreshState.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"
#include "ui/Dlg_Setup.h"

namespace {

// How the destination is typed: ASCII, ending in 淺, with a trailing "\" or "/".
enum Typed { kPlain = 1, kEnds5C = 2, kBackslash = 4, kSlash = 8, kAnyTyping = 15 };
// A further file's name: ASCII or double-byte before ".txt", or ASCII without a dot.
enum Names { A = 1, D = 2, AD = 3, N = 4 };
enum Where { kNowhere, kPackage, kLibrary };

// Each bit of `typed` and of `names` in a row is a case of its own.
struct Case {
  const char* what;
  int typed;
  std::size_t productBytes;  // "<destination>\Zantrel", a typed trailing separator not counted
  Where where;               // of a further file
  std::size_t nameBytes;
  int names;
  bool installs;     // whole, or refused
  bool extraCopied;  // the further package file is in the product folder
};

// clang-format off
const Case kCases[] = {
  {"product folder",             kAnyTyping, 230, kNowhere, 0,   A,  true,  false},
  {"product folder",             kAnyTyping, 231, kNowhere, 0,   A,  false, false},
  // "<product>\<name>": 208 + 1 + 50 = 259 bytes.
  {"package file",               kPlain,     208, kPackage, 50,  AD, true,  true},
  {"package file",               kPlain,     208, kPackage, 51,  AD, false, false},
  {"package file at the limit",  kPlain,     230, kPackage, 28,  A,  true,  true},
  {"package file at the limit",  kPlain,     230, kPackage, 29,  A,  false, false},
  // A name of 255 characters fits no destination at all.
  {"package name of 255",        kPlain,     208, kPackage, 255, A,  false, false},
  // A name the copy leaves out makes no path, however long.
  {"package name without a dot", kPlain,     208, kPackage, 60,  N,  true,  false},
  // "<product>\Quorel扩展绘图库\<name>": 208 + 17 + 1 + 33 = 259 bytes.
  {"library file",               kPlain,     208, kLibrary, 33,  AD, true,  false},
  {"library file",               kPlain,     208, kLibrary, 34,  AD, false, false},
  {"library name of 255",        kPlain,     208, kLibrary, 255, A,  false, false},
  {"library file at the limit",  kEnds5C,    230, kLibrary, 11,  A,  true,  false},
  {"library file at the limit",  kEnds5C,    230, kLibrary, 12,  A,  false, false},
};
// clang-format on

class InstallPathLimits : public testing::Test {
 protected:
  // One press of Install.
  void Check(const Case& c, int typed, int kind) {
    SCOPED_TRACE(std::string(c.what) + ", product " + std::to_string(c.productBytes) +
                 " bytes, typed " + std::to_string(typed) + ", name " + std::to_string(kind));
    testfs::TempDir root("limits");
    const std::string real = root.Path();
    const std::string name = c.where == kNowhere ? ""
                             : kind == N         ? std::string(c.nameBytes, 'n')
                             : kind == D         ? limits::Filler(c.nameBytes - 4, true) + ".txt"
                                                 : std::string(c.nameBytes - 4, 'n') + ".txt";
    std::vector<std::string> files = limits::kPackageFiles, libraryFiles = limits::kLibraryFiles;
    if (c.where != kNowhere) (c.where == kPackage ? files : libraryFiles).push_back(name);
    testfs::WritePackage(real + "\\p\\" + kPackageSubfolder, files, libraryFiles);
    const std::string host = real + "\\h";

    // The chosen folder: its parent exists; the command makes it and its Zantrel subfolder.
    const std::string chosen =
        limits::PathOfBytes(real + "\\u", c.productBytes - 1 - std::strlen(kProductSubfolder),
                            typed == kEnds5C, typed == kEnds5C ? "淺" : "");
    const std::string typedPath = chosen + (typed == kBackslash ? "\\"
                                            : typed == kSlash   ? "/"
                                                                : "");
    const std::string product = chosen + "\\" + kProductSubfolder;
    const std::string library = product + "\\" + kLibrarySubfolder;
    testfs::MakeFolders(limits::Parent(chosen));
    teststate::StartFresh({teststate::ProcessState::HostRecord});
    limits::SeedHosts(theHostRegistry, {host});

    // What an installation makes: both folders, the package files, the library, the fonts.
    std::vector<std::string> created;
    if (c.installs) {
      created = {chosen, product, library};
      for (const auto& file : limits::kPackageFiles) created.push_back(product + "\\" + file);
      for (const auto& file : limits::kLibraryFiles) created.push_back(library + "\\" + file);
      for (const char* font : kFontNames) created.push_back(host + "\\Fonts\\" + font);
      if (c.extraCopied) created.push_back(product + "\\" + name);
      if (c.where == kLibrary) created.push_back(library + "\\" + name);
    }

    Dlg_Setup dialog;
    dialog.destinationPath = typedPath;
    const limits::DriveBefore drive;
    const deploytest::InstallerAt installer(real + "\\p\\SetUp.exe");
    testui::BoxAnswerer answerer;
    const INT_PTR result = testui::RunWithDriver(
        [&] { return dialog.DoModal(); },
        [&](HWND window) {
          testui::Click(window, IDC_INSTALL);
          if (c.installs) {
            EXPECT_TRUE(testui::WaitUntil([&] { return !IsWindow(window); }, 60000));
            return;
          }
          // Refused: the dialog stays open with the path as typed (then the driver cancels).
          ASSERT_TRUE(answerer.WaitForAnswered(1, window));
          EXPECT_EQ(testui::ItemText(window, IDC_PATH), typedPath);
        });

    EXPECT_EQ(result, c.installs ? IDOK : IDCANCEL);
    EXPECT_EQ(theHostRegistry.installFolder, c.installs ? product : std::string());
    EXPECT_EQ(drive.ChangesBesides(created, real), "");
    const std::vector<testui::BoxRecord> boxes = answerer.Records();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.installs ? std::string(kSuccessText)
                                        : framework::SystemMessage(
                                              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)));
    EXPECT_EQ(boxes[0].caption, c.installs ? kSuccessCaption : "ui_path_limit_tests");
    EXPECT_EQ(boxes[0].hasIcon, !c.installs);
    limits::ExpectRegistration(product, c.installs);
  }

  void CheckAll(bool names) {
    for (const Case& c : kCases)
      for (int typed : {kPlain, kEnds5C, kBackslash, kSlash})
        for (int kind : {A, D, N})
          if ((c.where != kNowhere) == names && (c.typed & typed) && (c.names & kind))
            Check(c, typed, kind);
  }

  testreg::CleanHostKeys clean;
};

TEST_F(InstallPathLimits, ProductFoldersAtAndPastTheLimit) {
  CheckAll(false);
}

TEST_F(InstallPathLimits, FileNamesAtAndPastTheLimit) {
  CheckAll(true);
}

}  // namespace
