// What the deployment tests share: the deployment's boxes and a package beside a chosen installer.
#pragma once

#include "deploy/DeployTexts.h"
#include "deploy/Layout.h"
#include "deploy/PackageSource.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

namespace deploytest {

// A box of the installer's own: its words, its OK button alone, no icon, and its owner (if any)
// disabled while it is up.
inline void ExpectOkBox(const testui::BoxRecord& box, const std::string& text,
                        const std::string& caption) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.caption, caption);
  EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_OK));
  EXPECT_FALSE(box.hasIcon);
  EXPECT_FALSE(box.ownerEnabled);
}

inline void ExpectNoPackageBox(const testui::BoxRecord& box) {
  ExpectOkBox(box, kNoPackageText, kSetupCaption);
}

// The copy prompt for `destination`, word for word, whatever its length.
inline std::string CopyPromptText(const std::string& destination) {
  std::string text = kCopyFailedFormat;
  return text.replace(text.find("%s"), 2, destination);
}

// What InstallerPath() returns in a test program: the test programs link a substitute of their
// own (InstallerPathDouble.cpp) in place of the installer's, "" until a test sets a path.
void SetInstallerPath(const std::string& installerPath);

// FindPackageFolder resolves beside `installerPath` until destroyed.
class InstallerAt {
 public:
  explicit InstallerAt(const std::string& installerPath) { SetInstallerPath(installerPath); }
  ~InstallerAt() { SetInstallerPath(""); }
  InstallerAt(const InstallerAt&) = delete;
  InstallerAt& operator=(const InstallerAt&) = delete;
};

// A temporary folder that FindPackageFolder takes for the installer's folder, with an empty
// package folder in it.
class PackageBeside {
 public:
  explicit PackageBeside(const std::string& name) : root(name), installer(root / "SetUp.exe") {
    testfs::MakeDir(data);
  }

  testfs::TempDir root;
  InstallerAt installer;
  const std::string data = root / kPackageSubfolder;
};

}  // namespace deploytest
