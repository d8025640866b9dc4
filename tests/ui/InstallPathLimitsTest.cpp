// The Install command at the 260-byte limit: destinations whose product folder
// ("<destination>\Zantrel") is 254 to 262 bytes long, in ASCII, in double-byte characters ending
// in 淺 (second byte 0x5C, which must stay a character of the name) and with one trailing
// separator. The dialog runs modally and for real, every prompt is answered Ignore, and the whole
// drive C: is compared before and after: only what fits is installed, nothing lands anywhere else.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "deploy/PackageSource.h"
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

    const limits::Expected expected =
        limits::ExpectInstallation(twins, package, chosen, product, {host});
    Dlg_Setup dialog;
    dialog.destinationPath = typed;
    INT_PTR result = 0;
    std::vector<testui::BoxRecord> boxes;
    limits::DriveListing before, after;
    {
      const deploytest::InstallerAt installer(real + "\\p\\SetUp.exe");
      before = limits::ListDrive();
      // Ignore for every prompt; the success box then gets its one button.
      testui::BoxAnswerer answerer(std::vector<int>(expected.prompts.size(), IDIGNORE));
      result = testui::RunWithDriver(
          [&] { return dialog.DoModal(); },
          [&](HWND window) {
            testui::Click(window, IDC_INSTALL);
            EXPECT_TRUE(testui::WaitUntil([&] { return !IsWindow(window); }, 60000));
          });
      boxes = answerer.Records();
    }
    after = limits::ListDrive();

    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(theHostRegistry.installFolder, product);
    EXPECT_EQ(limits::UnexpectedChanges(before, after, expected.created, real), "");

    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, kSuccessText);
    std::vector<std::string> prompts;
    for (std::size_t i = 0; i + 1 < boxes.size(); ++i) prompts.push_back(boxes[i].text);
    limits::ExpectPrompts(prompts, expected.prompts);

    DWORD type = 0;
    std::string loader;
    ASSERT_TRUE(testreg::QueryValue(kAppKey, "LOADER", type, loader));
    EXPECT_EQ(loader, (expected.registered ? expected.loader : std::string(kOldLoader)) + '\0');
  }

  testreg::CleanHostKeys clean;
};

TEST_F(InstallPathLimits, AsciiProductFoldersOf254To262Bytes) {
  for (std::size_t bytes = 254; bytes <= 262; ++bytes) Check(Ending::Ascii, bytes);
}

TEST_F(InstallPathLimits, DoubleByteProductFoldersOf254To262BytesEndingIn5C) {
  for (std::size_t bytes = 254; bytes <= 262; ++bytes) Check(Ending::DoubleByte5C, bytes);
}

// One trailing separator goes before "\Zantrel" is added, also at the limit.
TEST_F(InstallPathLimits, TrailingSeparatorAtTheLimit) {
  for (std::size_t bytes : {259, 260}) Check(Ending::TrailingSeparator, bytes);
}

}  // namespace
