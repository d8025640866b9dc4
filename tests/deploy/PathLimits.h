// Paths at the lengths where the installer's 260-byte buffers end: folders built to an exact byte
// length, a small package, and the drive's changes checked against the entries a case expects.
//
// The test's own set-up, listing and clean-up reach any length (tests/support); the product uses
// the narrow calls with the paths as they are.
#pragma once

#include <windows.h>

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

// The package of the path cases: three files to copy, the two fonts and a drawing library.
extern const char* const kPackageFiles[3];
extern const char* const kLibraryFiles[2];
extern const char* const kFonts[2];
extern const char kLibrary[];  // "Quorel扩展绘图库"
// Writes the package into `packageFolder` (made first), with `extra` files beside the package
// files and `extraLibrary` ones beside the library's.
void WritePackage(const std::string& packageFolder, const std::vector<std::string>& extra = {},
                  const std::vector<std::string>& extraLibrary = {});

// Checks that the prompts shown are exactly one for each destination, in any order.
void ExpectPrompts(std::vector<std::string> shown, const std::vector<std::string>& destinations);

// A byte length, and how it stands to the 260-byte buffer.
std::string Lengths(const std::string& what, const std::string& text);

}  // namespace limits
