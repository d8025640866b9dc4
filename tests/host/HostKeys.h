// Shared by the host tests: a clean HKLM\SOFTWARE\ZWSOFT, handle counts, discovered entries.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <utility>

#include "host/HostRegistry.h"
#include "tests/support/Registry.h"

namespace hosttest {

// The number of handles open in this process.
int OpenHandleCount();

std::string Repeat(const std::string& text, int times);

// (key path, location) pairs of one host year, in list order.
using Entries = std::vector<std::pair<std::string, std::string>>;
Entries EntriesOf(const HostRegistry& hosts, int year);

// Every test starts and ends with an empty vendor key.
class HostKeysTest : public testing::Test {
 private:
  testreg::CleanHostKeys clean;
};

}  // namespace hosttest
