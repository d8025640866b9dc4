#include "tests/host/HostKeys.h"

#include <winternl.h>

#include <algorithm>

namespace hosttest {
int OpenHandleCount() {
  // GetProcessHandleCount reports 0 under Wine. The system's handle table is right on both, in
  // one call where probing every handle value took half a second; it grows between two calls.
  std::vector<char> table(1 << 16);
  ULONG size = 0;
  while (NtQuerySystemInformation(SystemHandleInformation, table.data(), table.size(), &size) ==
         static_cast<NTSTATUS>(0xC0000004L))  // STATUS_INFO_LENGTH_MISMATCH
    table.resize(std::max<std::size_t>(table.size() * 2, size + 4096));
  const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(table.data());
  return static_cast<int>(std::count_if(
      info->Handle, info->Handle + info->Count,
      [](const SYSTEM_HANDLE_ENTRY& entry) { return entry.OwnerPid == GetCurrentProcessId(); }));
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
