// What the deployment tests share: the package message and a package beside a chosen installer.
#pragma once

#include "deploy/PackageSource.h"
#include "tests/support/Boxes.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <string>

namespace deploytest {

const char kCaption[] = "Q-软件安装";
const char kNoPackageText[] =
    "未找到安装所需的Data文件夹 !\n\n可能安装文件下载后没有解压，\n\n请解压后再执行SetUp.exe !";

inline void ExpectNoPackageBox(const testui::BoxRecord& box) {
  EXPECT_EQ(box.caption, kCaption);
  EXPECT_EQ(box.text, kNoPackageText);
  EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_OK));
  EXPECT_FALSE(box.hasIcon);
}

// A temporary folder that FindPackageFolder takes for the installer's folder, with a "Data"
// package folder in it.
class PackageBeside {
 public:
  explicit PackageBeside(const std::string& name) : root(name) {
    testfs::MakeDir(data);
    OverrideInstallerPath((root / "SetUp.exe").c_str());
  }
  ~PackageBeside() { OverrideInstallerPath(nullptr); }

  testfs::TempDir root;
  const std::string data = root / "Data";
};

}  // namespace deploytest
