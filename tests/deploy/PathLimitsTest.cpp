// Paths at their limits: the installation run with install folders, package folders and host
// folders whose texts end just before, at and just after the 260-byte buffers, in ASCII and in
// double-byte characters. Each case installs what fits, prompts for or skips what does not,
// registers only a LOADER that fits, and creates nothing else anywhere on drive C:.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "deploy/InstallationRun.h"
#include "deploy/PackageSource.h"
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

// One case: where the package, the install folder and the host installations lie.
struct Layout {
  std::string installerFolder;  // the package is its "Data" subfolder
  std::string installFolder;
  std::vector<std::string> hosts;
};

std::string Parent(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

const char* Kind(bool doubleByte) {
  return doubleByte ? "double-byte" : "ASCII";
}

class PathLimits : public testing::Test {
 protected:
  // Builds the layout below the real branch of a fresh twin root, works out what must happen,
  // runs the installation and compares.
  void Check(const std::string& label, const std::function<Layout(const std::string&)>& make) {
    SCOPED_TRACE(label);
    limits::TwinRoot twins;
    const Layout layout = make(twins.Real());
    const std::string package = layout.installerFolder + "\\Data";
    limits::WritePackage(package);
    twins.MakeFoldersInBoth(Parent(layout.installFolder));
    for (const std::string& host : layout.hosts) twins.MakeFoldersInBoth(host + "\\Fonts");

    // A host key with an earlier registration, which a LOADER that does not fit leaves as it is.
    testreg::DeleteTree("SOFTWARE\\ZWSOFT");
    testreg::SetString(kHostKey, "Location", layout.hosts.front());
    testreg::SetString(kAppKey, "LOADER", kOldLoader);
    HostRegistry hosts;
    hosts.keyPaths[1] = {std::string(kHostKey) + "\\"};
    hosts.locations[1] = layout.hosts;

    const limits::Expected expected =
        limits::ExpectInstallation(twins, package, "", layout.installFolder, layout.hosts);
    std::string lengths =
        Lengths("install folder", layout.installFolder) + "; " + Lengths("package folder", package);
    for (const std::string& host : layout.hosts) lengths += "; " + Lengths("host folder", host);
    SCOPED_TRACE(lengths);

    window.destination = layout.installFolder;
    window.cancelled = false;
    bool result = false;
    std::vector<testui::BoxRecord> boxes;
    limits::DriveListing before, after;
    {
      const deploytest::InstallerAt installer(layout.installerFolder + "\\SetUp.exe");
      before = limits::ListDrive();
      testui::BoxAnswerer answerer(std::vector<int>(expected.prompts.size(), IDIGNORE));
      result = RunInstallation(window, hosts);
      boxes = answerer.Records();
    }
    after = limits::ListDrive();

    EXPECT_TRUE(result);
    EXPECT_FALSE(window.cancelled);
    EXPECT_EQ(hosts.installFolder, layout.installFolder);

    // Exactly the expected entries are new on the drive, and nothing else changed.
    EXPECT_EQ(limits::UnexpectedChanges(before, after, expected.created, twins.Real()), "");

    // One prompt for each file that could not be copied, naming its whole destination.
    std::vector<std::string> prompts;
    for (const testui::BoxRecord& box : boxes) {
      EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE)) << box.text;
      prompts.push_back(box.text);
    }
    limits::ExpectPrompts(prompts, expected.prompts);

    // The LOADER is written whole or not at all; then the earlier registration stays.
    DWORD type = 0;
    std::string loader;
    ASSERT_TRUE(testreg::QueryValue(kAppKey, "LOADER", type, loader));
    EXPECT_EQ(loader, (expected.registered ? expected.loader : std::string(kOldLoader)) + '\0')
        << Lengths("LOADER", expected.loader);
    std::string controls;
    EXPECT_EQ(testreg::QueryValue(kAppKey, "LOADCTRLS", type, controls), expected.registered);

    ++cases;
    installed += static_cast<int>(expected.created.size());
    prompted += static_cast<int>(expected.prompts.size());
  }

  // Package folders ("<installer folder>\Data") of each length, in ASCII and double-byte.
  void CheckPackageFolders(const std::vector<std::size_t>& lengths) {
    for (bool doubleByte : {false, true}) {
      for (std::size_t bytes : lengths) {
        Check(std::string(Kind(doubleByte)) + " package folder of " + std::to_string(bytes),
              [&](const std::string& real) {
                return Layout{PathOfBytes(real + "\\p", bytes - 5, doubleByte),
                              real + "\\d\\Zantrel",
                              {real + "\\h"}};
              });
      }
    }
  }

  void TearDown() override {
    std::printf("%d cases, %d entries created, %d copies prompted\n", cases, installed, prompted);
  }

  testreg::CleanHostKeys clean;
  // One window for all cases of a test: destroying a shown window costs Wine seconds.
  RunWindow window;
  int cases = 0, installed = 0, prompted = 0;
};

// The install folder in its 260-byte buffer: up to 259 bytes it is made and the files go in (as
// far as the platform takes their longer paths); from 260 bytes nothing is made and every file
// is a failed copy with the prompt naming its full destination. The double-byte leaf puts the
// 259th byte inside a character for every other length.
TEST_F(PathLimits, InstallFoldersOf254To262Bytes) {
  for (bool doubleByte : {false, true}) {
    for (std::size_t bytes = 254; bytes <= 262; ++bytes) {
      Check(std::string(Kind(doubleByte)) + " install folder of " + std::to_string(bytes),
            [&](const std::string& real) {
              const std::string leaf = doubleByte ? limits::DoubleByteText(6) : "Zantrel";
              return Layout{
                  real + "\\p", PathOfBytes(real + "\\d", bytes, doubleByte, leaf), {real + "\\h"}};
            });
    }
  }
}

// "<install folder>\Quorel扩展绘图库" (17 more bytes) and the LOADER "<install
// folder>\Quorel2021.ZRX" (15 more): the library is skipped and the LOADER left unwritten from 260
// bytes on.
TEST_F(PathLimits, LibraryDestinationsAndLoadersAtTheLimit) {
  for (bool doubleByte : {false, true}) {
    for (std::size_t bytes = 240; bytes <= 246; ++bytes) {
      Check(std::string(Kind(doubleByte)) + " install folder of " + std::to_string(bytes),
            [&](const std::string& real) {
              return Layout{real + "\\p",
                            PathOfBytes(real + "\\d", bytes, doubleByte, "Zantrel"),
                            {real + "\\h"}};
            });
    }
  }
}

// "<package>\*.*": a pattern that does not fit lists nothing (one pass, no copy, no prompt).
TEST_F(PathLimits, PackageListingPatternsAtTheLimit) {
  CheckPackageFolders({253, 254, 255, 256, 257, 258});
}

// "<package>\Quorel扩展绘图库\*.*" (21 more bytes) and the font sources "<package>\Quorel_EN.shx"
// (14 more).
TEST_F(PathLimits, LibraryListingsAndFontSourcesAtTheLimit) {
  CheckPackageFolders({236, 237, 238, 239, 240, 241, 243, 244, 245, 246, 247});
}

// "<host>\Fonts" (6 more bytes) and "<host>\Fonts\Quorel_EN.shx" (20 more): a host whose paths
// do not fit gets no font, silently, and a second, short host still gets both.
TEST_F(PathLimits, HostFoldersAtTheLimit) {
  for (bool doubleByte : {false, true}) {
    for (std::size_t bytes : {237, 238, 239, 240, 241, 251, 252, 253, 254, 255, 256}) {
      Check(std::string(Kind(doubleByte)) + " host folder of " + std::to_string(bytes),
            [&](const std::string& real) {
              return Layout{real + "\\p",
                            real + "\\d\\Zantrel",
                            {PathOfBytes(real + "\\h", bytes, doubleByte), real + "\\s"}};
            });
    }
  }
}

}  // namespace
