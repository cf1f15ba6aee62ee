// The main of the plain and end-to-end test programs: gtest's, in a private home.
#include <gtest/gtest.h>

#include "private_home.h"

int main(int argc, char** argv) {
  const tolvane::testutil::PrivateHome home;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
