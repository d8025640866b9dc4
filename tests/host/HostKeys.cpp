#include "tests/host/HostKeys.h"

#include <algorithm>
#include <vector>

namespace hosttest {
int OpenHandleCount() {
  // GetProcessHandleCount reports 0 under Wine; the system's handle table is right on both, and
  // one call where probing every handle value takes half a second.
  struct Entry {
    ULONG process;
    BYTE type, flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
  };
  using Query = ULONG(WINAPI*)(int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<char> table(1 << 16);
  ULONG size = 0;
  // 16: the handle table; it grows between two calls, so ask with room to spare.
  while (query(16, table.data(), static_cast<ULONG>(table.size()), &size) == 0xC0000004L)
    table.resize(std::max<std::size_t>(table.size() * 2, size + 4096));
  const ULONG count = *reinterpret_cast<ULONG*>(table.data());
  const Entry* entries = reinterpret_cast<const Entry*>(table.data() + sizeof(ULONG_PTR));
  return static_cast<int>(std::count_if(entries, entries + count, [](const Entry& entry) {
    return entry.process == GetCurrentProcessId();
  }));
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
