#include "deploy/PackageSource.h"

#include "tests/deploy/DeployTesting.h"

#include <vector>

namespace {

using deploytest::ExpectNoPackageBox;

// Resolves beside `folder`\`installer`; "" when no package was found.
std::string Resolve(const std::string& folder, const std::string& installer = "SetUp.exe") {
  std::string package = "unset";
  return FindPackageFolderFor(folder + "\\" + installer, package) ? package : std::string();
}

TEST(PackageSource, DataFolderFirstThenTheModuleBesideTheInstaller) {
  testui::BoxAnswerer boxes;
  testfs::TempDir both("both");  // an empty Data folder is accepted as it is
  testfs::MakeDir(both / "Data");
  testfs::WriteFile(both / "Quorel2021.zrx", "module");
  EXPECT_EQ(Resolve(both.Path()), both / "Data");

  testfs::TempDir dataFile("datafile");
  testfs::WriteFile(dataFile / "Data", "not a folder");
  testfs::WriteFile(dataFile / "Quorel2021.zrx", "module");
  EXPECT_EQ(Resolve(dataFile.Path()), dataFile.Path());
  EXPECT_TRUE(boxes.Records().empty());
}

TEST(PackageSource, NoPackageShowsOneBoxPerCall) {
  testui::BoxAnswerer boxes;
  testfs::TempDir moduleFolder("modulefolder");
  testfs::MakeDir(moduleFolder / "Quorel2021.zrx");
  EXPECT_EQ(Resolve(moduleFolder.Path()), "");
  testfs::TempDir empty("empty");
  EXPECT_EQ(Resolve(empty.Path()), "");

  const std::vector<testui::BoxRecord> records = boxes.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const testui::BoxRecord& box : records) ExpectNoPackageBox(box);
}

TEST(PackageSource, CutsAtTheRealLastSeparator) {
  testui::BoxAnswerer boxes;
  testfs::TempDir root("dbcs");
  // 淺 is 9C 5C: a byte-wise search would cut inside the installer's own name.
  const std::string folder = root / "安装淺";
  testfs::MakeDir(folder);
  testfs::MakeDir(folder + "\\Data");
  EXPECT_EQ(Resolve(folder, "SetUp淺.exe"), folder + "\\Data");
  EXPECT_TRUE(boxes.Records().empty());
}

TEST(PackageSource, InstallerPathWithoutSeparatorIsNoPackage) {
  // Taken as an installer folder of "", the path would name "\Data" at the drive's root.
  testfs::TempDir cwd("cwd");
  const testfs::CurrentFolder current(cwd.Path());
  const testfs::FixedFolder rootData("C:\\Data");
  testfs::MakeDir(rootData.Path());
  testui::BoxAnswerer boxes;
  std::string package;
  EXPECT_FALSE(FindPackageFolderFor("SetUp.exe", package));
  EXPECT_FALSE(FindPackageFolderFor("", package));
  EXPECT_EQ(boxes.Records().size(), 2u);
}

// This program links the tests' InstallerPath() (InstallerPathDouble.cpp): with the product's,
// the path would be this program's own, and no package lies beside it.
TEST(PackageSource, TestProgramsResolveBesideTheInstallerPathATestSets) {
  char self[MAX_PATH + 1] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  EXPECT_EQ(InstallerPath(), "");

  deploytest::PackageBeside beside("beside");
  EXPECT_EQ(InstallerPath(), beside.root / "SetUp.exe");
  EXPECT_NE(InstallerPath(), self);
  std::string package;
  EXPECT_TRUE(FindPackageFolder(package));
  EXPECT_EQ(package, beside.data);
}

TEST(FileProbes, ProbePathTellsTheKindByTheDirectoryBit) {
  testfs::TempDir root("probe");
  testfs::WriteFile(root / "f.txt", "x");
  testfs::MakeDir(root / "hidden.d");
  SetFileAttributesA((root / "hidden.d").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(testfs::Attributes(root / "hidden.d"), 0x12u);
  EXPECT_EQ(ProbePath(root / "f.txt"), PathKind::File);
  EXPECT_EQ(ProbePath(root.Path()), PathKind::Folder);
  EXPECT_EQ(ProbePath(root / "hidden.d"), PathKind::Folder);
  EXPECT_EQ(ProbePath(root / "none"), PathKind::Missing);
}

LONGLONG ChangeTime(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  FILE_BASIC_INFO info{};
  GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof(info));
  CloseHandle(file);
  return info.ChangeTime.QuadPart;
}

TEST(FileProbes, ClearReadOnlyClearsThatBitAlone) {
  testfs::TempDir root("readonly");
  const std::string locked = root / "locked.txt";
  testfs::WriteFile(locked, "x");
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ClearReadOnly(locked);
  EXPECT_EQ(testfs::Attributes(locked) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

  // A file that is not read-only is not written at all (its change time stays).
  const std::string plain = root / "plain.txt";
  testfs::WriteFile(plain, "x");
  const LONGLONG before = ChangeTime(plain);
  Sleep(50);
  ClearReadOnly(plain);
  EXPECT_EQ(ChangeTime(plain), before);
  ClearReadOnly(root / "none");
  EXPECT_FALSE(testfs::Exists(root / "none"));
}

TEST(FileProbes, MakeReplaceableClearsWhatBlocksACopyAndKeepsTheRest) {
  testfs::TempDir root("replaceable");
  const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  for (DWORD bit : {DWORD{FILE_ATTRIBUTE_READONLY}, DWORD{FILE_ATTRIBUTE_HIDDEN},
                    DWORD{FILE_ATTRIBUTE_SYSTEM}, blocking}) {
    const std::string file = root / "file.txt";
    testfs::WriteFile(file, "x");
    SetFileAttributesA(file.c_str(), bit | FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_EQ(testfs::Attributes(file) & blocking, bit);
    MakeReplaceable(file);
    EXPECT_EQ(testfs::Attributes(file), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)) << bit;
    DeleteFileA(file.c_str());
  }
}

// Without a mark (and Wine has no streams at all): false, and the file is left as it was.
TEST(FileProbes, RemoveDownloadMarkLeavesAnUnmarkedFileAsItWas) {
  testfs::TempDir root("mark");
  const std::string file = root / "a.txt";
  testfs::WriteFile(file, "contents");
  const DWORD attributes = testfs::Attributes(file);
  EXPECT_FALSE(RemoveDownloadMark(file));
  EXPECT_EQ(testfs::ReadFile(file), "contents");
  EXPECT_EQ(testfs::Attributes(file), attributes);
}

}  // namespace
