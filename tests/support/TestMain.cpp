#include <gtest/gtest.h>

#include "framework/Application.h"
#include "tests/support/FreshState.h"
#include "tests/support/Process.h"

int main(int argc, char** argv) {
  framework::LoadCommonControls();
  testproc::EndOrphanedHosts();
  testing::InitGoogleTest(&argc, argv);
  teststate::CountTestCases();
  return RUN_ALL_TESTS();
}
