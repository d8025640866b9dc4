// What the two path-limit programs share: paths of an exact byte length, a small package, a host
// with an earlier registration, and the whole drive C: compared before and after a run. The
// test's own set-up, listing and clean-up reach any length (tests/support); the product does not.
#pragma once

#include "host/HostRegistry.h"
#include "tests/support/Drive.h"
#include "tests/support/Files.h"

namespace limits {

// `base` followed by folders of filler and, when not empty, `leaf`, exactly `bytes` bytes long
// in code page 936. The filler is ASCII, or double-byte characters (淺 and 乗, whose second byte
// is 0x5C, among them) with one ASCII letter where an odd length needs it. No folder name is
// longer than 40 bytes.
std::string PathOfBytes(const std::string& base, std::size_t bytes, bool doubleByte,
                        const std::string& leaf = "");
// Filler of exactly `bytes` bytes, from its `turn`th character on (one ASCII letter first where
// double-byte text of an odd length needs it).
std::string Filler(std::size_t bytes, bool doubleByte, std::size_t turn = 0);
std::string Parent(const std::string& path);

// The package's three files to copy and its library's two (testfs::WritePackage adds the fonts).
extern const std::vector<std::string> kPackageFiles;  // "a.txt", "Quorel2021.ZRX", "淺.dll"
extern const std::vector<std::string> kLibraryFiles;  // "x.dwg", "图.dwg"

// `hosts` (made, with Fonts folders) as the installations of release 2022 in `registry`; the
// first is in the registry too, with an earlier LOADER that a run which does not register keeps.
void SeedHosts(HostRegistry& registry, const std::vector<std::string>& hosts);
// The LOADER "<folder>\Quorel2021.ZRX" and LOADCTRLS when `registered`; else the earlier LOADER.
void ExpectRegistration(const std::string& folder, bool registered);

// The drive C: as it was when made. ChangesBesides: "" when the only changes since are the
// entries `created`; otherwise the entries that should not be there or are missing, one a line,
// with `root` written as <root>.
struct DriveBefore {
  std::string ChangesBesides(const std::vector<std::string>& created,
                             const std::string& root) const;
  const testfs::DriveListing before = testfs::ListDrive();
};

}  // namespace limits
