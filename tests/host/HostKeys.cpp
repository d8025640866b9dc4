#include "tests/host/HostKeys.h"

#include <vector>

namespace hosttest {
namespace {

void SetAccess(const std::string& path, bool (*set)(HKEY)) {
  HKEY key = nullptr;
  // The owner may always rewrite the DACL, even an empty one.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
  set(key);
  RegCloseKey(key);
}

}  // namespace

void UnlockTree(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    SetAccess(path, testreg::AllowAll);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  }
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[1024];
    DWORD length = sizeof(name);
    const LONG status = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) names.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const auto& name : names) UnlockTree(path + "\\" + name);
}

LockedKey::LockedKey(std::string lockedPath) : path(std::move(lockedPath)) {
  testreg::CreateKey(path);
  SetAccess(path, testreg::DenyAll);
}

LockedKey::~LockedKey() {
  SetAccess(path, testreg::AllowAll);
}

int OpenHandleCount() {
  // GetProcessHandleCount reports 0 under Wine; probing the handle values works on both.
  int count = 0;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

Entries EntriesOf(const HostRegistry& hosts, int year) {
  const int index = year - kFirstHostYear;
  EXPECT_EQ(hosts.keyPaths[index].size(), hosts.locations[index].size()) << year;
  Entries entries;
  for (std::size_t k = 0; k < hosts.keyPaths[index].size() && k < hosts.locations[index].size();
       ++k)
    entries.emplace_back(hosts.keyPaths[index][k], hosts.locations[index][k]);
  return entries;
}

}  // namespace hosttest
