// Paths at their limits: the installation run with install folders, package folders and host
// folders whose texts end at and one past each limit, in ASCII and in double-byte characters. A
// table says for each what is made, copied, prompted and registered; nothing else may change
// anywhere on drive C:.
//
// The limits: a text goes into a 260-byte buffer only whole (at most 259 bytes), and Wine's
// CopyFileA reads a source path of at most 260 characters (so an ASCII source of 261 bytes fails
// where a double-byte one of as many bytes, fewer characters, copies).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "deploy/InstallationRun.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/deploy/PathLimits.h"
#include "tests/support/Boxes.h"
#include "tests/support/Progress.h"
#include "tests/support/Registry.h"

namespace {

using limits::Lengths;
using limits::PathOfBytes;

const char kHostKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\P";
const char kAppKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\P\\Applications\\Quorel2022";
const char kOldLoader[] = "C:\\Old\\Zantrel\\Quorel2021.ZRX";

// The package files, as bits: "a.txt", "Quorel2021.ZRX", "淺.dll" (limits::kPackageFiles); the
// library's, both or none: "x.dwg", "图.dwg" (limits::kLibraryFiles).
constexpr int kNone = 0, kText = 1, kModule = 2, kDll = 4, kAll = 7;
constexpr int kBoth = 3;

// What the run needs of the setup dialog: a real window with a real progress bar.
class RunWindow : public InstallationDialog {
 public:
  const std::string& DestinationPath() const override { return destination; }
  YearFlags SelectedYears() const override { return YearFlags{0, 1, 0, 0, 0, 0, 0}; }
  HWND ProgressBar() const override { return window.Bar(); }
  void ShowProgressLayout() override {}
  void CancelDialog() override { cancelled = true; }

  testui::ProgressWindow window;
  std::string destination;
  bool cancelled = false;
};

enum class Varies { InstallFolder, PackageFolder, HostFolder };

struct Case {
  const char* limit;
  Varies varies;
  std::size_t bytes;  // of the varied folder
  bool doubleByte;
  // What must happen:
  bool folderMade;   // the install folder
  int copied;        // package files copied
  int prompted;      // package files whose copy is prompted (answered Ignore)
  bool libraryMade;  // "<install folder>\Quorel扩展绘图库"
  int libraryCopied;
  bool registered;  // the LOADER "<install folder>\Quorel2021.ZRX"
  bool fonts;       // both fonts in the (first) host's Fonts folder
};

const bool A = false, D = true;  // ASCII, double-byte

// clang-format off
const Case kCases[] = {
  // limit                                 varies                  bytes kind made copied prompted lib  libfiles reg   fonts
  // "<install folder>\Quorel扩展绘图库" (17 more bytes) in its buffer.
  {"library destination",                  Varies::InstallFolder,  242, A, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"library destination",                  Varies::InstallFolder,  243, A, true,  kAll,  kNone, false, kNone, true,  true},
  {"library destination",                  Varies::InstallFolder,  242, D, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"library destination",                  Varies::InstallFolder,  243, D, true,  kAll,  kNone, false, kNone, true,  true},
  // The LOADER (15 more bytes) in its buffer.
  {"module path",                          Varies::InstallFolder,  244, A, true,  kAll,  kNone, false, kNone, true,  true},
  {"module path",                          Varies::InstallFolder,  245, A, true,  kAll,  kNone, false, kNone, false, true},
  {"module path",                          Varies::InstallFolder,  244, D, true,  kAll,  kNone, false, kNone, true,  true},
  {"module path",                          Varies::InstallFolder,  245, D, true,  kAll,  kNone, false, kNone, false, true},
  // The install folder itself: past its buffer nothing is made and every file is prompted.
  {"install folder",                       Varies::InstallFolder,  259, A, true,  kAll,  kNone, false, kNone, false, true},
  {"install folder",                       Varies::InstallFolder,  260, A, false, kNone, kAll,  false, kNone, false, true},
  {"install folder",                       Varies::InstallFolder,  259, D, true,  kAll,  kNone, false, kNone, false, true},
  {"install folder",                       Varies::InstallFolder,  260, D, false, kNone, kAll,  false, kNone, false, true},
  // "<package>\Quorel扩展绘图库\*.*" (21 more bytes, 16 characters).
  {"library listing",                      Varies::PackageFolder,  238, A, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"library listing",                      Varies::PackageFolder,  239, A, true,  kAll,  kNone, true,  kNone, true,  true},
  {"library listing",                      Varies::PackageFolder,  238, D, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"library listing",                      Varies::PackageFolder,  239, D, true,  kAll,  kNone, true,  kNone, true,  true},
  // The font sources "<package>\Quorel_EN.shx" (14 more bytes); "<package>\Quorel2021.ZRX" has
  // as many and Wine reads 260 ASCII characters, not 261.
  {"font source",                          Varies::PackageFolder,  245, A, true,  kAll,  kNone, true,  kNone, true,  true},
  {"font source",                          Varies::PackageFolder,  246, A, true,  kText | kDll, kModule, true, kNone, true, false},
  {"font source",                          Varies::PackageFolder,  245, D, true,  kAll,  kNone, true,  kNone, true,  true},
  {"font source",                          Varies::PackageFolder,  246, D, true,  kAll,  kNone, true,  kNone, true,  false},
  // "<package>\*.*" (4 more bytes): past it the package lists nothing, so nothing is prompted.
  {"package listing",                      Varies::PackageFolder,  255, A, true,  kNone, kAll,  true,  kNone, true,  false},
  {"package listing",                      Varies::PackageFolder,  256, A, true,  kNone, kNone, true,  kNone, true,  false},
  {"package listing",                      Varies::PackageFolder,  255, D, true,  kAll,  kNone, true,  kNone, true,  false},
  {"package listing",                      Varies::PackageFolder,  256, D, true,  kNone, kNone, true,  kNone, true,  false},
  // "<host>\Fonts\Quorel_EN.shx" (20 more bytes) and "<host>\Fonts" (6 more): a second, short
  // host still gets both fonts.
  {"font destination",                     Varies::HostFolder,     239, A, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"font destination",                     Varies::HostFolder,     240, A, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"font destination",                     Varies::HostFolder,     239, D, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"font destination",                     Varies::HostFolder,     240, D, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"fonts folder",                         Varies::HostFolder,     253, A, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"fonts folder",                         Varies::HostFolder,     254, A, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"fonts folder",                         Varies::HostFolder,     253, D, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"fonts folder",                         Varies::HostFolder,     254, D, true,  kAll,  kNone, true,  kBoth, true,  false},
};
// clang-format on

std::string Parent(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

class PathLimits : public testing::Test {
 protected:
  void Check(const Case& c) {
    SCOPED_TRACE(std::string(c.limit) + ", " + (c.doubleByte ? "double-byte " : "ASCII ") +
                 std::to_string(c.bytes) + " bytes");
    testfs::TempDir root("limits");
    const std::string real = root.Path();
    std::string installer = real + "\\p\\SetUp.exe";
    std::string folder = real + "\\d\\Zantrel";
    std::vector<std::string> hosts = {real + "\\h"};
    if (c.varies == Varies::InstallFolder) {
      const std::string leaf = c.doubleByte ? limits::DoubleByteText(6) : "Zantrel";
      folder = PathOfBytes(real + "\\d", c.bytes, c.doubleByte, leaf);
    } else if (c.varies == Varies::PackageFolder) {
      installer = PathOfBytes(real + "\\p", c.bytes - 5, c.doubleByte) + "\\SetUp.exe";
    } else {
      hosts = {PathOfBytes(real + "\\h", c.bytes, c.doubleByte), real + "\\s"};
    }
    const std::string package = Parent(installer) + "\\Data";
    limits::WritePackage(package);
    testfs::MakeFolders(Parent(folder));
    for (const std::string& host : hosts) testfs::MakeFolders(host + "\\Fonts");
    SCOPED_TRACE(Lengths("install folder", folder) + "; " + Lengths("package folder", package) +
                 "; " + Lengths("host folder", hosts.front()));

    // A host key with an earlier registration, which a LOADER that does not fit leaves as it is.
    testreg::DeleteTree("SOFTWARE\\ZWSOFT");
    testreg::SetString(kHostKey, "Location", hosts.front());
    testreg::SetString(kAppKey, "LOADER", kOldLoader);
    HostRegistry registry;
    registry.keyPaths[1] = {std::string(kHostKey) + "\\"};
    registry.locations[1] = hosts;

    // The entries the case expects, and the prompts.
    std::set<std::wstring> created;
    const auto made = [&](const std::string& path) { created.insert(testfs::Wide(path)); };
    std::vector<std::string> prompts;
    if (c.folderMade) made(folder);
    for (int i = 0; i < 3; ++i) {
      if (c.copied & (1 << i)) made(folder + "\\" + limits::kPackageFiles[i]);
      if (c.prompted & (1 << i)) prompts.push_back(folder + "\\" + limits::kPackageFiles[i]);
    }
    const std::string library = folder + "\\" + limits::kLibrary;
    if (c.libraryMade) made(library);
    for (int i = 0; i < 2; ++i)
      if (c.libraryCopied & (1 << i)) made(library + "\\" + limits::kLibraryFiles[i]);
    for (std::size_t h = 0; h < hosts.size(); ++h) {
      for (const char* font : limits::kFonts)
        if (c.fonts || h > 0) made(hosts[h] + "\\Fonts\\" + font);
    }

    window.destination = folder;
    window.cancelled = false;
    bool result = false;
    std::vector<testui::BoxRecord> boxes;
    limits::DriveListing before, after;
    {
      const deploytest::InstallerAt at(installer);
      before = limits::ListDrive();
      testui::BoxAnswerer answerer(std::vector<int>(prompts.size(), IDIGNORE));
      result = RunInstallation(window, registry);
      boxes = answerer.Records();
    }
    after = limits::ListDrive();

    EXPECT_TRUE(result);
    EXPECT_FALSE(window.cancelled);
    EXPECT_EQ(registry.installFolder, folder);
    EXPECT_EQ(limits::UnexpectedChanges(before, after, created, real), "");

    std::vector<std::string> shown;
    for (const testui::BoxRecord& box : boxes) {
      EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE)) << box.text;
      shown.push_back(box.text);
    }
    limits::ExpectPrompts(shown, prompts);

    DWORD type = 0;
    std::string loader;
    ASSERT_TRUE(testreg::QueryValue(kAppKey, "LOADER", type, loader));
    EXPECT_EQ(loader,
              (c.registered ? folder + "\\Quorel2021.ZRX" : std::string(kOldLoader)) + '\0');
    std::string controls;
    EXPECT_EQ(testreg::QueryValue(kAppKey, "LOADCTRLS", type, controls), c.registered);
  }

  void CheckAll(Varies varies) {
    for (const Case& c : kCases)
      if (c.varies == varies) Check(c);
  }

  testreg::CleanHostKeys clean;
  // One window for all cases of a test: destroying a shown window costs Wine seconds.
  RunWindow window;
};

TEST_F(PathLimits, InstallFolders) {
  CheckAll(Varies::InstallFolder);
}

TEST_F(PathLimits, PackageFolders) {
  CheckAll(Varies::PackageFolder);
}

TEST_F(PathLimits, HostFolders) {
  CheckAll(Varies::HostFolder);
}

}  // namespace
