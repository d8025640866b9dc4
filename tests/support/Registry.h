// Seeding and reading the test prefix's real registry. Paths are relative to HKLM.
#pragma once

#include <windows.h>

#include <string>

namespace testreg {

void DeleteTree(const std::string& path);
void CreateKey(const std::string& path);
void SetString(const std::string& path, const std::string& name, const std::string& value);
void SetRaw(const std::string& path, const std::string& name, DWORD type, const void* data,
            DWORD size);
bool KeyExists(const std::string& path);
// Reads a value's type and raw bytes; false when it is missing.
bool QueryValue(const std::string& path, const std::string& name, DWORD& type, std::string& data);
// A deterministic text of a subtree (keys, value names, types and bytes), for comparisons.
std::string Dump(const std::string& path);

// Empties HKLM\SOFTWARE\ZWSOFT before and after a test.
class CleanHostKeys {
 public:
  CleanHostKeys();
  ~CleanHostKeys();
};

}  // namespace testreg
