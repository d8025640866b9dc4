#include "framework/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  framework::LoadCommonControls();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
