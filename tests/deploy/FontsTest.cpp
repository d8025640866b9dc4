#include "deploy/Fonts.h"

#include "tests/deploy/DeployTesting.h"

namespace {

using testfs::List;
using testfs::ReadFile;

class Fonts : public testing::Test {
 protected:
  void SetUp() override { testfs::WritePackage(package.data); }
  // A host installation folder, with a Fonts folder when `withFonts`.
  std::string Host(const std::string& name, bool withFonts = true) {
    testfs::MakeFolders(hosts / name + (withFonts ? "\\Fonts" : ""));
    return hosts / name;
  }
  deploytest::PackageBeside package{"fontpkg"};
  testfs::TempDir hosts{"hosts"};
  HostRegistry registry;
};

// Nothing chosen copies nothing; a chosen year with nothing installed adds nothing.
TEST_F(Fonts, EveryInstallationOfEveryChosenYear) {
  const std::string b = Host("B"), a = Host("A"), unchosen = Host("C"), bare = Host("D", false),
                    e = Host("E");
  registry.locations[1] = {b, a};        // 2022, chosen
  registry.locations[2] = {unchosen};    // 2023, installed but not chosen
  registry.locations[4] = {bare, e, a};  // 2025, chosen; a again
  testui::BoxAnswerer boxes;
  InstallFonts(registry, YearFlags{});  // nothing chosen
  for (const std::string& host : {a, b, unchosen, e}) EXPECT_TRUE(List(host + "\\Fonts").empty());
  // 2021, 2024, 2026 and 2027 are chosen too, with nothing installed.
  InstallFonts(registry, YearFlags{1, 1, 0, 1, 1, 1, 1});

  for (const std::string& host : {a, b, e})
    for (const char* font : kFontNames) EXPECT_EQ(ReadFile(host + "\\Fonts\\" + font), font);
  EXPECT_TRUE(List(unchosen + "\\Fonts").empty());
  EXPECT_TRUE(List(bare).empty());
  EXPECT_TRUE(boxes.Records().empty());
}

TEST_F(Fonts, PackageIsResolvedForEveryInstallation) {
  const std::string a = Host("A"), b = Host("B");
  registry.locations[0] = {a, b};
  registry.locations[6] = {a};
  testfs::RemoveTree(package.data);
  testui::BoxAnswerer boxes;
  InstallFonts(registry, YearFlags{1, 0, 0, 0, 0, 0, 1});
  const std::vector<testui::BoxRecord> records = boxes.Records();
  ASSERT_EQ(records.size(), 3u);
  for (const testui::BoxRecord& box : records) deploytest::ExpectNoPackageBox(box);
  EXPECT_TRUE(List(a + "\\Fonts").empty());
  EXPECT_TRUE(List(b + "\\Fonts").empty());
}

TEST_F(Fonts, FailedCopiesAreSilent) {
  // A locked font is left as it is; the other one is still copied.
  const std::string a = Host("A"), locked = a + "\\Fonts\\" + kFontNames[0];
  testfs::HeldOpen lock(locked);
  // Fonts\Quorel_EN.shx no longer fits 259 characters here: nothing may land under a cut name.
  const std::string deep = Host(std::string(240 - hosts.Path().size() - 1, 'h'));
  registry.locations[3] = {a, deep};
  testui::BoxAnswerer boxes;
  InstallFonts(registry, YearFlags{0, 0, 0, 1, 0, 0, 0});
  lock.Release();
  EXPECT_EQ(ReadFile(locked), "");
  EXPECT_EQ(ReadFile(a + "\\Fonts\\" + kFontNames[1]), kFontNames[1]);
  // No copy under a temporary name is left beside them.
  EXPECT_EQ(List(a + "\\Fonts"), (std::vector<std::string>{kFontNames[0], kFontNames[1]}));
  EXPECT_TRUE(List(deep + "\\Fonts").empty());
  EXPECT_TRUE(boxes.Records().empty());
}

}  // namespace
