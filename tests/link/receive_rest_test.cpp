#include "link/receive_rest.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace varno::link {
namespace {

class ReceiveRestTest : public ::testing::Test {
protected:
    void TearDown() override { ::close(stopFd); }
    void askToStop() { ASSERT_EQ(::eventfd_write(stopFd, 1), 0); }

    int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ReceiveRest rest{stopFd};
};

// A pending stop request ends a rest at once with false: so a call that
// returns true with a stop pending has not rested.

TEST_F(ReceiveRestTest, SlowStreamRestsTheWholeRest)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    EXPECT_TRUE(rest.afterDrain(14));
    EXPECT_TRUE(rest.afterDrain(14));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(2 * kReceiveRestMs));
}

TEST_F(ReceiveRestTest, StopRequestEndsTheRestAndSaysSo)
{
    askToStop();
    EXPECT_FALSE(rest.afterDrain(0));
    EXPECT_FALSE(rest.afterDrain(kRestBelowBytes / 2));
}

TEST_F(ReceiveRestTest, FastStreamIsReadWithoutRestsUntilItSlowsDown)
{
    askToStop();
    EXPECT_TRUE(rest.afterDrain(kRestBelowBytes));
    // Small drains right after a kilobyte: still the same fast stream.
    EXPECT_TRUE(rest.afterDrain(14));
    EXPECT_TRUE(rest.afterDrain(14));
    // Two rests' time without more: slow again.
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * kReceiveRestMs + 5));
    EXPECT_FALSE(rest.afterDrain(14));
}

TEST_F(ReceiveRestTest, KilobyteSpreadOverTwoWindowsIsFast)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(rest.afterDrain(kRestBelowBytes / 2));  // rests: slow so far
    askToStop();
    if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(2 * kReceiveRestMs - 2))
        GTEST_SKIP() << "the rest overran by a whole window; the two halves are no longer neighbours";
    EXPECT_TRUE(rest.afterDrain(kRestBelowBytes / 2));  // the second half, a rest later
}

}  // namespace
}  // namespace varno::link
