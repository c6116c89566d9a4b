// The TCP/IP link through the main window against a loopback server that
// misbehaves: it leaves after a burst (FIN or RST), refuses, or never answers.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>

#include <QTimer>
#include <algorithm>
#include <future>
#include <thread>

#include "fault_window.h"
#include "link/pause.h"

namespace varno::testing {
namespace {

using namespace std::chrono_literals;
namespace idc = app::idc;

class TcpFaultTest : public FaultWindowTest {
protected:
    void expectClosedState()
    {
        EXPECT_EQ(window->linkOpen, 0);
        EXPECT_FALSE(window->button(idc::Open)->isChecked());
        EXPECT_TRUE(window->portCombo->isEnabled());
    }
};

struct Departure {
    const char* name;
    bool reset;  // RST (SO_LINGER 0) rather than FIN
};

void PrintTo(const Departure& d, std::ostream* os)
{
    *os << d.name;
}

class ServerDeparture : public TcpFaultTest, public ::testing::WithParamInterface<Departure> {};

TEST_P(ServerDeparture, EveryCompleteFrameBeforeItIsHandledAndItIsReportedOnce)
{
    const Departure departure = GetParam();
    LoopbackServer server;
    selectServer(server.port());
    // A window that falls behind at once: the server's leaving finds most of
    // the burst still waiting in the socket.
    window->frameHandOver->setLimit(16);
    clickLog();
    ASSERT_EQ(window->loggingOn, 1);
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(server.accept());

    constexpr std::size_t kFrames = 1500;  // 24 kB: the socket buffers hold it all
    std::string burst;
    for (unsigned i = 0; i < kFrames; ++i)
        burst += numberedFrame(i);
    burst += "[5A0A1B2C";  // a frame the departure cuts short

    // The window handles nothing while the server sends and leaves.
    auto sent = std::async(std::launch::async, [&] {
        const bool ok = server.send(burst);
        if (departure.reset)
            server.resetClient();
        else
            server.closeClient();
        return ok;
    });
    const bool sentWhileIdle = sent.wait_for(5s) == std::future_status::ready;
    const auto left = Clock::now();
    // None handled yet: what the link has posted is all it has taken.
    const int takenBeforeLeaving = window->frameHandOver->pending();

    ASSERT_TRUE(waitUntil([&] { return !timedAlerts.shown.empty(); })) << "no message";
    const double messageMs = millisecondsBetween(left, timedAlerts.shown.front().at);
    ASSERT_TRUE(sent.get());
    // A second message would come now, if ever.
    keepServing(300ms);

    const Logged logged = loggedFrames(window->logFilePath);
    const auto closedMessages = std::count_if(timedAlerts.shown.begin(), timedAlerts.shown.end(),
                                              [](const auto& s) { return s.text.startsWith("Connection Closed.\n"); });
    const std::string prefix = std::string(departure.name) + ": ";
    figure(prefix + "frames sent before leaving", kFrames);
    figure(prefix + "frames still unread in the socket when the server left", static_cast<int>(kFrames) - takenBeforeLeaving);
    figure(prefix + "frames handled (log lines)", logged.frames);
    figure(prefix + "lines out of order or unexpected", logged.outOfOrder);
    figure(prefix + "\"Connection Closed.\" messages", closedMessages);
    figure(prefix + "messages in all", timedAlerts.shown.size());
    figure(prefix + "message after the server left", messageMs, "ms");

    EXPECT_TRUE(sentWhileIdle);
    EXPECT_EQ(logged.frames, kFrames);
    EXPECT_EQ(logged.outOfOrder, 0u);
    ASSERT_EQ(timedAlerts.shown.size(), 1u);
    EXPECT_TRUE(timedAlerts.shown[0].text.startsWith("Connection Closed.\n")) << timedAlerts.shown[0].text.toStdString();
    EXPECT_EQ(window->tcpLink, nullptr) << "a lost link is let go of";
    EXPECT_EQ(window->linkOpen, 0) << "a lost link leaves the window closed";
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerDeparture,
                         ::testing::Values(Departure{"FIN", false}, Departure{"RST", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TcpFaultTest, RefusedConnectionIsReportedAtOnce)
{
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    selectServer(static_cast<std::uint16_t>(closedPort));
    link::setPauseScale(1);  // the program's own pauses
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        timedAlerts.shown.clear();
        const auto click = Clock::now();
        clickOpen();
        ASSERT_EQ(timedAlerts.shown.size(), 1u);
        ms.push_back(millisecondsBetween(click, timedAlerts.shown[0].at));
        expectClosedState();
    }
    link::setPauseScale(0);
    std::sort(ms.begin(), ms.end());
    figure("clicks on a closed port", ms.size());
    figure("message after the click, median", ms[ms.size() / 2], "ms");
    figure("message after the click, max", ms.back(), "ms");
    EXPECT_EQ(timedAlerts.shown[0].text, QString::fromUtf8("L'hôte ne répond pas. Vérifier son adresse: 127.0.0.1.\n"
                                                           "aucun serveur n'écoute sur 127.0.0.1:%1")
                                             .arg(closedPort));
    EXPECT_LE(ms.back(), 50.0);
}

// Connects without blocking; true when the connection completed within `ms`.
bool connectsWithin(int fd, std::uint16_t port, int ms)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return true;
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    return ::poll(&p, 1, ms) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

TEST_F(TcpFaultTest, ConnectThatNeverCompletesHonoursTheTimeoutAndTheWindowAnswersAfterwards)
{
    // A listener that accepts nobody, its backlog filled: the kernel drops
    // every further connection request, so a connect never completes.
    LoopbackServer server(0);
    std::vector<int> queued;
    bool full = false;
    for (int i = 0; i < 16 && !full; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        full = !connectsWithin(fd, server.port(), 300);
        queued.push_back(fd);
    }
    ASSERT_TRUE(full);

    selectServer(server.port());
    const int timeoutMs = link::TcpConnection::kDefaultConnectTimeoutMs;
    ASSERT_EQ(window->tcpConnectTimeoutMs, timeoutMs);
    const auto click = Clock::now();
    clickOpen();
    ASSERT_EQ(timedAlerts.shown.size(), 1u);
    const double waitedMs = millisecondsBetween(click, timedAlerts.shown[0].at);
    EXPECT_EQ(timedAlerts.shown[0].text, QString::fromUtf8("L'hôte ne répond pas. Vérifier son adresse: 127.0.0.1.\n"
                                                           "aucune réponse de 127.0.0.1:%1 en 3 s")
                                             .arg(server.port()));
    expectClosedState();

    // The window answers at once afterwards: a timer, a frame.
    const auto asked = Clock::now();
    Clock::time_point timerRan;
    QTimer::singleShot(0, window.get(), [&] { timerRan = Clock::now(); });
    ASSERT_TRUE(waitUntil([&] { return timerRan != Clock::time_point{}; }, 5s));
    const double timerMs = millisecondsBetween(asked, timerRan);
    const auto posted = Clock::now();
    postFrame(link::FRAME_KIND_READER, "960A1B2CABCD");
    const double frameMs = millisecondsBetween(posted, Clock::now());
    EXPECT_EQ(fieldText(idc::P1), "150");

    figure("connect timeout", timeoutMs, "ms");
    figure("message after the click", waitedMs, "ms");
    figure("deviation from the timeout", (waitedMs - timeoutMs) / timeoutMs * 100, "%");
    figure("timer served after the failure", timerMs, "ms");
    figure("frame handled after the failure", frameMs, "ms");
    EXPECT_GE(waitedMs, timeoutMs * 0.9);
    EXPECT_LE(waitedMs, timeoutMs * 1.1);

    for (int fd : queued)
        ::close(fd);
}

}  // namespace
}  // namespace varno::testing
