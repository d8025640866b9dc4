// Where an installation puts what, and how long its paths may be: every name and limit of the
// installation's layout, written once for the product and its tests.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Below the chosen destination: "<destination>\Zantrel", the product folder.
inline constexpr char kProductSubfolder[] = "Zantrel";
// Beside the installer: the package folder, or the module that makes the installer's own folder
// the package.
inline constexpr char kPackageSubfolder[] = "Data";
inline constexpr char kPackageMarker[] = "Quorel2021.zrx";
// The drawing library's folder, below the package folder and below the product folder.
inline constexpr char kLibrarySubfolder[] = "Quorel扩展绘图库";
// Package names containing it are left out of the product folder (the library and its kin).
inline constexpr char kLibraryMarker[] = "扩展绘图库";
inline constexpr char kInstallerName[] = "SetUp.EXE";
// The two fonts go from the package into each host's Fonts folder, never into the product folder.
inline constexpr char kFontsSubfolder[] = "Fonts";
inline constexpr const char* kFontNames[] = {"Quorel_EN.shx", "Quorel_HZ.shx"};

// `folder` followed by a separator and `name`.
inline std::string Below(const std::string& folder, const char* name) {
  return folder + '\\' + name;
}

// Paths are formatted into 260-byte buffers: a longer one is never used cut short.
constexpr std::size_t kPathBufferSize = MAX_PATH;
inline bool FitsPathBuffer(const std::string& path) {
  return path.size() < kPathBufferSize;
}

// CreateDirectoryA makes a folder only while its path leaves room below MAX_PATH for an 8.3 file
// name (12 characters): 248 with the NUL. Counted here in bytes of the ANSI code page, which are
// never fewer than the characters Windows counts.
constexpr std::size_t kLongestCreatableFolder = MAX_PATH - 12 - 1;
// The longest product folder, in bytes, that an installation completes whole: the longest folder
// it makes is "<product folder>\Quorel扩展绘图库". The module path registered as LOADER is
// shorter ("\Quorel2021.ZRX", 15 bytes), so it then fits its 260-byte buffer too.
constexpr std::size_t kLongestInstallFolder =
    kLongestCreatableFolder - 1 - (sizeof(kLibrarySubfolder) - 1);  // 230
