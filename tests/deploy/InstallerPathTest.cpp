// The product's InstallerPath(): this program links it, not the tests' substitute.
#include <windows.h>
#include <gtest/gtest.h>

#include "deploy/Layout.h"
#include "deploy/PackageSource.h"
#include "tests/support/Files.h"

namespace {

TEST(InstallerPath, PackageResolvesBesideTheRunningProgram) {
  char self[MAX_PATH + 1] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  EXPECT_EQ(InstallerPath(), self);
  const std::string folder(self, std::string(self).rfind('\\'));
  const std::string data = folder + "\\" + kPackageSubfolder;
  testfs::MakeDir(data);
  std::string package;
  const bool found = FindPackageFolder(package);
  testfs::RemoveTree(data);
  EXPECT_TRUE(found);
  EXPECT_EQ(package, data);
}

}  // namespace
