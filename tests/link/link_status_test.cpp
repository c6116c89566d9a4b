// The status line's account of the link: its state texts, the frames since
// opening, the frames of the last second and the silence rule, on times the
// test chooses.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "link/link_status.h"

namespace varno::link {
namespace {

constexpr std::int64_t kStart = 1'796'760'829'000;  // 08/12/2026 20:13:49.000, in ms

TEST(LinkStatus, StatesAndTheirTexts)
{
    LinkStatus status;
    EXPECT_EQ(status.state(), LinkStatus::State::Closed);
    EXPECT_EQ(status.text(kStart), "Fermé");

    status.serialOpened("/dev/ttyUSB0", 115200, kStart);
    EXPECT_EQ(status.text(kStart), "Ouvert : /dev/ttyUSB0, 115200 bauds · 0 trame · 0 trame/s");
    status.frameReceived(kStart + 10);
    EXPECT_EQ(status.text(kStart + 100), "Ouvert : /dev/ttyUSB0, 115200 bauds · 1 trame · 1 trame/s");
    status.frameReceived(kStart + 20);
    EXPECT_EQ(status.text(kStart + 100), "Ouvert : /dev/ttyUSB0, 115200 bauds · 2 trames · 2 trames/s");

    status.lost();
    EXPECT_EQ(status.state(), LinkStatus::State::Lost);
    EXPECT_EQ(status.text(kStart + 200), "Liaison perdue · 2 trames");
    // Frames still queued when the link ended are not counted.
    status.frameReceived(kStart + 300);
    EXPECT_EQ(status.text(kStart + 400), "Liaison perdue · 2 trames");

    status.closed();
    EXPECT_EQ(status.text(kStart + 500), "Fermé");
    status.lost();  // a late loss of a closed link changes nothing
    EXPECT_EQ(status.state(), LinkStatus::State::Closed);
    status.frameReceived(kStart + 600);

    // A new opening counts from zero.
    status.tcpConnected("127.0.0.1:10001", kStart + 1000);
    EXPECT_EQ(status.text(kStart + 1000), "Connecté à 127.0.0.1:10001 · 0 trame · 0 trame/s");
    EXPECT_EQ(status.framesSinceOpening(), 0U);
}

// 820 frames a second, one every 1.22 ms: the last second holds 820 of them
// whatever the moment it is read, and the count falls to nothing a second
// after the stream stops.
TEST(LinkStatus, FramesPerSecondCountTheLastSecond)
{
    LinkStatus status;
    status.tcpConnected("127.0.0.1:10001", kStart);
    for (int i = 0; i < 820 * 3; ++i)
        status.frameReceived(kStart + static_cast<std::int64_t>(i * 1000 / 820));
    const std::int64_t t = kStart + 3000;
    EXPECT_EQ(status.framesSinceOpening(), 2460U);
    EXPECT_EQ(status.framesPerSecond(t), 820U);
    EXPECT_EQ(status.framesPerSecond(t + 50), 820U);  // the tenth in progress is not counted yet
    EXPECT_EQ(status.framesPerSecond(t + 500), 410U);
    EXPECT_EQ(status.framesPerSecond(t + 1000), 0U);
    EXPECT_EQ(status.framesPerSecond(t + 60'000), 0U);
    EXPECT_EQ(status.text(t), "Connecté à 127.0.0.1:10001 · 2460 trames · 820 trames/s");
}

TEST(LinkStatus, ARateRestartsAfterAGapAndAfterTheClockGoesBack)
{
    LinkStatus status;
    status.tcpConnected("127.0.0.1:10001", kStart);
    for (int i = 0; i < 10; ++i)
        status.frameReceived(kStart + i * 100);
    EXPECT_EQ(status.framesPerSecond(kStart + 1000), 10U);
    // Two seconds later, a frame every 200 ms: the old tenths are gone.
    for (int i = 0; i < 5; ++i)
        status.frameReceived(kStart + 3000 + i * 200);
    EXPECT_EQ(status.framesPerSecond(kStart + 4000), 5U);
    // The clock set back an hour: what was counted no longer lines up.
    status.frameReceived(kStart - 3'600'000);
    EXPECT_EQ(status.framesPerSecond(kStart - 3'600'000 + 100), 1U);
    EXPECT_EQ(status.framesSinceOpening(), 16U);
}

TEST(LinkStatus, SilenceIsToldAfterFiveSecondsWithoutAFrameWhileOpen)
{
    LinkStatus status;
    status.serialOpened("/dev/ttyUSB0", 115200, kStart);
    // Nothing yet since the opening.
    EXPECT_FALSE(status.silentSeconds(kStart + 4999));
    EXPECT_EQ(status.silentSeconds(kStart + 5000), 5);
    EXPECT_EQ(status.text(kStart + 5000), "Ouvert : /dev/ttyUSB0, 115200 bauds · 0 trame · aucune trame depuis 5 s");

    status.frameReceived(kStart + 6000);
    EXPECT_FALSE(status.silentSeconds(kStart + 6000));
    EXPECT_EQ(status.text(kStart + 10'999), "Ouvert : /dev/ttyUSB0, 115200 bauds · 1 trame · 0 trame/s");
    EXPECT_EQ(status.text(kStart + 18'500),
              "Ouvert : /dev/ttyUSB0, 115200 bauds · 1 trame · aucune trame depuis 12 s");
    // A clock set back is no silence.
    EXPECT_FALSE(status.silentSeconds(kStart));

    // Lost or closed, a link is not silent: it is gone.
    status.lost();
    EXPECT_FALSE(status.silentSeconds(kStart + 60'000));
    status.closed();
    EXPECT_FALSE(status.silentSeconds(kStart + 60'000));
}

}  // namespace
}  // namespace varno::link
