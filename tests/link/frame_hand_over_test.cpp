// The hand-over of frames from reception threads to the window, paced by a time
// source the tests move by hand, and the manual-reset event that stops waits.

#include "link/frame_hand_over.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace varno::link {
namespace {

using namespace std::chrono_literals;

// A hand-over with a hand-set clock, and a window that counts its wake-ups and
// takes its frames when the test says so.
class HandOverTest : public ::testing::Test {
protected:
    explicit HandOverTest(int limit = FrameHandOver::kDefaultLimit)
        : handOver([this] { ++wakeUps; }, limit, [this] { return nowMs; })
    {
    }

    void push(const std::string& text)
    {
        auto event = std::make_unique<FrameEvent>();
        event->text = text;
        handOver.push(FRAME_KIND_READER, std::move(event));
    }
    // The window answers its wake-up: it takes every frame it was woken for.
    std::vector<std::string> answer()
    {
        handOver.woken();
        return takeReady();
    }
    std::vector<std::string> takeReady()
    {
        std::vector<std::string> texts;
        int kind = 0;
        std::unique_ptr<FrameEvent> event;
        while (handOver.take(kind, event))
            texts.push_back(event->text);
        return texts;
    }

    std::int64_t nowMs = 1000;
    int wakeUps = 0;
    FrameHandOver handOver;
};

TEST_F(HandOverTest, ABurstWakesTheWindowOnceAndItTakesTheFramesInOrder)
{
    std::vector<std::string> sent;
    for (int i = 0; i < 50; ++i) {
        sent.push_back(std::to_string(i));
        push(sent.back());
        nowMs += 1;  // 50 ms of frames, while the window is busy elsewhere
    }
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(handOver.wakeDueInMs(), -1) << "the wake-up posted covers them all";
    handOver.flush();
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(answer(), sent);
    EXPECT_EQ(handOver.pending(), 0);
    EXPECT_EQ(handOver.taken(), 50);
    EXPECT_TRUE(answer().empty()) << "a stale wake-up finds nothing";
}

TEST_F(HandOverTest, AFrameAfterASilenceIsHandedOverAtOnceAndOneSoonAfterWaitsForThePace)
{
    push("first");
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(answer(), std::vector<std::string>{"first"});

    // 5 ms later: too soon for a wake-up of its own; the reception thread is
    // told how long it may wait for input before it owes one.
    nowMs += 5;
    push("second");
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(handOver.wakeDueInMs(), FrameHandOver::kPaceMs - 5);
    nowMs += FrameHandOver::kPaceMs - 5 - 1;
    handOver.wakeIfDue();
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(handOver.wakeDueInMs(), 1);
    nowMs += 1;
    handOver.wakeIfDue();
    EXPECT_EQ(wakeUps, 2);
    EXPECT_EQ(handOver.wakeDueInMs(), -1);
    EXPECT_EQ(answer(), std::vector<std::string>{"second"});

    // After a silence longer than the pace: at once.
    nowMs += 100;
    push("third");
    EXPECT_EQ(wakeUps, 3);
    EXPECT_EQ(answer(), std::vector<std::string>{"third"});

    // A thread that stops reading posts what it owes at once.
    nowMs += 1;
    push("last");
    EXPECT_EQ(wakeUps, 3);
    handOver.flush();
    EXPECT_EQ(wakeUps, 4);
    EXPECT_EQ(answer(), std::vector<std::string>{"last"});
}

TEST_F(HandOverTest, AReaderPaceStreamWakesTheWindowAboutFiftyTimesASecondAndNoFrameWaitsLonger)
{
    // 820 frames a second for ten seconds, the reception thread posting owed
    // wake-ups when its wait for the next frame runs out, the window answering
    // each wake-up at once.
    constexpr int kFrames = 8200;
    int answered = 0;
    int next = 0;
    std::vector<std::int64_t> queuedAt;
    std::int64_t longestWait = 0;
    auto answerIfWoken = [&] {
        if (wakeUps == answered)
            return;
        answered = wakeUps;
        for (const std::string& text : answer()) {
            longestWait = std::max(longestWait, nowMs - queuedAt[static_cast<std::size_t>(std::stoi(text))]);
            EXPECT_EQ(std::stoi(text), next++);
        }
    };
    const std::int64_t start = nowMs;
    for (int i = 0; i < kFrames; ++i) {
        const std::int64_t arrival = start + i * 122 / 100;
        // Waiting for the next frame, at most until the owed wake-up is due.
        while (nowMs < arrival) {
            const int due = handOver.wakeDueInMs();
            nowMs = due < 0 ? arrival : std::min(arrival, nowMs + due);
            handOver.wakeIfDue();
            answerIfWoken();
        }
        queuedAt.push_back(nowMs);
        push(std::to_string(i));
        answerIfWoken();
    }
    handOver.flush();
    answerIfWoken();

    EXPECT_EQ(handOver.taken(), kFrames);
    const double seconds = static_cast<double>(nowMs - start) / 1000;
    EXPECT_LE(wakeUps / seconds, 1000.0 / FrameHandOver::kPaceMs + 1);
    EXPECT_GE(wakeUps / seconds, 1000.0 / FrameHandOver::kPaceMs - 5);
    EXPECT_LE(longestWait, FrameHandOver::kPaceMs);
}

TEST_F(HandOverTest, AWakeUpDuringTheTakingKeepsTheStreamOrder)
{
    // The window takes one frame, whose handling lets a nested wake-up in
    // (a message box); the nested taking goes on from the next frame.
    push("a");
    push("b");
    handOver.woken();
    int kind = 0;
    std::unique_ptr<FrameEvent> event;
    ASSERT_TRUE(handOver.take(kind, event));
    EXPECT_EQ(event->text, "a");
    nowMs += 30;
    push("c");
    EXPECT_EQ(wakeUps, 2) << "frames queued while the window is taking get a wake-up of their own";
    EXPECT_EQ(answer(), (std::vector<std::string>{"b", "c"}));
    EXPECT_TRUE(takeReady().empty());
}

class FullHandOverTest : public HandOverTest {
protected:
    FullHandOverTest() : HandOverTest(3) {}
};

TEST_F(FullHandOverTest, AFullQueueWakesTheWindowAtOnceAndHoldsTheThreadUntilThereIsRoom)
{
    push("0");
    handOver.woken();  // the window is woken, but busy
    nowMs += 1;
    push("1");
    push("2");
    EXPECT_EQ(wakeUps, 2) << "a full queue does not wait for the pace";

    ManualResetEvent stop;
    ASSERT_TRUE(stop.ok());
    auto waiting = std::async(std::launch::async, [&] { return handOver.waitForRoom(stop); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout) << "three frames behind: no room";
    EXPECT_EQ(takeReady(), std::vector<std::string>{"0"});
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready) << "a frame taken makes room";
    EXPECT_TRUE(waiting.get());

    push("3");
    auto stopped = std::async(std::launch::async, [&] { return handOver.waitForRoom(stop); });
    EXPECT_EQ(stopped.wait_for(20ms), std::future_status::timeout);
    stop.set();
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready) << "a stop request ends the wait at once";
    EXPECT_FALSE(stopped.get());
    EXPECT_EQ(answer(), (std::vector<std::string>{"1", "2", "3"})) << "nothing lost";
}

class EightFramesHandOverTest : public HandOverTest {
protected:
    EightFramesHandOverTest() : HandOverTest(8) {}
};

TEST_F(EightFramesHandOverTest, AThreadHeldBackReadsAgainOnceAQuarterHasBeenTaken)
{
    // Not at each frame taken: that would wake it for every block it reads.
    for (int i = 0; i < 8; ++i)
        push(std::to_string(i));
    handOver.woken();
    ManualResetEvent stop;
    auto waiting = std::async(std::launch::async, [&] { return handOver.waitForRoom(stop); });
    ASSERT_EQ(waiting.wait_for(100ms), std::future_status::timeout) << "eight behind: held back";
    int kind = 0;
    std::unique_ptr<FrameEvent> event;
    ASSERT_TRUE(handOver.take(kind, event));
    ASSERT_TRUE(handOver.take(kind, event));
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout) << "six behind: not yet";
    ASSERT_TRUE(handOver.take(kind, event));
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready) << "five behind: room";
    EXPECT_TRUE(waiting.get());
}

TEST(ManualResetEvent, StaysSetUntilClearedAndEndsAWaitOnAnotherDescriptor)
{
    ManualResetEvent event;
    ASSERT_TRUE(event.ok());
    EXPECT_FALSE(event.isSet());
    event.set();
    event.set();
    EXPECT_TRUE(event.isSet());
    EXPECT_TRUE(event.isSet()) << "looking does not clear it";
    event.clear();
    EXPECT_FALSE(event.isSet());

    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    ManualResetEvent::Waited waited = event.waitWith(pair[0], POLLIN, 0);
    EXPECT_FALSE(waited.set);
    EXPECT_EQ(waited.revents, 0);
    ASSERT_EQ(::write(pair[1], "x", 1), 1);
    waited = event.waitWith(pair[0], POLLIN, -1);
    EXPECT_FALSE(waited.set);
    EXPECT_TRUE(waited.revents & POLLIN);

    char byte = 0;
    ASSERT_EQ(::read(pair[0], &byte, 1), 1);
    auto stopped = std::async(std::launch::async, [&] { return event.waitWith(pair[0], POLLIN, -1); });
    std::this_thread::sleep_for(10ms);
    event.set();
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    waited = stopped.get();
    EXPECT_TRUE(waited.set);
    EXPECT_EQ(waited.revents, 0);

    // A moved event keeps its descriptor; the one moved from owns none.
    ManualResetEvent moved(std::move(event));
    EXPECT_TRUE(moved.isSet());
    EXPECT_FALSE(event.ok());  // NOLINT(bugprone-use-after-move): what is left is empty
    ::close(pair[0]);
    ::close(pair[1]);
}

}  // namespace
}  // namespace varno::link
