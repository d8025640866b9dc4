// Shared by the host tests: a clean HKLM\SOFTWARE\ZWSOFT, keys nobody may open, handle counts.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "host/HostRegistry.h"
#include "tests/support/Registry.h"

namespace hosttest {

constexpr const char* kVendorKey = "SOFTWARE\\ZWSOFT";

// Gives back access to every key below `path` that a LockedKey left denied (a test that crashed
// would otherwise leave a tree that cannot be deleted).
void UnlockTree(const std::string& path);

// Denies every access to a key (an empty DACL) until destroyed; it still shows in enumerations.
class LockedKey {
 public:
  explicit LockedKey(std::string path);
  ~LockedKey();
  LockedKey(const LockedKey&) = delete;
  LockedKey& operator=(const LockedKey&) = delete;

 private:
  std::string path;
};

// The number of handles open in this process.
int OpenHandleCount();

std::string Repeat(const std::string& text, int times);

// (key path, location) pairs of one host year, in list order.
using Entries = std::vector<std::pair<std::string, std::string>>;
Entries EntriesOf(const HostRegistry& hosts, int year);

// Every test starts and ends with an empty vendor key.
class HostKeysTest : public testing::Test {
 private:
  struct Unlock {
    Unlock() { UnlockTree(kVendorKey); }
  } unlock;
  testreg::CleanHostKeys clean;
};

}  // namespace hosttest
