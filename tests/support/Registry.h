// Seeding and reading the test prefix's real registry. Paths are relative to HKLM.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testreg {

void DeleteTree(const std::string& path);
// A volatile key is gone at the next start, and below it only volatile keys can be made.
void CreateKey(const std::string& path, bool isVolatile = false);
void SetString(const std::string& path, const std::string& name, const std::string& value);
void SetRaw(const std::string& path, const std::string& name, DWORD type, const void* data,
            DWORD size);
bool KeyExists(const std::string& path);
// Reads a value's type and raw bytes; false when it is missing.
bool QueryValue(const std::string& path, const std::string& name, DWORD& type, std::string& data);
// The LOADER value of an application key as stored, its NUL included; "" when missing or not
// a REG_SZ.
std::string Loader(const std::string& appKey);
// Every key and value of a subtree, as the registry saves it: "HKLM\<key path>" -> "key" and
// "HKLM\<key path> : <value name>" -> its type and data as saved. Keys below it are read whatever
// their access list; volatile keys are left out (they are not saved).
using Tree = std::map<std::string, std::string>;
void ReadTree(const std::string& path, Tree& out);
// The same as one text, one entry a line ("(missing)" without the key), for comparisons.
std::string Dump(const std::string& path);

// The names of a key's own values, sorted.
std::vector<std::string> ValueNames(const std::string& path);

// Sets the DACL of an open key (opened with WRITE_DAC): an empty one, which denies every access
// (the key still shows in enumerations), or none, which allows everything again.
bool DenyAll(HKEY key);
bool AllowAll(HKEY key);

// Gives back access to every key below `path` that was left denied (a test that crashed would
// otherwise leave a tree that cannot be deleted).
void UnlockTree(const std::string& path);

// Denies every access to a key (an empty DACL) until destroyed; it still shows in enumerations.
class LockedKey {
 public:
  explicit LockedKey(std::string path);
  ~LockedKey();
  LockedKey(const LockedKey&) = delete;
  LockedKey& operator=(const LockedKey&) = delete;

 private:
  std::string path;
};

// The vendor's key, below which every host installation is found.
inline constexpr char kVendorKey[] = "SOFTWARE\\ZWSOFT";
// The host installation key that most tests seed (release 2022), and the application key that
// registration makes below it.
inline constexpr char kHost2022Key[] = "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\zh-CN";
inline constexpr char kApp2022Key[] =
    "SOFTWARE\\ZWSOFT\\ZWCAD\\2022\\zh-CN\\Applications\\Quorel2022";

// A host installation: its folder with a Fonts folder on the drive (made), and `key` with the
// "Location" value `location` (the folder, with or without one trailing backslash).
void SeedHost(const std::string& key, const std::string& location);

// Empties HKLM\SOFTWARE\ZWSOFT before and after a test, unlocking what a test left locked.
class CleanHostKeys {
 public:
  CleanHostKeys();
  ~CleanHostKeys();
};

}  // namespace testreg
