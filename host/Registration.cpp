#include "host/Registration.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kLoadControls = 2;

}  // namespace

int ModuleYear(int hostYear) {
  if (hostYear >= 2021 && hostYear <= 2024) return 2021;
  if (hostYear >= 2025 && hostYear <= 2027) return 2025;
  return 0;
}

void RegisterPlugin(const HostRegistry& hosts, const YearFlags& flags) {
  for (int i = 0; i < kHostYearCount; ++i)
    if (flags[i] != 0) RegisterRelease(hosts, kFirstHostYear + i);
}

void RegisterRelease(const HostRegistry& hosts, int hostYear) {
  const int moduleYear = ModuleYear(hostYear);
  if (moduleYear == 0) return;
  const TextList& paths = hosts.keyPaths[hostYear - kFirstHostYear];

  // A cut module path would make the host load the wrong file or none: register nothing then,
  // so that an earlier registration stays as it was.
  const int loaderLength =
      std::snprintf(nullptr, 0, "%s\\Quorel%d.ZRX", hosts.installFolder.c_str(), moduleYear);
  char buffer[MAX_PATH];
  if (loaderLength < 0 || loaderLength >= static_cast<int>(sizeof(buffer))) return;

  for (std::size_t i = 0; i < paths.size(); ++i) {
    HKEY key = nullptr;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, paths[i].c_str(), &key);
    if (key == nullptr) continue;

    std::memset(buffer, 0, sizeof(buffer));
    std::snprintf(buffer, sizeof(buffer), "Applications\\Quorel%d", hostYear);
    // Only the leaf goes; an old key with subkeys of its own stays and is reused below.
    RegDeleteKeyA(key, buffer);
    HKEY application = nullptr;
    if (RegCreateKeyA(key, buffer, &application) == ERROR_SUCCESS && application != nullptr) {
      RegSetValueExA(application, "LOADCTRLS", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&kLoadControls), sizeof(kLoadControls));
      std::snprintf(buffer, sizeof(buffer), "%s\\Quorel%d.ZRX", hosts.installFolder.c_str(),
                    moduleYear);
      RegSetValueExA(application, "LOADER", 0, REG_SZ, reinterpret_cast<const BYTE*>(buffer),
                     static_cast<DWORD>(std::strlen(buffer) + 1));
      RegCloseKey(application);
    }
    RegCloseKey(key);
  }
}
