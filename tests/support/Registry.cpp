#include "tests/support/Registry.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace testreg {

void DeleteTree(const std::string& path) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

void CreateKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) == ERROR_SUCCESS)
    RegCloseKey(key);
}

void SetRaw(const std::string& path, const std::string& name, DWORD type, const void* data,
            DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void SetString(const std::string& path, const std::string& name, const std::string& value) {
  SetRaw(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool QueryValue(const std::string& path, const std::string& name, DWORD& type, std::string& data) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    data.assign(size, '\0');
    status = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

namespace {

void DumpKey(HKEY key, const std::string& path, std::string& out) {
  out += "[" + path + "]\n";
  std::vector<std::string> values;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD nameLength = sizeof(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    std::string data(size, '\0');
    nameLength = sizeof(name);
    RegEnumValueA(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                  &size);
    char head[64];
    std::snprintf(head, sizeof(head), " type=%lu size=%lu:", static_cast<unsigned long>(type),
                  static_cast<unsigned long>(size));
    std::string line = std::string(name, nameLength) + head;
    for (unsigned char c : data.substr(0, size)) {
      char hex[4];
      std::snprintf(hex, sizeof(hex), "%02x", c);
      line += hex;
    }
    values.push_back(line);
  }
  std::sort(values.begin(), values.end());
  for (const auto& line : values) out += line + "\n";
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char name[1024];
    DWORD nameLength = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    subkeys.emplace_back(name, nameLength);
  }
  std::sort(subkeys.begin(), subkeys.end());
  for (const auto& name : subkeys) {
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    DumpKey(child, path + "\\" + name, out);
    RegCloseKey(child);
  }
}

}  // namespace

std::string Dump(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "(missing)";
  std::string out;
  DumpKey(key, path, out);
  RegCloseKey(key);
  return out;
}

CleanHostKeys::CleanHostKeys() {
  DeleteTree("SOFTWARE\\ZWSOFT");
}
CleanHostKeys::~CleanHostKeys() {
  DeleteTree("SOFTWARE\\ZWSOFT");
}

}  // namespace testreg
