// The walk on its own: which path forms it checks, and what it holds while its result lives.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deploy/FolderWalk.h"
#include "tests/support/Files.h"

namespace {

// A form the walk cannot split into the folders the system will use is refused with the path as
// given, and nothing is made, whatever the Install command let through.
TEST(FolderWalk, OnlyFormsItCanFollowAreInstalledInto) {
  testfs::TempDir root("forms");
  const struct {
    std::string product;
    bool safe;
  } cases[] = {
      {root / "a\\Zantrel", true},
      {"\\\\?\\" + root / "b\\Zantrel", true},
      {"\\\\?\\GLOBALROOT\\??\\" + root / "c\\Zantrel", false},
      {"\\\\.\\GLOBALROOT\\??\\" + root / "c\\Zantrel", false},
      {"\\\\.\\" + root / "c\\Zantrel", false},
      {"\\\\?\\UNC\\localhost\\C$\\c\\Zantrel", false},
      // The system takes a "\\?\" path as written, so ".." would not be what was checked.
      {"\\\\?\\" + root / "c\\..\\d\\Zantrel", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    const InstallFolders folders = SecureInstallFolders(c.product);
    EXPECT_EQ(folders.Safe(), c.safe);
    EXPECT_EQ(folders.Refused(), c.safe ? "" : c.product);
  }
  EXPECT_EQ(testfs::List(root.Path()), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(testfs::List(root / "a"), std::vector<std::string>{"Zantrel"});
}

// From the first level below the volume root down to the product folder, nothing can be renamed
// or removed while the result lives; afterwards everything can.
TEST(FolderWalk, FoldersOnTheWayAreHeldUntilTheResultGoes) {
  testfs::TempDir root("held");
  const std::string dest = root / "dest", product = dest + "\\Zantrel";
  const std::vector<std::string> levels = {root.Path(), dest, product};
  {
    const InstallFolders folders = SecureInstallFolders(product);
    ASSERT_TRUE(folders.Safe());
    for (const std::string& level : levels) {
      SCOPED_TRACE(level);
      EXPECT_FALSE(MoveFileA(level.c_str(), (level + "-moved").c_str()));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_FALSE(RemoveDirectoryA(product.c_str()));
    // What the installation does inside is not held up.
    testfs::WriteFile(product + "\\a.txt", "a");
    EXPECT_TRUE(MoveFileExA((product + "\\a.txt").c_str(), (product + "\\b.txt").c_str(), 0));
  }
  EXPECT_TRUE(MoveFileA(product.c_str(), (product + "-moved").c_str()));
  EXPECT_TRUE(MoveFileA(dest.c_str(), (dest + "-moved").c_str()));
}

}  // namespace
