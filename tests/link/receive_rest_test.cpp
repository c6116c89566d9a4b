#include "link/receive_rest.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

namespace varno::link {
namespace {

class ReceiveRest : public ::testing::Test {
protected:
    void TearDown() override { ::close(stopFd); }
    void askToStop() { ASSERT_EQ(::eventfd_write(stopFd, 1), 0); }

    int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

TEST_F(ReceiveRest, SlowStreamRestsTheWholeRest)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    EXPECT_TRUE(restAfterDrain(14, stopFd));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(kReceiveRestMs));
}

TEST_F(ReceiveRest, StopRequestEndsTheRestAndSaysSo)
{
    askToStop();
    EXPECT_FALSE(restAfterDrain(0, stopFd));
    EXPECT_FALSE(restAfterDrain(kRestBelowBytes - 1, stopFd));
}

TEST_F(ReceiveRest, FastStreamIsNotRested)
{
    // No rest at all: not even a pending stop request is looked at (the
    // caller's next wait sees it).
    askToStop();
    EXPECT_TRUE(restAfterDrain(kRestBelowBytes, stopFd));
    EXPECT_TRUE(restAfterDrain(64 * 1024, stopFd));
}

}  // namespace
}  // namespace varno::link
