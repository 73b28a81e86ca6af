#include "app/continuous_period.h"

#include <gtest/gtest.h>

#include <climits>

TEST(ContinuousPeriod, OneSecondAtLeastAndNeverWraps) {
    const struct {
        int64_t seconds;
        int milliseconds;
    } cases[] = {
        {2, 2000},          {0, 1000},          {-5, 1000}, {INT_MIN, 1000}, {2147483, 2147483000},
        {2147484, INT_MAX}, {INT_MAX, INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ContinuousPeriodMs(c.seconds), c.milliseconds) << c.seconds;
    }
}
