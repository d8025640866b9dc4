#include "tests/deploy/PathLimits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "tests/support/Registry.h"
#include "tests/support/Snapshot.h"

namespace limits {
namespace {

const char kOldLoader[] = "C:\\Old\\Zantrel\\Quorel2021.ZRX";

// Double-byte characters of the filler: 淺 (9C 5C), 中 (D6 D0), 乗 (81 5C), 表 (B1 ED), 望 (CD FB).
const char* const kFillerGlyphs[] = {"\x9C\x5C", "\xD6\xD0", "\x81\x5C", "\xB1\xED", "\xCD\xFB"};

}  // namespace

std::string Filler(std::size_t bytes, bool doubleByte, std::size_t turn) {
  std::string text = doubleByte && bytes % 2 ? "x" : "";
  while (text.size() < bytes)
    text += doubleByte ? std::string(kFillerGlyphs[turn++ % 5]) : std::string(1, 'a' + turn++ % 26);
  return text;
}

std::string PathOfBytes(const std::string& base, std::size_t bytes, bool doubleByte,
                        const std::string& leaf) {
  const std::size_t fixed = base.size() + (leaf.empty() ? 0 : leaf.size() + 1);
  if (fixed > bytes) throw std::logic_error("base and leaf are longer than the path");
  std::size_t need = bytes - fixed;
  if (need == 1) throw std::logic_error("one byte cannot make a folder");
  std::string path = base;
  while (need > 0) {
    // A separator and up to 40 bytes of name, never leaving a single byte over.
    std::size_t name = need <= 41 ? need - 1 : std::min<std::size_t>(40, need - 3);
    path += "\\" + Filler(name, doubleByte, path.size());
    need -= name + 1;
  }
  return leaf.empty() ? path : path + "\\" + leaf;
}

std::string Parent(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

const std::vector<std::string> kPackageFiles = {"a.txt", "Quorel2021.ZRX", "淺.dll"};
const std::vector<std::string> kLibraryFiles = {"x.dwg", "图.dwg"};

void SeedHosts(HostRegistry& registry, const std::vector<std::string>& hosts) {
  testreg::DeleteTree(testreg::kVendorKey);
  for (const std::string& host : hosts) testfs::MakeFolders(host + "\\Fonts");
  testreg::SetString(testreg::kHost2022Key, "Location", hosts.front());
  testreg::SetString(testreg::kApp2022Key, "LOADER", kOldLoader);
  registry.keyPaths[1] = {std::string(testreg::kHost2022Key) + "\\"};
  registry.locations[1] = hosts;
}

void ExpectRegistration(const std::string& folder, bool registered) {
  DWORD type = 0;
  std::string controls;
  EXPECT_EQ(testreg::Loader(testreg::kApp2022Key),
            (registered ? folder + "\\Quorel2021.ZRX" : std::string(kOldLoader)) + '\0');
  EXPECT_EQ(testreg::QueryValue(testreg::kApp2022Key, "LOADCTRLS", type, controls), registered);
}

std::string DriveBefore::ChangesBesides(const std::vector<std::string>& created,
                                        const std::string& root) const {
  const testfs::DriveListing after = testfs::ListDrive();
  std::set<std::wstring> expected;
  for (const std::string& path : created) expected.insert(testfs::Wide(path));
  const auto shown = [&](const std::wstring& path) {
    const std::string text = testfs::Narrow(path);
    return (text.rfind(root, 0) == 0 ? "<root>" + text.substr(root.size()) : text) + " [" +
           std::to_string(text.size()) + " bytes]";
  };
  std::string report;
  for (const auto& change : testsnap::Compare(before, after)) {
    if (change.kind == '+' && expected.count(change.entry)) continue;
    report += std::string("  unexpected: ") + change.kind + " " + shown(change.entry);
    if (change.kind == '~')
      report += " (" + testfs::Narrow(change.before) + " -> " + testfs::Narrow(change.after) + ")";
    report += "\n";
  }
  for (const std::wstring& path : expected)
    if (!after.count(path) || before.count(path)) report += "  missing:    " + shown(path) + "\n";
  return report.empty() ? report : "root " + root + "\n" + report;
}

}  // namespace limits
