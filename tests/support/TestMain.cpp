#include <gtest/gtest.h>

#include "framework/Application.h"

int main(int argc, char** argv) {
  framework::LoadCommonControls();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
