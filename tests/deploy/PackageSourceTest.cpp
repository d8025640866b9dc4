#include "deploy/InstallFile.h"

#include "tests/deploy/DeployTesting.h"

namespace {

using deploytest::ExpectNoPackageBox;

// The Data folder beside the installer (even empty), else the installer's own folder when the
// module file is there; otherwise one box a call. 淺 is 9C 5C: a byte-wise search for the last
// separator would cut inside the installer's own name.
TEST(PackageSource, DataFolderFirstThenTheModuleBesideTheInstaller) {
  const std::string data = kPackageSubfolder, module = kPackageMarker, below = "\\" + data;
  const struct {
    const char* folder;
    std::vector<std::string> entries;  // folders end in a backslash
    const char* installer;
    const char* found;  // below the folder; nullptr: no package
  } cases[] = {
      {"both", {data + "\\", module}, "SetUp.exe", below.c_str()},
      {"datafile", {data, module}, "SetUp.exe", ""},
      {"安装淺", {data + "\\"}, "SetUp淺.exe", below.c_str()},
      {"modulefolder", {module + "\\"}, "SetUp.exe", nullptr},
      {"empty", {}, "SetUp.exe", nullptr},
  };
  testui::BoxAnswerer boxes;
  testfs::TempDir root("source");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string folder = root / c.folder;
    testfs::MakeDir(folder);
    for (const std::string& entry : c.entries) {
      entry.back() == '\\' ? testfs::MakeDir(folder + "\\" + entry.substr(0, entry.size() - 1))
                           : testfs::WriteFile(folder + "\\" + entry, "x");
    }
    const std::size_t before = boxes.Records().size();
    std::string package;
    const bool found = FindPackageFolderFor(folder + "\\" + c.installer, package);
    EXPECT_EQ(found ? package : "", c.found ? folder + c.found : "");
    ASSERT_EQ(boxes.Records().size(), before + (c.found ? 0 : 1));
    if (!c.found) ExpectNoPackageBox(boxes.Records().back());
  }
}

TEST(PackageSource, InstallerPathWithoutSeparatorIsNoPackage) {
  // Taken as an installer folder of "", the path would name "\Data" at the drive's root.
  testfs::TempDir cwd("cwd");
  const testfs::CurrentFolder current(cwd.Path());
  const testfs::FixedFolder rootData(std::string("C:\\") + kPackageSubfolder);
  testfs::MakeDir(rootData.Path());
  testui::BoxAnswerer boxes;
  std::string package;
  EXPECT_FALSE(FindPackageFolderFor("SetUp.exe", package));
  EXPECT_FALSE(FindPackageFolderFor("", package));
  EXPECT_EQ(boxes.Records().size(), 2u);
}

// FindPackageFolder resolves beside InstallerPath(): in the test programs, the path a test sets
// (InstallerPathDouble.cpp); with the product's, this program's own, with no package beside it.
TEST(PackageSource, TestProgramsResolveBesideTheInstallerPathATestSets) {
  deploytest::PackageBeside beside("beside");
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

// A file takes its name by a rename: whatever stood there loses the name, and no copy under a
// temporary name stays behind, whatever happened.
TEST(InstallFile, ReplacesWhatStandsThereAndLeavesNothingElse) {
  const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const struct {
    const char* what;
    DWORD earlier;        // the earlier copy's bits; 0 for none
    bool held;            // the earlier copy held open by another program
    const char* planted;  // an entry already at a temporary name
    Placed placed;
  } cases[] = {
      {"a new file", 0, false, nullptr, Placed::Installed},
      {"over a read-only copy", FILE_ATTRIBUTE_READONLY, false, nullptr, Placed::Installed},
      {"over a hidden copy", FILE_ATTRIBUTE_HIDDEN, false, nullptr, Placed::Installed},
      {"over a system copy", FILE_ATTRIBUTE_SYSTEM, false, nullptr, Placed::Installed},
      {"over all three", blocking, false, nullptr, Placed::Installed},
      {"over a copy in use", FILE_ATTRIBUTE_ARCHIVE, true, nullptr, Placed::Failed},
      {"beside a planted temporary name", 0, false, "~zts0001", Placed::Installed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testfs::TempDir root("place");
    const std::string from = root / "from.dll", to = root / "to\\a.dll";
    testfs::WriteFile(from, "new");
    testfs::MakeDir(root / "to");
    std::vector<std::string> expected{"a.dll"};
    if (c.planted) {
      testfs::WriteFile(root / (std::string("to\\") + c.planted), "planted");
      expected.push_back(c.planted);
    }
    if (c.earlier) {
      testfs::WriteFile(to, "old");
      SetFileAttributesA(to.c_str(), c.earlier);
    }
    testfs::HeldOpen held(c.held ? to : root / "none");
    EXPECT_EQ(InstallFile(from, to, true), c.placed);
    held.Release();
    EXPECT_EQ(testfs::ReadFile(to), c.placed == Placed::Installed ? "new" : "old");
    if (c.placed == Placed::Installed) {
      EXPECT_EQ(testfs::Attributes(to) & blocking, 0u);
    }
    EXPECT_EQ(testfs::List(root / "to"), expected);
    if (c.planted) {
      EXPECT_EQ(testfs::ReadFile(root / (std::string("to\\") + c.planted)), "planted");
    }
    SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// The mark goes and the file stays as it was; without a mark, false. Wine has no streams, but
// keeps "a.txt:Zone.Identifier" as a file of that name, which the same calls make and remove.
TEST(FileProbes, RemoveDownloadMarkRemovesTheMarkAlone) {
  testfs::TempDir root("mark");
  const std::string file = root / "a.txt";
  const std::string mark = file + ":Zone.Identifier";
  testfs::WriteFile(file, "contents");
  testfs::WriteFile(mark, "[ZoneTransfer]\r\nZoneId=3\r\n");
  ASSERT_TRUE(testfs::Exists(mark));
  const DWORD attributes = testfs::Attributes(file);
  EXPECT_TRUE(RemoveDownloadMark(file));
  EXPECT_FALSE(testfs::Exists(mark));
  EXPECT_FALSE(RemoveDownloadMark(file));
  EXPECT_EQ(testfs::ReadFile(file), "contents");
  EXPECT_EQ(testfs::Attributes(file), attributes);
}

}  // namespace
