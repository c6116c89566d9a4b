// A 1 kHz SIGALRM, its handler installed without SA_RESTART, during a transfer
// through the main window: the blocking calls of the window's thread and of the
// reception thread are interrupted again and again.

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <QLineEdit>
#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

#include "fault_window.h"

namespace varno::testing {
namespace {

using namespace std::chrono_literals;
namespace idc = app::idc;

std::atomic<long> g_signals{0};
std::atomic<long> g_onWindowThread{0};
std::atomic<long> g_onReceptionThread{0};
std::atomic<pid_t> g_windowThread{0};
std::atomic<pid_t> g_receptionThread{0};

extern "C" void countAlarm(int)
{
    const int saved = errno;
    const auto self = static_cast<pid_t>(::syscall(SYS_gettid));
    g_signals.fetch_add(1);
    if (self == g_windowThread.load())
        g_onWindowThread.fetch_add(1);
    else if (self == g_receptionThread.load())
        g_onReceptionThread.fetch_add(1);
    errno = saved;
}

void blockAlarm()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// SIGALRM every millisecond, interrupting rather than restarting, while it
// lives: the process's timer, which the kernel hands to the main thread (the
// window's) whenever it can, and one aimed at the reception thread.
class AlarmStorm {
public:
    explicit AlarmStorm(pid_t receptionThread)
    {
        struct sigaction action {};
        action.sa_handler = countAlarm;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART
        ::sigaction(SIGALRM, &action, &m_previous);
        const itimerval every{{0, 1000}, {0, 1000}};
        ::setitimer(ITIMER_REAL, &every, nullptr);
        sigevent aimed{};
        aimed.sigev_notify = SIGEV_THREAD_ID;
        aimed.sigev_signo = SIGALRM;
        aimed._sigev_un._tid = receptionThread;
        const itimerspec everyMs{{0, 1000000}, {0, 1000000}};
        m_aimed = ::timer_create(CLOCK_MONOTONIC, &aimed, &m_timer) == 0
                  && ::timer_settime(m_timer, 0, &everyMs, nullptr) == 0;
    }
    ~AlarmStorm()
    {
        const itimerval off{};
        ::setitimer(ITIMER_REAL, &off, nullptr);
        if (m_aimed)
            ::timer_delete(m_timer);
        // A signal still on its way must find the handler, not the default action.
        std::this_thread::sleep_for(20ms);
        ::sigaction(SIGALRM, &m_previous, nullptr);
    }
    AlarmStorm(const AlarmStorm&) = delete;
    AlarmStorm& operator=(const AlarmStorm&) = delete;

    bool aimed() const { return m_aimed; }

private:
    struct sigaction m_previous {};
    timer_t m_timer{};
    bool m_aimed = false;
};

struct Transfer {
    const char* name;
    bool serial;
};

void PrintTo(const Transfer& t, std::ostream* os)
{
    *os << t.name;
}

class SignalStorm : public FaultWindowTest, public ::testing::WithParamInterface<Transfer> {};

TEST_P(SignalStorm, InterruptedCallsCauseNoErrorAndLoseNoFrame)
{
    const Transfer transfer = GetParam();
    PtyPair pty;
    LoopbackServer server;
    if (transfer.serial) {
        ASSERT_TRUE(pty.ok());
        selectSerial(pty);
    } else {
        selectServer(server.port());
    }
    clickLog();
    ASSERT_EQ(window->loggingOn, 1);

    g_signals = g_onWindowThread = g_onReceptionThread = 0;
    g_windowThread = currentThreadId();
    // A sanitizer starts a thread of its own with the process's first thread:
    // let that happen before the baseline.
    std::thread([] {}).join();
    const auto threadsBefore = threadIds();
    clickOpen();
    processEvents();
    ASSERT_EQ(window->linkOpen, 1);
    if (!transfer.serial) {
        ASSERT_TRUE(server.accept());
    }
    std::vector<std::string> started;
    for (const auto& tid : threadIds()) {
        if (!threadsBefore.contains(tid))
            started.push_back(tid);
    }
    ASSERT_EQ(started.size(), 1u) << "one reception thread";
    g_receptionThread = std::stoi(started[0]);

    constexpr unsigned kFrames = 3000;
    std::function<bool(const std::string&)> send = [&](const std::string& bytes) {
        return transfer.serial ? pty.write(bytes) : server.send(bytes);
    };
    bool sentAll = false;
    long delivered = 0;
    {
        AlarmStorm storm(g_receptionThread.load());
        ASSERT_TRUE(storm.aimed());
        // The sender is the test's own: it keeps the signal out, so that only the
        // program's calls are interrupted.
        std::thread sender([&] {
            blockAlarm();
            bool ok = true;
            for (unsigned i = 0; ok && i < kFrames; ++i) {
                ok = send(numberedFrame(i));
                std::this_thread::sleep_for(300us);
            }
            sentAll = ok;
        });
        const std::string last = numberedFrame(kFrames - 1).substr(0, 14);
        waitUntil([&] { return fieldText(idc::Frame) == last; }, 60s);
        sender.join();
        delivered = g_signals.load();
    }
    keepServing(100ms);

    const Logged logged = loggedFrames(window->logFilePath);
    const bool stillReceiving =
        transfer.serial ? window->serialPort.ListenerRunning() : window->tcpLink && !window->tcpLink->finished();
    const std::string prefix = std::string(transfer.name) + ": ";
    figure(prefix + "SIGALRM delivered", delivered);
    figure(prefix + "SIGALRM on the window's thread", g_onWindowThread.load());
    figure(prefix + "SIGALRM on the reception thread", g_onReceptionThread.load());
    figure(prefix + "frames sent", kFrames);
    figure(prefix + "frames handled (log lines)", logged.frames);
    figure(prefix + "frames lost", static_cast<long>(kFrames) - static_cast<long>(logged.frames));
    figure(prefix + "spurious errors (messages)", timedAlerts.shown.size());
    figure(prefix + "link still receiving", stillReceiving ? "yes" : "no");

    EXPECT_TRUE(sentAll);
    EXPECT_GT(g_onWindowThread.load(), 0);
    EXPECT_GT(g_onReceptionThread.load(), 0);
    EXPECT_EQ(logged.frames, kFrames);
    EXPECT_EQ(logged.outOfOrder, 0u);
    EXPECT_TRUE(timedAlerts.shown.empty()) << timedAlerts.texts().join("|").toStdString();
    EXPECT_TRUE(stillReceiving);
    g_windowThread = 0;
    g_receptionThread = 0;
}

INSTANTIATE_TEST_SUITE_P(Links, SignalStorm,
                         ::testing::Values(Transfer{"serial", true}, Transfer{"tcp", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varno::testing
