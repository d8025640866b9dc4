#include "tests/support/Registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
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

std::string Loader(const std::string& appKey) {
  DWORD type = 0;
  std::string value;
  return QueryValue(appKey, "LOADER", type, value) && type == REG_SZ ? value : std::string();
}

namespace {

// Wine's escapes in a dumped name: \\, \", \n and the like, \ooo (octal) and \xhhhh (hex).
std::wstring Unescape(const std::string& text, std::size_t& at, char end) {
  static const std::string letters = "abtnvfre", codes = "\a\b\t\n\v\f\r\x1b";
  std::wstring out;
  while (at < text.size() && text[at] != end) {
    if (text[at] != '\\' || at + 1 == text.size()) {
      out += static_cast<wchar_t>(static_cast<unsigned char>(text[at++]));
      continue;
    }
    const char next = text[++at];
    const std::size_t letter = letters.find(next);
    const bool hex = next == 'x', octal = next >= '0' && next <= '7';
    if (!hex && !octal) {
      out += letter == std::string::npos ? next : codes[letter];
      ++at;
      continue;
    }
    const std::size_t first = hex ? ++at : at;
    unsigned code = 0;
    while (at < text.size() && at - first < (hex ? 4u : 3u) &&
           std::isxdigit(static_cast<unsigned char>(text[at])) && (hex || text[at] <= '7'))
      code = code * (hex ? 16 : 8) + std::stoul(text.substr(at++, 1), nullptr, 16);
    out += static_cast<wchar_t>(code);
  }
  ++at;  // the closing delimiter
  return out;
}

// Saving a key needs the backup privilege, which an administrator holds but has not enabled.
void EnableBackup() {
  HANDLE token = nullptr;
  TOKEN_PRIVILEGES backup{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token) &&
      LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &backup.Privileges[0].Luid))
    AdjustTokenPrivileges(token, FALSE, &backup, 0, nullptr, nullptr);
  if (token) CloseHandle(token);
}

// Wine writes a branch as text in one call, where a walk through the key functions takes
// seconds for HKLM\SOFTWARE. A section "[path] time" holds a key's values, "name"=data or
// @=data (the default value). A key with subkeys but no values has no section of its own, and
// volatile keys are not written. The file goes to the user's Temp, which drive listings leave out.
void ReadDump(HKEY key, const std::string& path, Tree& out) {
  EnableBackup();
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  LONG saved = ERROR_PATH_NOT_FOUND;
  if (GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"reg", 0, file)) {
    DeleteFileW(file);  // the dump makes its own file
    saved = RegSaveKeyW(key, file, nullptr);
  }
  // Never an empty tree that compares equal to another empty one.
  if (saved != ERROR_SUCCESS) ADD_FAILURE() << path << " could not be saved: error " << saved;
  const std::string text = saved == ERROR_SUCCESS ? testfs::ReadFile(testfs::Narrow(file)) : "";
  DeleteFileW(file);
  std::string section = path, line, more;
  std::istringstream lines(text);
  while (std::getline(lines, line)) {
    // Long data goes on after a backslash at the end of a line and two spaces on the next.
    while (!line.empty() && line.back() == '\\' && std::getline(lines, more))
      line.replace(line.size() - 1, 1, more.substr(2));
    std::size_t at = 1;
    if (line.empty() || line[0] == '#' || line[0] == ';' || line.rfind("WINE", 0) == 0) continue;
    if (line[0] == '[') {
      const std::string below = testfs::Narrow(Unescape(line, at, ']'));
      section = below.empty() ? path : path + "\\" + below;
      // The section and every key above it, up to the branch.
      for (std::string key = section; key.size() > path.size(); key.resize(key.rfind('\\')))
        out[key] = "key";
      continue;
    }
    const std::string name =
        line[0] == '@' ? std::string() : testfs::Narrow(Unescape(line, at, '"'));
    out[section + " : " + name] = line.substr(line[0] == '@' ? 2 : at + 1);
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
  out["HKLM\\" + path] = "key";
  ReadDump(key, "HKLM\\" + path, out);
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
  UnlockBelow(HKEY_LOCAL_MACHINE, testfs::Wide(path));
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
  DeleteTree(kVendorKey);
  HKEY left = nullptr;
  const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendorKey, 0, KEY_READ, &left);
  if (status == ERROR_FILE_NOT_FOUND) return;
  if (status == ERROR_SUCCESS) RegCloseKey(left);
  UnlockTree(kVendorKey);
  DeleteTree(kVendorKey);
}

}  // namespace

CleanHostKeys::CleanHostKeys() {
  CleanVendorTree();
}
CleanHostKeys::~CleanHostKeys() {
  CleanVendorTree();
}

}  // namespace testreg
