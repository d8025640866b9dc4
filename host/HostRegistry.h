// The record of the host installations found in the registry, filled once at start-up.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

// Host years 2021..2027, always handled in ascending order; index 0..6 in the per-year lists.
constexpr int kFirstHostYear = 2021;
constexpr int kLastHostYear = 2027;
constexpr int kHostYearCount = kLastHostYear - kFirstHostYear + 1;

using TextList = std::vector<std::string>;
// Seven flags, 2021 first; non-zero means the year was chosen.
using YearFlags = std::array<int, kHostYearCount>;

class HostRegistry {
 public:
  // Folder into which the package is installed; set by the installation run.
  std::string installFolder;
  // Per host year: installation folders ("Location" values, one trailing backslash removed)...
  std::array<TextList, kHostYearCount> locations;
  // ...and, entry for entry, the key paths below HKLM that hold them (each ends with '\').
  std::array<TextList, kHostYearCount> keyPaths;
  // Name of the value that marks an installation key.
  std::string valueName;
  // Work lists of the latest search: key paths and the values found there.
  TextList foundKeyPaths;
  TextList foundValues;

  // Searches the four product keys and fills the per-year lists.
  void DiscoverHosts();
  // Searches one product key's version subkeys.
  void ScanProductKey(const std::string& productKey);
  // Depth-first search below `parent`\`subkey` for keys holding `valueName`.
  void FindValueKeys(HKEY parent, const std::string& subkey, const std::string& relativePath,
                     const std::string& basePath);
  // Removes at most one trailing backslash (never the text's only character).
  static void StripTrailingBackslash(std::string& text);
};

// The process's one record (defined with the other process-wide objects).
extern HostRegistry theHostRegistry;
