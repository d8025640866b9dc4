#include "tests/host/HostKeys.h"

#include <vector>

namespace hosttest {
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
