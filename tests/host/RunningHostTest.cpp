// The running-host probe against real processes started under host-like names.

#include <windows.h>
#include "host/RunningHost.h"
#include "tests/host/HostKeys.h"
#include "tests/support/Process.h"

namespace {

using Process = testproc::NamedIdle;

TEST(RunningHost, HostNameInAnyCaseOrWithinALongerNameCounts) {
  for (const char* name :
       {"ZWCAD.EXE", "zwcad.exe", "ZwCad.Exe", "my_zwcad.exe.bak", "中望ZWCAD.EXE"}) {
    EXPECT_FALSE(IsHostRunning()) << "before " << name;
    {
      Process host(name);
      EXPECT_TRUE(IsHostRunning()) << name;
    }
  }
}

TEST(RunningHost, SimilarNamesDoNotCount) {
  EXPECT_FALSE(IsHostRunning());
  std::vector<std::unique_ptr<Process>> others;
  for (const char* name : {"zwcadm.exe", "zwcad.ex", "zwcad_exe.exe", "zw cad.exe", "中望CAD.exe"})
    others.push_back(std::make_unique<Process>(name));
  EXPECT_FALSE(IsHostRunning());
}

TEST(RunningHost, SnapshotIsClosedOnEveryPath) {
  const auto handlesAfter = [](bool expected) {
    EXPECT_EQ(IsHostRunning(), expected);  // once before counting: lazy allocations
    const int before = hosttest::OpenHandleCount();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(IsHostRunning(), expected);
    return hosttest::OpenHandleCount() - before;
  };
  EXPECT_EQ(handlesAfter(false), 0);
  Process host("ZWCAD.EXE");
  EXPECT_EQ(handlesAfter(true), 0);
}

}  // namespace
