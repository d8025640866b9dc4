// Paths at their limits: the installation run with install folders, package folders and host
// folders whose texts end at and one past each limit, in ASCII and in double-byte characters. A
// table says for each what is made, copied, prompted and registered; nothing else may change
// anywhere on drive C:.
//
// The limits: a text goes into a 260-byte buffer only whole (at most 259 bytes), and Wine's
// CopyFileA reads a source path of at most 260 characters (so an ASCII source of 261 bytes fails
// where a double-byte one of as many bytes, fewer characters, copies).

#include <windows.h>
#include <set>

#include "deploy/InstallationRun.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/deploy/PathLimits.h"
#include "tests/support/Progress.h"
#include "tests/support/Registry.h"

namespace {

using limits::PathOfBytes;

// The package files, as bits: "a.txt", "Quorel2021.ZRX", "淺.dll" (limits::kPackageFiles); the
// library's, both or none: "x.dwg", "图.dwg" (limits::kLibraryFiles).
constexpr int kNone = 0, kText = 1, kModule = 2, kDll = 4, kAll = 7, kBoth = 3;

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

enum Varies { kInstallFolder, kPackageFolder, kHostFolder };
enum Kinds { A = 1, D = 2, AD = 3 };  // ASCII, double-byte, both: a case each

// The varied folder's bytes; then whether the install folder is made, the package files copied and
// prompted (answered Ignore), whether the library folder is made and its files copied, whether
// "<install folder>\Quorel2021.ZRX" is registered, and whether the (first) host gets both fonts.
struct Case {
  const char* limit;
  Varies varies;
  std::size_t bytes;
  Kinds kinds;
  bool folderMade;
  int copied, prompted;
  bool libraryMade;
  int libraryCopied;
  bool registered, fonts;
};

// clang-format off
const Case kCases[] = {
  // limit                varies          bytes kinds made copied prompted lib  libfiles reg   fonts
  // "<install folder>\Quorel扩展绘图库" (17 more bytes) in its buffer.
  {"library destination", kInstallFolder, 242, AD, true,  kAll,  kNone, true,  kNone, true,  true},
  {"library destination", kInstallFolder, 243, AD, true,  kAll,  kNone, false, kNone, true,  true},
  // The LOADER (15 more bytes) in its buffer.
  {"module path",         kInstallFolder, 244, AD, true,  kAll,  kNone, false, kNone, true,  true},
  {"module path",         kInstallFolder, 245, AD, true,  kText | kDll, kModule, false, kNone, false, true},
  // A file, or its copy under a temporary name ("\~zts0001", 9 more bytes), past the buffer is
  // never written: the package copy prompts for it, the library passes over it.
  // The install folder itself: past its buffer nothing is made and every file is prompted.
  {"install folder",      kInstallFolder, 259, AD, true,  kNone, kAll,  false, kNone, false, true},
  {"install folder",      kInstallFolder, 260, AD, false, kNone, kAll,  false, kNone, false, true},
  // "<package>\Quorel扩展绘图库\*.*" (21 more bytes, 16 characters).
  {"library listing",     kPackageFolder, 238, AD, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"library listing",     kPackageFolder, 239, AD, true,  kAll,  kNone, true,  kNone, true,  true},
  // The font sources "<package>\Quorel_EN.shx" (14 more bytes); "<package>\Quorel2021.ZRX" has
  // as many and Wine reads 260 ASCII characters, not 261.
  {"font source",         kPackageFolder, 245, AD, true,  kAll,  kNone, true,  kNone, true,  true},
  {"font source",         kPackageFolder, 246, A,  true,  kText | kDll, kModule, true, kNone, true, false},
  {"font source",         kPackageFolder, 246, D,  true,  kAll,  kNone, true,  kNone, true,  false},
  // "<package>\*.*" (4 more bytes): past it the package lists nothing, so nothing is prompted.
  {"package listing",     kPackageFolder, 255, A,  true,  kNone, kAll,  true,  kNone, true,  false},
  {"package listing",     kPackageFolder, 255, D,  true,  kAll,  kNone, true,  kNone, true,  false},
  {"package listing",     kPackageFolder, 256, AD, true,  kNone, kNone, true,  kNone, true,  false},
  // "<host>\Fonts\Quorel_EN.shx" (20 more bytes) and "<host>\Fonts" (6 more): a second, short
  // host still gets both fonts.
  {"font destination",    kHostFolder,    239, AD, true,  kAll,  kNone, true,  kBoth, true,  true},
  {"font destination",    kHostFolder,    240, AD, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"fonts folder",        kHostFolder,    253, AD, true,  kAll,  kNone, true,  kBoth, true,  false},
  {"fonts folder",        kHostFolder,    254, AD, true,  kAll,  kNone, true,  kBoth, true,  false},
};
// clang-format on

class PathLimits : public testing::Test {
 protected:
  void Check(const Case& c, bool doubleByte) {
    SCOPED_TRACE(std::string(c.limit) + ", " + (doubleByte ? "double-byte " : "ASCII ") +
                 std::to_string(c.bytes) + " bytes");
    testfs::TempDir root("limits");
    const std::string real = root.Path();
    std::string installer = real + "\\p\\SetUp.exe", folder = real + "\\d\\" + kProductSubfolder;
    std::vector<std::string> hosts = {real + "\\h"};
    if (c.varies == kInstallFolder)
      folder = PathOfBytes(real + "\\d", c.bytes, doubleByte,
                           doubleByte ? limits::Filler(6, true) : kProductSubfolder);
    else if (c.varies == kPackageFolder)
      installer = PathOfBytes(real + "\\p", c.bytes - 5, doubleByte) + "\\SetUp.exe";
    else
      hosts = {PathOfBytes(real + "\\h", c.bytes, doubleByte), real + "\\s"};
    testfs::WritePackage(limits::Parent(installer) + "\\" + kPackageSubfolder,
                         limits::kPackageFiles, limits::kLibraryFiles);
    testfs::MakeFolders(limits::Parent(folder));
    HostRegistry registry;
    limits::SeedHosts(registry, hosts);

    // The entries the case expects, and the prompts.
    std::vector<std::string> created;
    std::multiset<std::string> prompts, shown;
    if (c.folderMade) created.push_back(folder);
    for (int i = 0; i < 3; ++i) {
      const std::string file = folder + "\\" + limits::kPackageFiles[i];
      if (c.copied & (1 << i)) created.push_back(file);
      if (c.prompted & (1 << i)) prompts.insert(deploytest::CopyPromptText(file));
    }
    const std::string library = folder + "\\" + kLibrarySubfolder;
    if (c.libraryMade) created.push_back(library);
    for (int i = 0; i < 2; ++i)
      if (c.libraryCopied & (1 << i)) created.push_back(library + "\\" + limits::kLibraryFiles[i]);
    for (std::size_t h = 0; h < hosts.size(); ++h)
      for (const char* font : kFontNames)
        if (c.fonts || h > 0) created.push_back(hosts[h] + "\\Fonts\\" + font);

    window.destination = folder;
    window.cancelled = false;
    const limits::DriveBefore drive;
    const deploytest::InstallerAt at(installer);
    testui::BoxAnswerer answerer(std::vector<int>(prompts.size(), IDIGNORE));
    EXPECT_TRUE(RunInstallation(window, registry));
    EXPECT_FALSE(window.cancelled);
    EXPECT_EQ(registry.installFolder, folder);
    EXPECT_EQ(drive.ChangesBesides(created, real), "");
    for (const testui::BoxRecord& box : answerer.Records()) {
      EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE)) << box.text;
      shown.insert(box.text);
    }
    EXPECT_EQ(shown, prompts);
    limits::ExpectRegistration(folder, c.registered);
  }

  void CheckAll(Varies varies) {
    for (const Case& c : kCases)
      for (Kinds kind : {A, D})
        if (c.varies == varies && (c.kinds & kind)) Check(c, kind == D);
  }

  testreg::CleanHostKeys clean;
  // One window for all cases of a test: destroying a shown window costs Wine seconds.
  RunWindow window;
};

TEST_F(PathLimits, InstallFolders) {
  CheckAll(kInstallFolder);
}

TEST_F(PathLimits, PackageFolders) {
  CheckAll(kPackageFolder);
}

TEST_F(PathLimits, HostFolders) {
  CheckAll(kHostFolder);
}

}  // namespace
