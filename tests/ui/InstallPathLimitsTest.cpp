// The Install command at the longest product folder it accepts ("<destination>\Zantrel"): 230
// bytes, CreateDirectoryA's 247 characters less "\Quorel扩展绘图库" (17 bytes), at it and one byte
// past it, in ASCII, in double-byte characters ending in 淺 (second byte 0x5C, which must stay a
// character of the name) and with one trailing separator. The dialog runs modally and for real,
// and the whole drive C: is compared before and after: a product folder at the limit installs
// whole, one past it is refused with the stop box before anything is made.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "deploy/PackageSource.h"
#include "framework/ErrorReport.h"
#include "host/HostRegistry.h"
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/deploy/PathLimits.h"
#include "tests/support/Boxes.h"
#include "tests/support/FreshState.h"
#include "tests/support/Registry.h"
#include "ui/Dlg_Setup.h"
#include "ui/DialogTexts.h"

namespace {

using limits::Lengths;

const char kHostKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\P";
const char kAppKey[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\P\\Applications\\Quorel2022";
const char kOldLoader[] = "C:\\Old\\Zantrel\\Quorel2021.ZRX";
constexpr std::size_t kLongestProductFolder = 230;

enum class Ending { Ascii, DoubleByte5C, TrailingSeparator };

class InstallPathLimits : public testing::Test {
 protected:
  // One press of Install with a destination whose product folder is `productBytes` long.
  void Check(Ending ending, std::size_t productBytes) {
    limits::TwinRoot twins;
    const std::string real = twins.Real();
    const std::string package = real + "\\p\\Data";
    limits::WritePackage(package);
    const std::string host = real + "\\h";
    twins.MakeFoldersInBoth(host + "\\Fonts");

    // The chosen folder: its parent exists; the command makes it and its Zantrel subfolder.
    const std::size_t chosenBytes = productBytes - std::string("\\Zantrel").size();
    const std::string chosen =
        ending == Ending::DoubleByte5C
            ? limits::PathOfBytes(real + "\\u", chosenBytes, true, "\x9C\x5C")  // 淺
            : limits::PathOfBytes(real + "\\u", chosenBytes, false);
    const std::string typed = chosen + (ending == Ending::TrailingSeparator ? "\\" : "");
    const std::string product = chosen + "\\Zantrel";
    twins.MakeFoldersInBoth(chosen.substr(0, chosen.rfind('\\')));
    SCOPED_TRACE(Lengths("destination", typed) + "; " + Lengths("product folder", product));

    testreg::DeleteTree("SOFTWARE\\ZWSOFT");
    testreg::SetString(kHostKey, "Location", host);
    testreg::SetString(kAppKey, "LOADER", kOldLoader);
    teststate::StartFresh({teststate::ProcessState::HostRecord});
    theHostRegistry.keyPaths[1] = {std::string(kHostKey) + "\\"};
    theHostRegistry.locations[1] = {host};

    const bool accepted = productBytes <= kLongestProductFolder;
    const limits::Expected expected =
        accepted ? limits::ExpectInstallation(twins, package, chosen, product, {host})
                 : limits::Expected{};
    Dlg_Setup dialog;
    dialog.destinationPath = typed;
    INT_PTR result = 0;
    std::vector<testui::BoxRecord> boxes;
    limits::DriveListing before, after;
    {
      const deploytest::InstallerAt installer(real + "\\p\\SetUp.exe");
      before = limits::ListDrive();
      // Ignore for every prompt; the last box then gets its one button.
      testui::BoxAnswerer answerer(std::vector<int>(expected.prompts.size(), IDIGNORE));
      result = testui::RunWithDriver(
          [&] { return dialog.DoModal(); },
          [&](HWND window) {
            testui::Click(window, IDC_INSTALL);
            if (accepted) {
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

    EXPECT_EQ(result, accepted ? IDOK : IDCANCEL);
    EXPECT_EQ(theHostRegistry.installFolder, accepted ? product : std::string());
    EXPECT_EQ(limits::UnexpectedChanges(before, after, expected.created, real), "");

    ASSERT_FALSE(boxes.empty());
    if (accepted) {
      EXPECT_EQ(boxes.back().text, kSuccessText);
      // Whole: nothing prompted, the module registered (what was made is checked above).
      EXPECT_EQ(boxes.size(), 1u);
      EXPECT_TRUE(expected.prompts.empty());
      EXPECT_TRUE(expected.registered);
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text,
                framework::SystemMessage(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)));
      EXPECT_EQ(boxes[0].caption, "ui_path_limit_tests");
      EXPECT_TRUE(boxes[0].hasIcon);
    }

    DWORD type = 0;
    std::string loader;
    ASSERT_TRUE(testreg::QueryValue(kAppKey, "LOADER", type, loader));
    EXPECT_EQ(loader, (accepted ? expected.loader : std::string(kOldLoader)) + '\0');
  }

  testreg::CleanHostKeys clean;
};

TEST_F(InstallPathLimits, AsciiProductFoldersAtAndPastTheLimit) {
  for (std::size_t bytes : {kLongestProductFolder, kLongestProductFolder + 1})
    Check(Ending::Ascii, bytes);
}

TEST_F(InstallPathLimits, DoubleByteProductFoldersEndingIn5CAtAndPastTheLimit) {
  for (std::size_t bytes : {kLongestProductFolder, kLongestProductFolder + 1})
    Check(Ending::DoubleByte5C, bytes);
}

// One trailing separator goes before "\Zantrel" is added, so it does not count.
TEST_F(InstallPathLimits, TrailingSeparatorAtAndPastTheLimit) {
  for (std::size_t bytes : {kLongestProductFolder, kLongestProductFolder + 1})
    Check(Ending::TrailingSeparator, bytes);
}

}  // namespace
