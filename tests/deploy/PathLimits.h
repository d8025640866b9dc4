// Paths at the lengths where the installer's 260-byte buffers end: folders built to an exact byte
// length, the drive's changes checked against what was expected, and a "mirror" that works out
// what the platform itself allows by making the same calls on a twin folder tree.
//
// The test's own set-up, listing and clean-up reach any length (tests/support); the product and
// the mirror use the narrow calls with the paths as they are.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/HostRegistry.h"
#include "tests/support/Drive.h"
#include "tests/support/Files.h"

namespace limits {

using testfs::DriveListing;
using testfs::ListDrive;
using testfs::Narrow;
using testfs::Wide;

// `base` followed by folders of filler and, when not empty, `leaf`, exactly `bytes` bytes long
// in code page 936. The filler is ASCII, or double-byte characters (淺 and 乗, whose second byte
// is 0x5C, among them) with one ASCII letter where an odd length needs it. No folder name is
// longer than 40 bytes.
std::string PathOfBytes(const std::string& base, std::size_t bytes, bool doubleByte,
                        const std::string& leaf = "");
// Double-byte text of exactly `bytes` bytes (one ASCII letter first when `bytes` is odd).
std::string DoubleByteText(std::size_t bytes);

// "" when the only differences are the entries of `created`; otherwise the entries that should
// not be there or are missing, one a line, with `root` written as <root>.
std::string UnexpectedChanges(const DriveListing& before, const DriveListing& after,
                              const std::set<std::wstring>& created, const std::string& root);

// A root folder below C:\ztest with two twin branches of equal length, "...\A" and "...\B": a
// case builds everything below A, and the mirror repeats the product's writes below B to learn
// what the platform accepts at those lengths. Removed (any length) on destruction.
class TwinRoot {
 public:
  TwinRoot();
  TwinRoot(const TwinRoot&) = delete;
  TwinRoot& operator=(const TwinRoot&) = delete;
  // The branch in which a case builds.
  const std::string& Real() const { return real; }
  // `path` (below Real()) moved to the twin branch.
  std::string Twin(const std::string& path) const;
  // Makes a folder (every level) in both branches.
  void MakeFoldersInBoth(const std::string& path) const;

 private:
  testfs::TempDir root{"limits"};
  std::string real;
  std::string twin;
};

// Makes the narrow platform calls that the product makes, on the twin paths, and records what
// they create: the entries the product's own calls must create, and no others.
class Mirror {
 public:
  explicit Mirror(const TwinRoot& twins) : twins(twins) {}
  // CreateDirectoryA on the twin of `folder`.
  bool MakeFolder(const std::string& folder);
  // CopyFileA from `from` (read where it is) onto the twin of `to`.
  bool Copy(const std::string& from, const std::string& to);
  // Whether FindFirstFileA opens a listing with `pattern` (read where it is).
  static bool Lists(const std::string& pattern);
  // The real paths whose twins were created, as ListDrive gives them.
  const std::set<std::wstring>& Created() const { return created; }
  void Record(const std::string& path);

 private:
  const TwinRoot& twins;
  std::set<std::wstring> created;
};

// The package of the path cases: three files to copy, the two fonts and a drawing library.
extern const char* const kPackageFiles[3];
extern const char* const kLibraryFiles[2];
extern const char* const kFonts[2];
extern const char kLibrary[];  // "Quorel扩展绘图库"
// Writes the package into `packageFolder` (made first).
void WritePackage(const std::string& packageFolder);

// What the installation run must do for one layout, by the product's rules (a text that does not
// fit its 260-byte buffer is never used: package files then prompt, the library and fonts are
// skipped, a LOADER is not written) and by what the platform allows (the mirror).
struct Expected {
  std::set<std::wstring> created;    // new entries on drive C:
  std::vector<std::string> prompts;  // destination paths of the copy prompt, sorted
  bool registered = false;           // LOADER written under the host key
  std::string loader;
};

// `commandFolder`: the destination as the Install command receives it ("" when the run is
// called directly); `installFolder`: the product folder the run gets.
Expected ExpectInstallation(const TwinRoot& twins, const std::string& packageFolder,
                            const std::string& commandFolder, const std::string& installFolder,
                            const std::vector<std::string>& hostFolders);

// Checks that the prompts shown are exactly one for each destination, in any order.
void ExpectPrompts(std::vector<std::string> shown, const std::vector<std::string>& destinations);

// A byte length, and how it stands to the 260-byte buffer.
std::string Lengths(const std::string& what, const std::string& text);

}  // namespace limits
