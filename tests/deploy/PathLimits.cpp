#include "tests/deploy/PathLimits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "tests/deploy/DeployTesting.h"
#include "tests/support/Snapshot.h"

namespace limits {
namespace {

constexpr std::size_t kBuffer = 260;  // bytes, the terminating NUL included

bool Fits(const std::string& text) {
  return text.size() < kBuffer;
}

// Double-byte characters of the filler: 淺 (9C 5C), 中 (D6 D0), 乗 (81 5C), 表 (B1 ED), 望 (CD FB).
const char* const kFillerGlyphs[] = {"\x9C\x5C", "\xD6\xD0", "\x81\x5C", "\xB1\xED", "\xCD\xFB"};

std::string Filler(std::size_t bytes, bool doubleByte, std::size_t& turn) {
  std::string text;
  if (!doubleByte) {
    while (text.size() < bytes) text += static_cast<char>('a' + turn++ % 26);
    return text;
  }
  if (bytes % 2) text += 'x';
  while (text.size() < bytes) text += kFillerGlyphs[turn++ % 5];
  return text;
}

}  // namespace

std::string DoubleByteText(std::size_t bytes) {
  std::size_t turn = 0;
  return Filler(bytes, true, turn);
}

std::string PathOfBytes(const std::string& base, std::size_t bytes, bool doubleByte,
                        const std::string& leaf) {
  const std::size_t fixed = base.size() + (leaf.empty() ? 0 : leaf.size() + 1);
  if (fixed > bytes) throw std::logic_error("base and leaf are longer than the path");
  std::size_t need = bytes - fixed;
  if (need == 1) throw std::logic_error("one byte cannot make a folder");
  std::string path = base;
  std::size_t turn = 0;
  while (need > 0) {
    // A separator and up to 40 bytes of name, never leaving a single byte over.
    std::size_t name = need <= 41 ? need - 1 : std::min<std::size_t>(40, need - 3);
    path += "\\" + Filler(name, doubleByte, turn);
    need -= name + 1;
  }
  if (!leaf.empty()) path += "\\" + leaf;
  return path;
}

std::string UnexpectedChanges(const DriveListing& before, const DriveListing& after,
                              const std::set<std::wstring>& created, const std::string& root) {
  const std::wstring prefix = Wide(root);
  // Below the root, a long path by its first folder and its last three names.
  const auto shown = [&](const std::wstring& path) {
    if (path.compare(0, prefix.size(), prefix) != 0) return Narrow(path);
    const std::wstring rest = path.substr(prefix.size());
    std::vector<std::wstring> names;
    for (std::size_t start = 1, end; start <= rest.size(); start = end + 1) {
      end = rest.find(L'\\', start);
      if (end == std::wstring::npos) end = rest.size();
      names.push_back(rest.substr(start, end - start));
    }
    if (names.size() <= 5) return "<root>" + Narrow(rest);
    std::string text =
        "<root>\\" + Narrow(names[0]) + "\\(" + std::to_string(names.size() - 4) + " folders)";
    for (std::size_t i = names.size() - 3; i < names.size(); ++i) text += "\\" + Narrow(names[i]);
    return text + " [" + std::to_string(Narrow(path).size()) + " bytes]";
  };
  std::string report;
  for (const auto& change : testsnap::Compare(before, after)) {
    if (change.kind == '+' && created.count(change.entry)) continue;
    report += std::string("  unexpected: ") + change.kind + " " + shown(change.entry);
    if (change.kind == '~')
      report += " (" + Narrow(change.before) + " -> " + Narrow(change.after) + ")";
    report += "\n";
  }
  for (const std::wstring& path : created)
    if (!after.count(path) || before.count(path)) report += "  missing:      " + shown(path) + "\n";
  return report.empty() ? report : "root " + root + "\n" + report;
}

const char* const kPackageFiles[3] = {"a.txt", "Quorel2021.ZRX", "淺.dll"};
const char* const kLibraryFiles[2] = {"x.dwg", "图.dwg"};
const char* const kFonts[2] = {"Quorel_EN.shx", "Quorel_HZ.shx"};
const char kLibrary[] = "Quorel扩展绘图库";

void WritePackage(const std::string& packageFolder, const std::vector<std::string>& extra,
                  const std::vector<std::string>& extraLibrary) {
  const std::string library = packageFolder + "\\" + kLibrary;
  testfs::MakeFolders(library);
  for (const char* name : kPackageFiles) testfs::WriteFile(packageFolder + "\\" + name, name);
  for (const char* name : kFonts) testfs::WriteFile(packageFolder + "\\" + name, name);
  for (const char* name : kLibraryFiles) testfs::WriteFile(library + "\\" + name, name);
  for (const std::string& name : extra) testfs::WriteFile(packageFolder + "\\" + name, name);
  for (const std::string& name : extraLibrary) testfs::WriteFile(library + "\\" + name, name);
}

std::string Lengths(const std::string& what, const std::string& text) {
  return what + " of " + std::to_string(text.size()) + " bytes (" +
         std::to_string(Wide(text).size()) + " characters, " +
         (Fits(text) ? "fits" : "does not fit") + " 260 bytes)";
}

void ExpectPrompts(std::vector<std::string> shown, const std::vector<std::string>& destinations) {
  std::vector<std::string> expected;
  for (const std::string& to : destinations) expected.push_back(deploytest::CopyPromptText(to));
  std::sort(shown.begin(), shown.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(shown, expected);
}

}  // namespace limits
