#include "host/HostRegistry.h"

#include <cstring>

#include "framework/Text.h"

namespace {

// The vendor's product keys below HKLM, searched in this order.
const char* const kProductKeys[] = {
    "SOFTWARE\\ZWSOFT\\ZWCAD",
    "SOFTWARE\\ZWSOFT\\ZWCADA",
    "SOFTWARE\\ZWSOFT\\ZWCADM",
    "SOFTWARE\\ZWSOFT\\MEP",
};

// Tested against a version subkey's name in this order; the first that occurs wins.
const char* const kYearMarks[kHostYearCount] = {"2021", "2022", "2023", "2024",
                                                "2025", "2026", "2027"};

constexpr DWORD kNameBufferSize = 256;
constexpr DWORD kValueBufferSize = 520;

DWORD SubkeyCount(HKEY key) {
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return count;
}

// The name of the subkey at `index`; false when it cannot be read whole. An empty name would
// reopen the key itself, so the caller must skip the index.
bool SubkeyName(HKEY key, DWORD index, char (&name)[kNameBufferSize]) {
  name[0] = '\0';
  DWORD length = kNameBufferSize;
  return RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

}  // namespace

void HostRegistry::DiscoverHosts() {
  for (const char* productKey : kProductKeys) ScanProductKey(productKey);
}

void HostRegistry::ScanProductKey(const std::string& productKey) {
  HKEY root = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, nullptr, &root) != ERROR_SUCCESS) return;
  HKEY product = nullptr;
  if (RegOpenKeyExA(root, productKey.c_str(), 0, KEY_READ, &product) != ERROR_SUCCESS) {
    RegCloseKey(root);
    return;
  }

  const DWORD count = SubkeyCount(product);
  for (DWORD i = 0; i < count; ++i) {
    char name[kNameBufferSize];
    if (!SubkeyName(product, i, name)) continue;
    const std::string versionName = name;
    const std::string basePath = framework::FormatText("%s\\%s\\", productKey.c_str(), name);

    HKEY version = nullptr;
    if (RegOpenKeyExA(product, name, 0, KEY_READ, &version) != ERROR_SUCCESS) continue;

    foundKeyPaths.clear();
    foundValues.clear();
    valueName = "Location";
    FindValueKeys(version, std::string(), std::string(), basePath);

    for (std::size_t k = 0; k < foundKeyPaths.size(); ++k) {
      std::string value = foundValues[k];
      StripTrailingBackslash(value);
      // The year comes from the version subkey's name only.
      for (int year = 0; year < kHostYearCount; ++year) {
        if (!mbcs::Contains(versionName, kYearMarks[year])) continue;
        keyPaths[year].push_back(foundKeyPaths[k]);
        locations[year].push_back(value);
        break;
      }
    }
    RegCloseKey(version);
  }

  RegCloseKey(product);
  RegCloseKey(root);
}

void HostRegistry::FindValueKeys(HKEY parent, const std::string& subkey,
                                 const std::string& relativePath, const std::string& basePath) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;

  // Zeroed, so that data shorter than the buffer always ends in a NUL; the type is not examined.
  BYTE value[kValueBufferSize] = {};
  DWORD size = kValueBufferSize;
  const LONG status = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, value, &size);
  // Data that fills the whole buffer without a NUL would only give a cut path.
  const void* end = std::memchr(value, '\0', kValueBufferSize);
  if (status == ERROR_SUCCESS && end != nullptr) {
    foundKeyPaths.push_back(basePath + relativePath);
    foundValues.emplace_back(reinterpret_cast<const char*>(value),
                             static_cast<const BYTE*>(end) - value);
    RegCloseKey(key);
    return;
  }

  const DWORD count = SubkeyCount(key);
  for (DWORD i = 0; i < count; ++i) {
    char name[kNameBufferSize];
    if (!SubkeyName(key, i, name)) continue;
    FindValueKeys(key, name, relativePath + name + "\\", basePath);
  }
  RegCloseKey(key);
}

void HostRegistry::StripTrailingBackslash(std::string& text) {
  const std::size_t p = mbcs::FindLast(text, '\\');
  if (p != std::string::npos && p > 0 && p == text.size() - 1) text.erase(p, 1);
}
