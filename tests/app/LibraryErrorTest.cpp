#include <gtest/gtest.h>

#include "tests/support/Process.h"

namespace {

// The installer replaces libstdc++'s logic-error helpers to stay small; a logic error must still
// unwind to the command's error report like any other exception, never end the process.
TEST(LibraryErrors, EveryKindUnwindsToTheGeneralErrorReport) {
  testproc::Child probe(testproc::FromBuild(LIBRARY_ERROR_PROBE_EXE));
  ASSERT_TRUE(probe.Started());
  ASSERT_TRUE(probe.Ended());
  EXPECT_EQ(probe.ExitCode(), 0xFu)
      << "one bit per kind that reached the report (3: the probe aborted)";
}

}  // namespace
