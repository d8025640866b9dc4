// The Install command at its path limits, from a table of lengths and outcomes. A destination is
// refused up front (the stop box, nothing made, the dialog left open) when its product folder
// ("<destination>\Zantrel") is longer than 230 bytes (CreateDirectoryA's 247 characters less
// "\Quorel扩展绘图库"), or when a file the copies will make there would not fit MAX_PATH: a package
// file "<product>\<name>" or a library file "<product>\Quorel扩展绘图库\<name>" of 260 bytes or
// more. At each limit and one past it, in ASCII and double-byte characters (one ending in 淺,
// whose second byte is 0x5C) and with a trailing separator; the same destination with shorter
// names installs whole. The dialog runs modally and for real, and the whole drive C: is compared
// before and after.
#include <windows.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "framework/ErrorReport.h"
#include "host/HostRegistry.h"
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/deploy/PathLimits.h"
#include "tests/support/Boxes.h"
#include "tests/support/FreshState.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"
#include "ui/Dlg_Setup.h"

namespace {

using limits::Lengths;

const char kHostKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\P";
const char kAppKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\P\\Applications\\Quorel2022";
const char kOldLoader[] = "C:\\Old\\Zantrel\\Quorel2021.ZRX";

enum class Typed { Ascii, DoubleByte5C, Backslash, Slash };

// A file name of exactly `bytes` bytes ending in ".txt": ASCII, or double-byte before the dot.
std::string Name(std::size_t bytes, bool doubleByte) {
  return doubleByte ? limits::DoubleByteText(bytes - 4) + ".txt"
                    : std::string(bytes - 4, 'n') + ".txt";
}
// A package file name without a ".", which the copy leaves out.
std::string NoDot(std::size_t bytes) {
  return std::string(bytes, 'n');
}

struct Case {
  const char* what;
  Typed typed;
  std::size_t productBytes;  // "<destination>\Zantrel", a typed trailing separator not counted
  std::string packageName;   // a further package file, or ""
  std::string libraryName;   // a further library file, or ""
  bool installs;             // whole, or refused
  bool extraCopied;          // the further package file is in the product folder
};

// clang-format off
const Case kCases[] = {
  {"product folder",              Typed::Ascii,        230, "", "", true,  false},
  {"product folder",              Typed::Ascii,        231, "", "", false, false},
  {"product folder ending in 淺", Typed::DoubleByte5C, 230, "", "", true,  false},
  {"product folder ending in 淺", Typed::DoubleByte5C, 231, "", "", false, false},
  {"trailing backslash",          Typed::Backslash,    230, "", "", true,  false},
  {"trailing backslash",          Typed::Backslash,    231, "", "", false, false},
  {"trailing slash",              Typed::Slash,        230, "", "", true,  false},
  {"trailing slash",              Typed::Slash,        231, "", "", false, false},
  // "<product>\<name>": 208 + 1 + 50 = 259 bytes.
  {"package file",                Typed::Ascii,        208, Name(50, false), "", true,  true},
  {"package file",                Typed::Ascii,        208, Name(51, false), "", false, false},
  {"double-byte package file",    Typed::Ascii,        208, Name(50, true),  "", true,  true},
  {"double-byte package file",    Typed::Ascii,        208, Name(51, true),  "", false, false},
  {"package file at the limit",   Typed::Ascii,        230, Name(28, false), "", true,  true},
  {"package file at the limit",   Typed::Ascii,        230, Name(29, false), "", false, false},
  // A name of 255 characters fits no destination at all.
  {"package name of 255",         Typed::Ascii,        208, Name(255, false), "", false, false},
  // A name the copy leaves out makes no path, however long.
  {"package name without a dot",  Typed::Ascii,        208, NoDot(60),       "", true,  false},
  // "<product>\Quorel扩展绘图库\<name>": 208 + 17 + 1 + 33 = 259 bytes.
  {"library file",                Typed::Ascii,        208, "", Name(33, false), true,  false},
  {"library file",                Typed::Ascii,        208, "", Name(34, false), false, false},
  {"double-byte library file",    Typed::Ascii,        208, "", Name(33, true),  true,  false},
  {"double-byte library file",    Typed::Ascii,        208, "", Name(34, true),  false, false},
  {"library name of 255",         Typed::Ascii,        208, "", Name(255, false), false, false},
  {"library file at the limit",   Typed::DoubleByte5C, 230, "", Name(11, false), true,  false},
  {"library file at the limit",   Typed::DoubleByte5C, 230, "", Name(12, false), false, false},
};
// clang-format on

std::string Parent(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

class InstallPathLimits : public testing::Test {
 protected:
  // One press of Install.
  void Check(const Case& c) {
    SCOPED_TRACE(std::string(c.what) + ", product folder of " + std::to_string(c.productBytes) +
                 " bytes" + (c.installs ? ", installs" : ", refused"));
    testfs::TempDir root("limits");
    const std::string real = root.Path();
    const std::string package = real + "\\p\\Data";
    std::vector<std::string> extra, extraLibrary;
    if (!c.packageName.empty()) extra.push_back(c.packageName);
    if (!c.libraryName.empty()) extraLibrary.push_back(c.libraryName);
    limits::WritePackage(package, extra, extraLibrary);
    const std::string host = real + "\\h";
    testfs::MakeFolders(host + "\\Fonts");

    // The chosen folder: its parent exists; the command makes it and its Zantrel subfolder.
    const std::size_t chosenBytes = c.productBytes - std::string("\\Zantrel").size();
    const std::string chosen =
        c.typed == Typed::DoubleByte5C
            ? limits::PathOfBytes(real + "\\u", chosenBytes, true, "\x9C\x5C")  // 淺
            : limits::PathOfBytes(real + "\\u", chosenBytes, false);
    const char* separator = c.typed == Typed::Backslash ? "\\" : c.typed == Typed::Slash ? "/" : "";
    const std::string typed = chosen + separator;
    const std::string product = chosen + "\\Zantrel";
    testfs::MakeFolders(Parent(chosen));
    SCOPED_TRACE(Lengths("destination", typed) + "; " + Lengths("product folder", product));

    testreg::DeleteTree("SOFTWARE\\ZWSOFT");
    testreg::SetString(kHostKey, "Location", host);
    testreg::SetString(kAppKey, "LOADER", kOldLoader);
    teststate::StartFresh({teststate::ProcessState::HostRecord});
    theHostRegistry.keyPaths[1] = {std::string(kHostKey) + "\\"};
    theHostRegistry.locations[1] = {host};

    // What an installation makes: both folders, the package files, the library, the fonts.
    std::set<std::wstring> created;
    const auto made = [&](const std::string& path) { created.insert(testfs::Wide(path)); };
    if (c.installs) {
      made(chosen);
      made(product);
      for (const char* name : limits::kPackageFiles) made(product + "\\" + name);
      if (c.extraCopied) made(product + "\\" + c.packageName);
      const std::string library = product + "\\" + limits::kLibrary;
      made(library);
      for (const char* name : limits::kLibraryFiles) made(library + "\\" + name);
      if (!c.libraryName.empty()) made(library + "\\" + c.libraryName);
      for (const char* font : limits::kFonts) made(host + "\\Fonts\\" + font);
    }

    Dlg_Setup dialog;
    dialog.destinationPath = typed;
    INT_PTR result = 0;
    std::vector<testui::BoxRecord> boxes;
    limits::DriveListing before, after;
    {
      const deploytest::InstallerAt installer(real + "\\p\\SetUp.exe");
      before = limits::ListDrive();
      testui::BoxAnswerer answerer;
      result = testui::RunWithDriver(
          [&] { return dialog.DoModal(); },
          [&](HWND window) {
            testui::Click(window, IDC_INSTALL);
            if (c.installs) {
              EXPECT_TRUE(testui::WaitUntil([&] { return !IsWindow(window); }, 60000));
              return;
            }
            // Refused: the dialog stays open with the path as typed (then the driver cancels).
            ASSERT_TRUE(answerer.WaitForAnswered(1, window));
            EXPECT_EQ(testui::ItemText(window, IDC_PATH), typed);
          });
      boxes = answerer.Records();
    }
    after = limits::ListDrive();

    EXPECT_EQ(result, c.installs ? IDOK : IDCANCEL);
    EXPECT_EQ(theHostRegistry.installFolder, c.installs ? product : std::string());
    EXPECT_EQ(limits::UnexpectedChanges(before, after, created, real), "");

    ASSERT_EQ(boxes.size(), 1u);
    if (c.installs) {
      EXPECT_EQ(boxes[0].text, kSuccessText);
    } else {
      EXPECT_EQ(boxes[0].text,
                framework::SystemMessage(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)));
      EXPECT_EQ(boxes[0].caption, "ui_path_limit_tests");
      EXPECT_TRUE(boxes[0].hasIcon);
    }

    DWORD type = 0;
    std::string loader;
    ASSERT_TRUE(testreg::QueryValue(kAppKey, "LOADER", type, loader));
    EXPECT_EQ(loader, (c.installs ? product + "\\Quorel2021.ZRX" : std::string(kOldLoader)) + '\0');
    EXPECT_EQ(loader.find("/\\"), std::string::npos);
  }

  void CheckAll(bool names) {
    for (const Case& c : kCases)
      if (c.packageName.empty() && c.libraryName.empty() ? !names : names) Check(c);
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
