// The walk on its own: a form it cannot split into the folders the system will use is refused
// with the path as given, and nothing is made, whatever the Install command let through.
#include <windows.h>
#include <gtest/gtest.h>

#include "deploy/FolderWalk.h"
#include "tests/support/Files.h"

TEST(FolderWalk, OnlyFormsItCanFollowAreInstalledInto) {
  testfs::TempDir root("forms");
  // The system takes a "\\?\" path as written, so ".." in one would not be what was checked.
  for (const std::string& product :
       {"\\\\?\\GLOBALROOT\\??\\" + root / "b\\Zantrel", "\\\\.\\" + root / "b\\Zantrel",
        std::string("\\\\?\\UNC\\localhost\\C$\\b\\Zantrel"),
        "\\\\?\\" + root / "b\\..\\c\\Zantrel"}) {
    const InstallFolders folders = SecureInstallFolders(product);
    EXPECT_FALSE(folders.Safe()) << product;
    EXPECT_EQ(folders.Refused(), product);
  }
  EXPECT_TRUE(SecureInstallFolders("\\\\?\\" + root / "a\\Zantrel").Safe());
  EXPECT_EQ(testfs::List(root.Path()), std::vector<std::string>{"a"});
}
