#include <gtest/gtest.h>

#include "driver/runlog.h"

TEST(RunValues, TodayAndSchemaAreKept) {
  Run_SetToday("20261208");
  Run_SetSchema("ABC_1");
  EXPECT_STREQ(Run_Today(), "20261208");
  EXPECT_STREQ(Run_Schema(), "ABC_1");
}
