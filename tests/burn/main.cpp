// The test programs' main: one fresh recorder state folder per process.

#include <gtest/gtest.h>

#include "burn_fixture.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifndef BURN_THROUGH_SGIO
  ::testing::AddGlobalTestEnvironment(new burn_test::StateFolder);
#endif
  return RUN_ALL_TESTS();
}
