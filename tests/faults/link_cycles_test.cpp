// A thousand openings and closings of each link, every stop asked while the
// reception thread sleeps waiting for data that never comes: how long the join
// takes, whether one ever hangs, and whether descriptors or threads are left.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "frame_tally.h"
#include "link/serial_wnd.h"
#include "link/tcp_link.h"
#include "process_figures.h"
#include "support/loopback_server.h"
#include "support/pty_pair.h"

namespace varno::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kCycles = 1000;
// A join slower than this is a hang, whatever the figure's own bound.
constexpr double kHangMs = 1000;

// One link as the cycles drive it. Its peer (pseudo-terminal, server) lives as
// long as the object, so only the link's own resources come and go.
class CycledLink {
public:
    virtual ~CycledLink() = default;
    // Opens the link and starts its thread.
    virtual bool open() = 0;
    // Asks the thread to end and joins it.
    virtual void stop() = 0;
    // Releases the rest.
    virtual void close() = 0;
};

class SerialLink final : public CycledLink {
public:
    bool open() override
    {
        return pty.ok() && link::openPort(port, pty.path.c_str(), tally.target(), 9600) == link::kResultOk;
    }
    void stop() override { port.StopListening(100); }
    void close() override { link::runPortShutdown(port); }

private:
    PtyPair pty;
    FrameTally tally;
    link::CSerialMFC port;
};

class TcpLink final : public CycledLink {
public:
    bool open() override
    {
        link::TcpOpenFailure failure;
        connection = link::TcpConnection::open(LoopbackServer::kHost, server.port(), 2000, failure);
        if (connection == nullptr)
            return false;
        connection->start(tally.sink(), tally.messages());
        return server.accept(2000);
    }
    void stop() override
    {
        connection->requestStop();
        connection->join();
    }
    void close() override
    {
        connection.reset();
        server.closeClient();
    }

private:
    LoopbackServer server;
    FrameTally tally;
    std::unique_ptr<link::TcpConnection> connection;
};

struct LinkCase {
    const char* name;
    std::function<std::unique_ptr<CycledLink>()> make;
};

void PrintTo(const LinkCase& c, std::ostream* os)
{
    *os << c.name;
}

struct CycleFigures {
    std::vector<double> joinMs;
    int hangs = 0;
    int failedOpenings = 0;
    int notAsleep = 0;  // cycles whose thread was never seen asleep before the stop
    std::size_t descriptorsBefore = 0, descriptorsAfter = 0;
    std::size_t threadsBefore = 0, threadsAfter = 0;
};

// Aborts the run, saying where, when a cycle makes no progress for 20 s: a hung
// join would otherwise hold the suite until its timeout.
class Watchdog {
public:
    explicit Watchdog(const std::atomic<int>& cycle)
        : m_thread([this, &cycle] {
              int seen = -1;
              auto since = Clock::now();
              while (!m_done.load()) {
                  std::this_thread::sleep_for(50ms);
                  if (cycle.load() != seen) {
                      seen = cycle.load();
                      since = Clock::now();
                  } else if (Clock::now() - since > 20s) {
                      std::printf("[ FIGURE ] hung in cycle %d\n", seen);
                      std::fflush(stdout);
                      std::abort();
                  }
              }
          })
    {
    }
    ~Watchdog()
    {
        m_done.store(true);
        m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// One opening, a stop asked once the new thread sleeps, and the closing.
void cycleOnce(CycledLink& link, CycleFigures& figures)
{
    const auto threadsBefore = threadIds();
    if (!link.open()) {
        ++figures.failedOpenings;
        link.close();
        return;
    }
    // The new thread, asleep in its wait for data.
    std::vector<std::string> started;
    for (const auto& tid : threadIds()) {
        if (!threadsBefore.contains(tid))
            started.push_back(tid);
    }
    const bool asleep =
        started.size() == 1 && waitFor([&] { return threadState(started[0]) == 'S'; }, 2s, 50us);
    if (!asleep)
        ++figures.notAsleep;

    const auto stop = Clock::now();
    link.stop();
    const double ms = millisecondsBetween(stop, Clock::now());
    figures.joinMs.push_back(ms);
    if (ms > kHangMs)
        ++figures.hangs;
    link.close();
}

CycleFigures runCycles(CycledLink& link)
{
    // One cycle first, left out of the figures: what a process starts once,
    // such as a sanitizer's own thread at the first thread created, is then
    // in the baseline.
    CycleFigures warmUp;
    cycleOnce(link, warmUp);

    CycleFigures figures;
    figures.descriptorsBefore = openDescriptors();
    figures.threadsBefore = threadIds().size();
    std::atomic<int> cycle{0};
    {
        Watchdog watchdog(cycle);
        for (int i = 0; i < kCycles; ++i, ++cycle)
            cycleOnce(link, figures);
    }
    figures.descriptorsAfter = openDescriptors();
    figures.threadsAfter = threadIds().size();
    return figures;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

class LinkCycles : public ::testing::TestWithParam<LinkCase> {
protected:
    InstantPauses instant;  // the program's pauses, scaled to nothing for a thousand cycles
};

TEST_P(LinkCycles, StopWhileWaitingForDataJoinsPromptlyAndNeverHangs)
{
    const std::string name = GetParam().name;
    auto link = GetParam().make();

    // Once with the program's own pauses: the serial listener is stopped before
    // the shutdown's pauses, the TCP thread runs its shutdown, with its three
    // pauses of 100 ms, before it ends.
    CycleFigures once;
    link::setPauseScale(1);
    cycleOnce(*link, once);
    link::setPauseScale(0);
    ASSERT_EQ(once.joinMs.size(), 1u);
    figure(name + ": join after the stop, with the program's own pauses", once.joinMs[0], "ms");

    const CycleFigures f = runCycles(*link);
    figure(name + ": cycles", kCycles);
    figure(name + ": openings that failed", f.failedOpenings);
    figure(name + ": stops asked before the thread was seen asleep", f.notAsleep);
    figure(name + ": join after the stop, median", percentile(f.joinMs, 0.5), "ms");
    figure(name + ": join after the stop, 99th percentile", percentile(f.joinMs, 0.99), "ms");
    figure(name + ": join after the stop, max", percentile(f.joinMs, 1.0), "ms");
    figure(name + ": hangs (join over 1 s)", f.hangs);

    EXPECT_EQ(f.failedOpenings, 0);
    EXPECT_EQ(f.notAsleep, 0);
    EXPECT_LE(percentile(f.joinMs, 1.0), 150.0);
    EXPECT_EQ(f.hangs, 0);
}

TEST_P(LinkCycles, OpeningAndClosingLeavesNoDescriptorOrThread)
{
    const std::string name = GetParam().name;
    auto link = GetParam().make();
    const CycleFigures f = runCycles(*link);

    figure(name + ": cycles", kCycles);
    figure(name + ": open descriptors before", f.descriptorsBefore);
    figure(name + ": open descriptors after", f.descriptorsAfter);
    figure(name + ": threads before", f.threadsBefore);
    figure(name + ": threads after", f.threadsAfter);

    EXPECT_EQ(f.failedOpenings, 0);
    EXPECT_EQ(f.descriptorsAfter, f.descriptorsBefore);
    EXPECT_EQ(f.threadsAfter, f.threadsBefore);
}

// Openings that fail, each a thousand times: whatever a failure opened on the
// way must be closed again.
TEST(FailedOpenings, LeaveNoDescriptorBehind)
{
    InstantPauses instant;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    link::CSerial holder;
    ASSERT_EQ(holder.Open(pty.path.c_str()), link::kResultOk);
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    // A listener whose backlog is full drops every further connection request.
    LoopbackServer full(0);
    std::vector<std::unique_ptr<link::TcpConnection>> queued;
    for (int i = 0; i < 16; ++i) {
        link::TcpOpenFailure failure;
        auto connection = link::TcpConnection::open(LoopbackServer::kHost, full.port(), 300, failure);
        if (connection == nullptr)
            break;
        queued.push_back(std::move(connection));
    }

    FrameTally tally;
    auto serial = [&](const char* device) {
        return [&, device] {
            link::CSerialMFC port;
            return link::openPort(port, device, tally.target(), 9600) != link::kResultOk && !port.IsOpen();
        };
    };
    auto tcp = [&](int port, int timeoutMs) {
        return [port, timeoutMs] {
            link::TcpOpenFailure failure;
            return link::TcpConnection::open(LoopbackServer::kHost, static_cast<std::uint32_t>(port), timeoutMs,
                                             failure) == nullptr
                   && failure.step == link::TcpOpenFailure::Connect;
        };
    };
    struct Case {
        const char* name;
        std::function<bool()> attempt;
    };
    const Case cases[] = {
        {"serial device held by another opener", serial(pty.path.c_str())},
        {"serial device that is no terminal", serial("/dev/null")},
        {"serial device that does not exist", serial("/nonexistent/ttyUSB9")},
        {"tcp connection refused", tcp(closedPort, 2000)},
        {"tcp connect timed out", tcp(full.port(), 1)},
    };
    for (const Case& c : cases) {
        const std::size_t before = openDescriptors();
        int failed = 0;
        for (int i = 0; i < kCycles; ++i)
            failed += c.attempt() ? 1 : 0;
        const std::size_t after = openDescriptors();
        figure(std::string(c.name) + ": failed openings", failed);
        figure(std::string(c.name) + ": open descriptors before", before);
        figure(std::string(c.name) + ": open descriptors after", after);
        EXPECT_EQ(failed, kCycles) << c.name;
        EXPECT_EQ(after, before) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Links, LinkCycles,
                         ::testing::Values(LinkCase{"serial", [] { return std::make_unique<SerialLink>(); }},
                                           LinkCase{"tcp", [] { return std::make_unique<TcpLink>(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varno::testing
