// What the tests of the built installer share: a copy of SetUp.exe beside a package, hosts in
// the registry, and the installer started as its own process.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include "deploy/Layout.h"
#include "res/resource.h"
#include "tests/support/Process.h"
#include "tests/support/Registry.h"

namespace apptest {

using testreg::kHost2022Key;
const char kHost2025Key[] = "SOFTWARE\\ZWSOFT\\MEP\\2025\\zh-CN";

// A copy of the built installer in its own folder with a package beside it (the module files,
// the fonts, a help file and the drawing library), two hosts (2022, 2025) with Fonts folders
// seeded in the registry, and an empty destination folder.
class InstallerBeside {
 public:
  InstallerBeside() {
    CopyFileA(testproc::FromBuild(SETUP_EXE).c_str(), exe.c_str(), FALSE);
    testfs::WritePackage(data, {"Quorel2021.ZRX", "Quorel2025.ZRX", "帮助.chm"}, {"图块.dwg"});
    testreg::SeedHost(kHost2022Key, hosts / "2022");
    testreg::SeedHost(kHost2025Key, hosts / "2025\\");
  }

  testreg::CleanHostKeys clean;
  testfs::TempDir folder{"setup"};
  testfs::TempDir hosts{"hosts"};
  testfs::TempDir target{"target"};
  const std::string exe = folder / "SetUp.exe";
  const std::string data = folder / kPackageSubfolder;
  const std::string product = target / kProductSubfolder;
  const std::string library = product + "\\" + kLibrarySubfolder;
};

}  // namespace apptest
