// The TCP client link against a real server on the loopback interface.

#include <gtest/gtest.h>

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/frame_hand_over.h"
#include "link/pause.h"
#include "link/tcp_link.h"
#include "support/loopback_server.h"
#include "support/taking_window.h"

namespace varno::link {
namespace {

using testing::LoopbackServer;
using namespace std::chrono_literals;

// What the receiving thread hands over, collected for the test's thread.
class Collector {
public:
    FrameSink frames()
    {
        return [this](int kind, std::unique_ptr<FrameEvent> e) {
            std::lock_guard lock(m_mutex);
            m_frames.push_back(std::to_string(kind) + ":" + e->text);
            m_changed.notify_all();
        };
    }
    TcpConnection::MessageSink messages()
    {
        return [this](const std::string& m) {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(m);
            m_changed.notify_all();
        };
    }
    bool waitForFrames(std::size_t n)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_frames.size() >= n; });
    }
    bool waitForMessages(std::size_t n)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_messages.size() >= n; });
    }
    std::vector<std::string> framesSeen()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::vector<std::string> messagesSeen()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_frames;
    std::vector<std::string> m_messages;
};

class TcpLinkTest : public ::testing::Test {
protected:
    void SetUp() override { setPauseScale(0); }
    void TearDown() override { setPauseScale(1); }

    std::unique_ptr<TcpConnection> connect(const LoopbackServer& server)
    {
        TcpOpenFailure failure;
        auto link = TcpConnection::open(LoopbackServer::kHost, server.port(), 2000, failure);
        EXPECT_EQ(failure.step, TcpOpenFailure::None) << failure.code;
        return link;
    }

    static bool waitFinished(const TcpConnection& link)
    {
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (!link.finished() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        return link.finished();
    }

    Collector seen;
};

TEST(FormatHostAddress, PrintsTheMostSignificantByteFirst)
{
    EXPECT_EQ(FormatHostAddress(0x7F000001), "127.0.0.1");
    EXPECT_EQ(FormatHostAddress(0), "0.0.0.0");
    EXPECT_EQ(FormatHostAddress(0xFFFFFFFF), "255.255.255.255");
    EXPECT_EQ(FormatHostAddress(0xC0A8010A), "192.168.1.10");
}

TEST_F(TcpLinkTest, FramesSplitAcrossSmallSendsArriveWholeAndInOrder)
{
    LoopbackServer server;
    auto link = connect(server);
    ASSERT_NE(link, nullptr);
    link->start(seen.frames(), seen.messages());
    ASSERT_TRUE(server.accept());

    std::string stream;
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        char frame[16];
        std::snprintf(frame, sizeof frame, "%02X%06XAB", i % 256, i);
        stream += std::string("[") + frame + "]\r\n";
        expected.push_back("351:" + std::string(frame));
        if (i % 10 == 0) {
            stream += "5A 3C +1E 0A1B2C\r\n";
            expected.push_back("352:5A 3C +1E 0A1B2C");
        }
    }
    ASSERT_TRUE(server.sendInPieces(stream, 7));
    ASSERT_TRUE(seen.waitForFrames(expected.size()));
    server.closeClient();
    ASSERT_TRUE(seen.waitForMessages(1));
    EXPECT_TRUE(waitFinished(*link));
    EXPECT_EQ(seen.framesSeen(), expected);
    EXPECT_EQ(seen.messagesSeen(), std::vector<std::string>{"Connection Closed.\n"});
}

TEST_F(TcpLinkTest, ServerClosingOrResettingIsReportedOnceAsClosed)
{
    for (bool reset : {false, true}) {
        LoopbackServer server;
        Collector seenHere;
        auto link = connect(server);
        ASSERT_NE(link, nullptr);
        link->start(seenHere.frames(), seenHere.messages());
        ASSERT_TRUE(server.accept());
        ASSERT_TRUE(server.send("[5A0A1B2CABCD]"));
        ASSERT_TRUE(seenHere.waitForFrames(1));
        if (reset)
            server.resetClient();
        else
            server.closeClient();
        ASSERT_TRUE(seenHere.waitForMessages(1)) << reset;
        EXPECT_TRUE(waitFinished(*link)) << reset;
        link->join();
        EXPECT_EQ(seenHere.framesSeen(), std::vector<std::string>{"351:5A0A1B2CABCD"}) << reset;
        EXPECT_EQ(seenHere.messagesSeen(), std::vector<std::string>{"Connection Closed.\n"}) << reset;
    }
}

TEST_F(TcpLinkTest, OpeningFailuresNameTheirStep)
{
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    struct Case {
        const char* name;
        std::uint32_t host;
        std::uint32_t port;
        TcpOpenFailure::Step step;
    };
    const Case cases[] = {
        {"nothing listens", LoopbackServer::kHost, static_cast<std::uint32_t>(closedPort), TcpOpenFailure::Connect},
        {"blank address", 0, 10001, TcpOpenFailure::Connect},
        {"port that is no port", LoopbackServer::kHost, 0xFFFFFFFF, TcpOpenFailure::Resolve},
    };
    for (const Case& c : cases) {
        TcpOpenFailure failure;
        EXPECT_EQ(TcpConnection::open(c.host, c.port, 2000, failure), nullptr) << c.name;
        EXPECT_EQ(failure.step, c.step) << c.name;
        EXPECT_NE(failure.code, 0) << c.name;
    }
}

TEST_F(TcpLinkTest, ConnectThatNeverCompletesGivesUpAtTheTimeout)
{
    // A listener whose backlog is full drops further connection requests.
    LoopbackServer server(0);
    std::vector<std::unique_ptr<TcpConnection>> queued;
    TcpOpenFailure failure;
    for (int i = 0; i < 8 && failure.step == TcpOpenFailure::None; ++i) {
        if (auto link = TcpConnection::open(LoopbackServer::kHost, server.port(), 300, failure))
            queued.push_back(std::move(link));
    }
    EXPECT_EQ(failure.step, TcpOpenFailure::Connect);
    EXPECT_EQ(failure.code, ETIMEDOUT);
}

TEST_F(TcpLinkTest, StopWhileTheServerIsSilentClosesTheConnectionAndAFreshOneWorks)
{
    LoopbackServer server(1);
    auto first = connect(server);
    ASSERT_NE(first, nullptr);
    first->start(seen.frames(), seen.messages());
    ASSERT_TRUE(server.accept());
    std::this_thread::sleep_for(20ms);  // the thread is asleep in poll()

    first->requestStop();
    EXPECT_TRUE(server.clientClosed(2000));  // the server sees the close
    EXPECT_TRUE(waitFinished(*first));
    first->join();
    EXPECT_TRUE(seen.messagesSeen().empty());  // a stop request shows no message

    Collector fresh;
    auto second = connect(server);
    ASSERT_NE(second, nullptr);
    second->start(fresh.frames(), fresh.messages());
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.send("[960A1B2CABCD]"));
    ASSERT_TRUE(fresh.waitForFrames(1));
    EXPECT_EQ(fresh.framesSeen(), std::vector<std::string>{"351:960A1B2CABCD"});
    EXPECT_TRUE(seen.framesSeen().empty());
}

TEST_F(TcpLinkTest, NothingIsReadWhileTheWindowIsTooFarBehindAndNothingIsLost)
{
    testing::TakingWindow window(3);  // outlives the link, whose thread wakes it
    LoopbackServer server;
    auto link = connect(server);
    ASSERT_NE(link, nullptr);
    link->start(handOverSink(window.handOver), seen.messages(), window.handOver);
    ASSERT_TRUE(server.accept());
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(server.send("[960A1B2CABCD]"));  // 14 bytes: at most three frames per block
    ASSERT_TRUE(window.answerWakeUp());
    // Taken at the first wake-up, or queued since: the queue fills again.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (window.handOver->pending() < 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_GE(window.handOver->pending(), 3);
    EXPECT_LE(window.handOver->pending(), 5);  // the block that filled it, no more

    // The window catches up: the rest arrives, in order, nothing lost.
    while (window.taken.size() < 40 && window.answerWakeUp()) {
    }
    EXPECT_EQ(window.taken, std::vector<std::string>(40, "351:960A1B2CABCD"));

    // A stop request is honoured even while the window is behind.
    ASSERT_TRUE(server.send("[960A1B2CABCD][960A1B2CABCD][960A1B2CABCD][960A1B2CABCD]"));
    std::this_thread::sleep_for(20ms);
    link->requestStop();
    EXPECT_TRUE(waitFinished(*link));
}

TEST_F(TcpLinkTest, AFrameOwedAWakeUpReachesTheWindowWhileTheServerIsSilent)
{
    testing::TakingWindow window;  // outlives the link, whose thread wakes it
    LoopbackServer server;
    auto link = connect(server);
    ASSERT_NE(link, nullptr);
    link->start(handOverSink(window.handOver), seen.messages(), window.handOver);
    ASSERT_TRUE(server.accept());
    // The first frame wakes the window at once; the second comes too soon
    // after for a wake-up of its own, and nothing follows it: the thread's
    // wait for data ends in time to post the wake-up it owes.
    ASSERT_TRUE(server.send("[5A0A1B2CABCD]"));
    ASSERT_TRUE(window.answerWakeUp());
    ASSERT_TRUE(server.send("[960A1B2CABCD]"));
    ASSERT_TRUE(window.answerWakeUp());
    EXPECT_EQ(window.taken, (std::vector<std::string>{"351:5A0A1B2CABCD", "351:960A1B2CABCD"}));
    EXPECT_EQ(window.handOver->wakeUps(), 2);

    // Stamped when read, by the clock it was given: the system's here.
    auto nowMs = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    };
    const std::int64_t sent = nowMs();
    ASSERT_TRUE(server.send("[640A1B2CABCD]"));
    ASSERT_TRUE(window.answerWakeUp());
    const std::int64_t taken = nowMs();
    ASSERT_EQ(window.taken.back(), "351:640A1B2CABCD");
    EXPECT_GE(window.stamps.back(), sent);
    EXPECT_LE(window.stamps.back(), taken);
}

TEST_F(TcpLinkTest, DestroyingAnOpenLinkStopsAndJoinsItsThread)
{
    LoopbackServer server;
    {
        auto link = connect(server);
        ASSERT_NE(link, nullptr);
        link->start(seen.frames(), seen.messages());
        ASSERT_TRUE(server.accept());
    }
    EXPECT_TRUE(server.clientClosed(2000));
    EXPECT_TRUE(seen.messagesSeen().empty());
}

}  // namespace
}  // namespace varno::link
