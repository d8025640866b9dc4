#include "tests/support/Registry.h"

#include <cstdio>
#include <utility>

#include "tests/support/Files.h"

namespace testreg {

void DeleteTree(const std::string& path) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

void CreateKey(const std::string& path, bool isVolatile) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                      isVolatile ? REG_OPTION_VOLATILE : 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS)
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

std::string Hex(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof(hex), "%02x", c);
    text += hex;
  }
  return text;
}

void ReadKey(HKEY key, const std::string& path, Tree& out) {
  out[path] = "key";
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
    data.resize(size);
    out[path + " : " + std::string(name, nameLength)] =
        "type " + std::to_string(type) + " " + Hex(data);
  }
  for (DWORD i = 0;; ++i) {
    char name[1024];
    DWORD nameLength = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    ReadKey(child, path + "\\" + std::string(name, nameLength), out);
    RegCloseKey(child);
  }
}

bool SetDacl(HKEY key, ACL* dacl) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE);
  return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

}  // namespace

void ReadTree(const std::string& path, Tree& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  ReadKey(key, "HKLM\\" + path, out);
  RegCloseKey(key);
}

std::string Dump(const std::string& path) {
  Tree tree;
  ReadTree(path, tree);
  if (tree.empty()) return "(missing)";
  std::string out;
  for (const auto& [entry, record] : tree) out += entry + " = " + record + "\n";
  return out;
}

std::vector<std::string> ValueNames(const std::string& path) {
  Tree tree;
  ReadTree(path, tree);
  const std::string own = "HKLM\\" + path + " : ";
  std::vector<std::string> names;
  for (const auto& [entry, record] : tree)
    if (entry.compare(0, own.size(), own) == 0) names.push_back(entry.substr(own.size()));
  return names;
}

bool DenyAll(HKEY key) {
  alignas(DWORD) char buffer[64];
  ACL* empty = reinterpret_cast<ACL*>(buffer);
  InitializeAcl(empty, sizeof(buffer), ACL_REVISION);
  return SetDacl(key, empty);
}

bool AllowAll(HKEY key) {
  return SetDacl(key, nullptr);
}

namespace {

void SetAccess(const std::string& path, bool (*set)(HKEY)) {
  HKEY key = nullptr;
  // The owner may always rewrite the DACL, even an empty one.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
  set(key);
  RegCloseKey(key);
}

// Opens `name` below `parent` for reading, giving back access first where it was denied, and
// does the same below it. Wide names and handles: every name and depth a test can make.
void UnlockBelow(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    // The owner may always rewrite the DACL, even an empty one.
    if (RegOpenKeyExW(parent, name.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
    AllowAll(key);
    RegCloseKey(key);
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  }
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t child[256];
    DWORD length = 256;
    const LONG status = RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) names.emplace_back(child, length);
  }
  for (const std::wstring& child : names) UnlockBelow(key, child);
  RegCloseKey(key);
}

}  // namespace

void UnlockTree(const std::string& path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  wide.resize(wcslen(wide.c_str()));
  UnlockBelow(HKEY_LOCAL_MACHINE, wide);
}

LockedKey::LockedKey(std::string lockedPath) : path(std::move(lockedPath)) {
  CreateKey(path);
  SetAccess(path, DenyAll);
}

LockedKey::~LockedKey() {
  SetAccess(path, AllowAll);
}

void SeedHost(const std::string& key, const std::string& location) {
  const bool trailing = !location.empty() && location.back() == '\\';
  testfs::MakeFolders(location.substr(0, location.size() - (trailing ? 1 : 0)) + "\\Fonts");
  SetString(key, "Location", location);
}

namespace {

// Deletes the vendor tree; a locked key in it (a test that denies access) is unlocked first.
// The unlock walk opens every key, so it runs only when a plain delete left something behind.
void CleanVendorTree() {
  const char kVendor[] = "SOFTWARE\\ZWSOFT";
  DeleteTree(kVendor);
  HKEY left = nullptr;
  const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendor, 0, KEY_READ, &left);
  if (status == ERROR_FILE_NOT_FOUND) return;
  if (status == ERROR_SUCCESS) RegCloseKey(left);
  UnlockTree(kVendor);
  DeleteTree(kVendor);
}

}  // namespace

CleanHostKeys::CleanHostKeys() {
  CleanVendorTree();
}
CleanHostKeys::~CleanHostKeys() {
  CleanVendorTree();
}

}  // namespace testreg
