#include "host/Registration.h"

#include "framework/Text.h"

namespace {

constexpr DWORD kLoadControls = 2;

}  // namespace

int ModuleYear(int hostYear) {
  if (hostYear >= 2021 && hostYear <= 2024) return 2021;
  if (hostYear >= 2025 && hostYear <= 2027) return 2025;
  return 0;
}

std::string Loader(const std::string& installFolder, int hostYear) {
  const int moduleYear = ModuleYear(hostYear);
  if (moduleYear == 0) return {};
  std::string loader = framework::FormatText("%s\\Quorel%d.ZRX", installFolder.c_str(), moduleYear);
  return loader.size() < MAX_PATH ? loader : std::string();
}

void RegisterPlugin(const HostRegistry& hosts, const YearFlags& flags) {
  for (int i = 0; i < kHostYearCount; ++i)
    if (flags[i] != 0) RegisterRelease(hosts, kFirstHostYear + i);
}

void RegisterRelease(const HostRegistry& hosts, int hostYear) {
  // Without a whole module path nothing is registered: an earlier registration stays as it was.
  const std::string loader = Loader(hosts.installFolder, hostYear);
  if (loader.empty()) return;
  const TextList& paths = hosts.keyPaths[hostYear - kFirstHostYear];
  const std::string application = framework::FormatText("Applications\\Quorel%d", hostYear);

  for (std::size_t i = 0; i < paths.size(); ++i) {
    HKEY key = nullptr;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, paths[i].c_str(), &key);
    if (key == nullptr) continue;

    // Only the leaf goes; an old key with subkeys of its own stays and is reused below.
    RegDeleteKeyA(key, application.c_str());
    HKEY created = nullptr;
    if (RegCreateKeyA(key, application.c_str(), &created) == ERROR_SUCCESS && created != nullptr) {
      RegSetValueExA(created, "LOADCTRLS", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&kLoadControls), sizeof(kLoadControls));
      RegSetValueExA(created, "LOADER", 0, REG_SZ, reinterpret_cast<const BYTE*>(loader.c_str()),
                     static_cast<DWORD>(loader.size() + 1));
      RegCloseKey(created);
    }
    RegCloseKey(key);
  }
}
