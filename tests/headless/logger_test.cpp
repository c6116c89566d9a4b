// The headless run's pauses between tries and its report lines.

#include <gtest/gtest.h>

#include "headless/logger.h"
#include "support/test_clock.h"

namespace varno::headless {
namespace {

TEST(HeadlessLogger, PausesGrowFromOneToThirtySeconds)
{
    std::vector<int> pauses;
    int pause = 0;
    for (int i = 0; i < 8; ++i)
        pauses.push_back(pause = nextRetryMs(pause));
    EXPECT_EQ(pauses, (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    EXPECT_EQ(nextRetryMs(0), 1000) << "back to one second after a success";
}

TEST(HeadlessLogger, AReportLineIsTheLocalTimeTheEventAndItsDetail)
{
    testing::TestClock clock;  // local time is UTC
    clock.set(2026, 12, 10, 16, 30, 0, 7);
    EXPECT_EQ(reportLine(clock, clock.nowMillis(), "connected", "127.0.0.1:10001"),
              "2026-12-10T16:30:00.007+00:00 connected 127.0.0.1:10001");
    EXPECT_EQ(reportLine(clock, {clock.nowSeconds() + 59, 999}, "stopping", ""),
              "2026-12-10T16:30:59.999+00:00 stopping");
}

}  // namespace
}  // namespace varno::headless
