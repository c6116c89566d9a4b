// A frame's log line and the t/dt state it steps, without a window.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "decode/frame_fields.h"
#include "log/frame_log.h"
#include "support/test_clock.h"

namespace varno::log {
namespace {

using testing::TestClock;

// 08/12/2026 10:00:00 UTC, as the test clock shows it.
constexpr std::int64_t kTen = 1796724000;

TEST(FrameLog, ASessionOfFramesStepsTAndDtFromTheirOwnTimes)
{
    const TestClock clock;
    FrameTimes times;
    const auto readerFrame = [](const char* bracketed) { return *decode::cutReaderFrame(bracketed); };
    struct Step {
        ClockReading at;
        std::string line;
    };
    std::vector<Step> steps;
    auto reader = [&](ClockReading at, const char* frame) {
        steps.push_back({at, readerFrameLine(clock, at, times.step(at), frame, readerFrame(frame))});
    };
    auto debug = [&](ClockReading at, const char* frame) {
        steps.push_back({at, debugFrameLine(clock, at, times.step(at), frame, decode::cutDebugFrame(frame))});
    };
    reader({kTen, 998}, "[960A1B2CABCD]");
    reader({kTen + 1, 1}, "[5A0A1BAB]");
    debug({kTen + 1, 1}, "[5A 3C +1E 0A1B2C]");
    reader({kTen + 62, 250}, "[B4000001AB]");

    const std::string expected[] = {
        "[960A1B2CABCD];08/12/2026;10:00:00;0.998;ABCDh;0A1B2Ch;0.000;0.000;150\r\n",
        "[5A0A1BAB];08/12/2026;10:00:01;0.001;ABh;0A1Bh;0.003;0.003;90\r\n",
        "[5A 3C +1E 0A1B2C];08/12/2026;10:00:01;0.001;;0A1B2Ch;0.003;0.000;90;60\r\n",
        "[B4000001AB];08/12/2026;10:01:02;0.250;ABh;000001h;61.252;61.249;180\r\n",
    };
    ASSERT_EQ(steps.size(), std::size(expected));
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(steps[i].line, expected[i]) << i;
    EXPECT_EQ(times.firstFrameTime, kTen);
    EXPECT_EQ(times.firstFrameMillis, 998);
    EXPECT_EQ(times.lastFrameTime, kTen + 62);
    EXPECT_EQ(times.lastFrameMillis, 250);
}

TEST(FrameLog, ARawLineHoldsTheFrameAndItsTimeOnly)
{
    const TestClock clock;
    EXPECT_EQ(rawFrameLine(clock, {kTen + 3599, 7}, "[5A0A1\nB]"), "[5A0A1 B];08/12/2026;10:59:59;0.007\r\n");
}

TEST(FrameLog, AFreshStateMakesTheNextFrameTheFirst)
{
    FrameTimes times;
    times.step({kTen, 500});
    times.step({kTen + 5, 0});
    times = FrameTimes{};
    const TimeColumns columns = times.step({kTen + 9, 9});
    EXPECT_EQ(columns.t.seconds, 0);
    EXPECT_EQ(columns.t.milliseconds, 0);
    EXPECT_EQ(columns.dt.milliseconds, 0);
    EXPECT_EQ(times.firstFrameTime, kTen + 9);
}

// The file of 08/12 was opened at 23:59:50; which frames open the next day's.
TEST(FrameLog, ANewDaysFileIsOpenedByTheFirstFrameThatArrivedOnThatDay)
{
    const TestClock clock;
    const std::int64_t opened = TestClock::at(2026, 12, 8, 23, 59, 50).seconds;
    const std::int64_t midnight = TestClock::at(2026, 12, 9, 0, 0, 0).seconds;
    struct Case {
        const char* name;
        std::int64_t arrival;
        std::optional<std::string> day;
    };
    const Case cases[] = {
        {"the open file's day", opened + 9, std::nullopt},
        {"the first second of the next day", midnight, "09122026"},
        {"the next day, handled whenever", midnight + 3600, "09122026"},
        {"another day, but before the file was opened", opened - 86400, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(newLogDay(clock, c.arrival, "08122026", opened), c.day) << c.name;
}

}  // namespace
}  // namespace varno::log
