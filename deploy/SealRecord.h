// The record a sealed installer carries of the files it installs: each file's folder, name (the
// code page 936 bytes the listing returns), size and SHA-256, as scripts/bundle.py writes it.
// Little-endian: the 8 bytes "ZSEAL/1\0", a 32-bit entry count, then per entry a folder byte
// (0 package, 1 drawing library), a 16-bit name length, the name, a 64-bit size and 32 digest
// bytes; nothing after the last entry.
#pragma once

// The record's RCDATA resource in a sealed SetUp.exe (res/seal.rc.in names the same one).
#define SETUP_SEAL_RESOURCE 300

#ifndef RC_INVOKED

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class SealFolder : unsigned char { Package = 0, Library = 1 };

using Sha256 = std::array<unsigned char, 32>;

struct SealEntry {
  SealFolder folder;
  std::string name;
  std::uint64_t size;
  Sha256 digest;
};

class SealRecord {
 public:
  // Takes `data` as a whole record; false (the record left empty) when it is not one: cut short,
  // longer than its entries, an unknown folder, a name that is empty, "." or "..", holds a
  // separator or NUL, does not fit a listing entry, or equals another of its folder without
  // regard to case.
  bool Read(const unsigned char* data, std::size_t size);
  // The entry of `name` in `folder`, compared without regard to case as the file system does;
  // null when the record does not hold it.
  const SealEntry* Find(SealFolder folder, const std::string& name) const;
  const std::vector<SealEntry>& Entries() const { return entries; }

 private:
  std::vector<SealEntry> entries;
  // The names folded once (mbcs::ToLower), beside the entries.
  std::vector<std::string> keys;
};

#endif
