// Shared main for every test executable: headless by default.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Widgets and painting run on Qt's offscreen platform unless a test run
  // asks for another one.
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
