// Runs the Qt platform's tests inside one QApplication on the offscreen
// platform, in a private home.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "private_home.h"

int main(int argc, char** argv) {
  const tolvane::testutil::PrivateHome home;  // before Qt reads HOME, gone after it
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  unsetenv("QT_SCALE_FACTOR");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
