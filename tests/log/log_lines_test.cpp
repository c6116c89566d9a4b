// The log's file name, header, lines and time columns.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_lines.h"
#include "support/test_clock.h"

namespace varno::log {
namespace {

using testing::TestClock;

TEST(LogLines, HeaderIsTheNinetyFourWindows1252Bytes)
{
    ASSERT_EQ(kLogHeader.size(), 94U);
    std::vector<std::string> columns;
    std::string column;
    for (char c : kLogHeader.substr(0, kLogHeader.size() - 2)) {
        if (c == ';') {
            columns.push_back(column);
            column.clear();
        } else {
            column.push_back(c);
        }
    }
    columns.push_back(column);
    const std::vector<std::string> expected = {
        "Trame re\xE7ue", "Date",   "Heure",    "msec",          "ID Lecteur (hexa)",
        "ID Tag (hexa)",  "t(sec)", "dt(sec)", "P1 (d\xE9" "c)", "P2 (d\xE9" "c)",
    };
    EXPECT_EQ(columns, expected);
    EXPECT_EQ(kLogHeader.substr(92), "\r\n");
}

TEST(LogLines, FileNameIsTheDateAndMinuteOfOpening)
{
    TestClock clock;
    clock.set(2026, 12, 8, 20, 13, 49);
    EXPECT_EQ(logFileName(clock, clock.nowSeconds()), "VARNO_08122026_20h13.csv");
    clock.set(2027, 1, 1, 0, 0, 0, 100);
    EXPECT_EQ(logFileName(clock, clock.nowSeconds()), "VARNO_01012027_00h00.csv");
}

TEST(LogLines, ElapsedBorrowsASecondWhenTheMillisecondGoesBack)
{
    struct Case {
        std::int64_t fromSeconds;
        std::uint16_t fromMillis;
        ClockReading now;
        std::int32_t seconds, millis;
    };
    const Case cases[] = {
        {1000, 900, {1001, 100}, 0, 200},
        {1000, 100, {1001, 100}, 1, 0},
        {1000, 999, {1001, 0}, 0, 1},
        {1000, 0, {1000, 999}, 0, 999},
        {1000, 500, {1000, 500}, 0, 0},
        {1000, 1, {1012, 346}, 12, 345},
        // The seconds are the low 32 bits of the difference.
        {0, 0, {0x100000005LL, 0}, 5, 0},
    };
    for (const Case& c : cases) {
        const Elapsed e = elapsedSince(c.fromSeconds, c.fromMillis, c.now);
        EXPECT_EQ(e.seconds, c.seconds) << c.now.seconds << '.' << c.now.milliseconds;
        EXPECT_EQ(e.milliseconds, c.millis) << c.now.seconds << '.' << c.now.milliseconds;
    }
}

TEST(LogLines, FirstRecordedFrameStartsTheClockAndTheSecondOneHasEqualTAndDt)
{
    std::int64_t firstTime = 0, lastTime = -1;
    std::uint16_t firstMillis = 0, lastMillis = 0;

    TimeColumns c = stepFrameTimes(firstTime, firstMillis, lastTime, lastMillis, {5000, 900});
    EXPECT_EQ(c.t.seconds, 0);
    EXPECT_EQ(c.t.milliseconds, 0);
    EXPECT_EQ(c.dt.seconds, 0);
    EXPECT_EQ(c.dt.milliseconds, 0);
    EXPECT_EQ(firstTime, 5000);
    EXPECT_EQ(firstMillis, 900);

    c = stepFrameTimes(firstTime, firstMillis, lastTime, lastMillis, {5001, 100});
    EXPECT_EQ(c.t.seconds, 0);
    EXPECT_EQ(c.t.milliseconds, 200);
    EXPECT_EQ(c.dt.seconds, 0);
    EXPECT_EQ(c.dt.milliseconds, 200);

    c = stepFrameTimes(firstTime, firstMillis, lastTime, lastMillis, {5003, 50});
    EXPECT_EQ(c.t.seconds, 2);
    EXPECT_EQ(c.t.milliseconds, 150);
    EXPECT_EQ(c.dt.seconds, 1);
    EXPECT_EQ(c.dt.milliseconds, 950);
    EXPECT_EQ(lastTime, 5003);
    EXPECT_EQ(lastMillis, 50);
}

TEST(LogLines, LinesFollowTheirFormats)
{
    const TimeColumns times{{12, 345}, {0, 5}};
    const std::string dateTime = "08/12/2026;20:13:49";
    struct Case {
        std::string line, expected;
    };
    const Case cases[] = {
        {readerLine("[5A0A1B2CABCD]", dateTime, 45, "ABCD", "0A1B2C", times, 90),
         "[5A0A1B2CABCD];08/12/2026;20:13:49;0.045;ABCDh;0A1B2Ch;12.345;0.005;90\r\n"},
        {debugLine("[5A 3C +1E 0A1B2C]", dateTime, 7, "0A1B2C", times, 90, 60),
         "[5A 3C +1E 0A1B2C];08/12/2026;20:13:49;0.007;;0A1B2Ch;12.345;0.005;90;60\r\n"},
        {rawLine("[5A0A1B2CA]", dateTime, 999), "[5A0A1B2CA];08/12/2026;20:13:49;0.999\r\n"},
        // P1 and P2 print as their low byte, unsigned.
        {readerLine("[x]", "d", 0, "", "", {}, -1), "[x];d;0.000;h;h;0.000;0.000;255\r\n"},
        {debugLine("[x]", "d", 0, "", {}, 0x1FF, 256), "[x];d;0.000;;h;0.000;0.000;255;0\r\n"},
        // Frame bytes are copied, never read as a format.
        {readerLine("[5A%s%n%dABCD]", dateTime, 0, "ABCD", "%s%n%d", {}, 90),
         "[5A%s%n%dABCD];08/12/2026;20:13:49;0.000;ABCDh;%s%n%dh;0.000;0.000;90\r\n"},
        {rawLine(std::string("[\x80\0\xE9]", 5), "", 0), std::string("[\x80\0\xE9];;0.000\r\n", 14)},
        // A clock that went back shows as printf would print it.
        {debugLine("[]", "", 0, "", {{-2, 500}, {0, 0}}, 0, 0), "[];;0.000;;h;-2.500;0.000;0;0\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line, c.expected);
}

// CR and LF are ordinary frame bytes: a stray ']' after a line break, a debug
// line cut short or any frame in raw text mode brings them here. Each becomes a
// space, so a frame still takes one line and its bytes keep their positions.
TEST(LogLines, LineBreaksFromTheStreamAreWrittenAsSpaces)
{
    const TimeColumns times{{1, 2}, {0, 3}};
    struct Case {
        std::string line, expected;
    };
    const Case cases[] = {
        {rawLine("[0A1B2\n]", "d", 4), "[0A1B2 ];d;0.004\r\n"},
        {rawLine("[\r\n\r\r\n\n]", "d", 4), "[      ];d;0.004\r\n"},
        {readerLine("[5A0A1B2C\r\n]", "d", 4, "\r\n", "0A1B2C", times, 90),
         "[5A0A1B2C  ];d;0.004;  h;0A1B2Ch;1.002;0.003;90\r\n"},
        {readerLine("[5A\r\n1BAB]", "d", 4, "AB", "\r\n1B", times, 90),
         "[5A  1BAB];d;0.004;ABh;  1Bh;1.002;0.003;90\r\n"},
        {debugLine("[816\r\nA7 A8 -01 E]", "d", 4, " -01 E", times, 0x81, 0),
         "[816  A7 A8 -01 E];d;0.004;; -01 Eh;1.002;0.003;129;0\r\n"},
        {debugLine("[5A 3C +1E 0A\r\n5A]", "d", 4, "0A\r\n5A", times, 90, 60),
         "[5A 3C +1E 0A  5A];d;0.004;;0A  5Ah;1.002;0.003;90;60\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line, c.expected);
}

}  // namespace
}  // namespace varno::log
