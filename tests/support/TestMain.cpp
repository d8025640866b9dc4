#include <gtest/gtest.h>

#include "framework/Application.h"
#include "tests/support/FreshState.h"

int main(int argc, char** argv) {
  framework::LoadCommonControls();
  testing::InitGoogleTest(&argc, argv);
  teststate::CountTestCases();
  return RUN_ALL_TESTS();
}
