// The status line through the real window: over a loopback TCP server and a
// pseudo-terminal, with the window's clock in the test's hands so that the
// figures and the silence are read at chosen times, without sleeping.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <filesystem>
#include <string>

#include "support/loopback_server.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "support/window_fixture.h"
#include "ui/status_line.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;

std::string readerFrames(int count)
{
    std::string stream;
    for (int i = 0; i < count; ++i)
        stream += "[960A1B2CABCD]\r\n";
    return stream;
}

class StatusLineTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(pty.ok());
        tree.addLinkTo("ttyUSB0", pty.path);
        window->portRoots = {tree.sysfs.string(), tree.dev.string()};
        window->portCombo->setEditText(QString());
        window->FillPortList();
        window->tcpConnectTimeoutMs = 1000;
        window->clock = &clock;
        clock.set(2026, 12, 8, 10, 0, 0);
    }

    // The link's part of the status line, composed now.
    QString shown()
    {
        window->refreshStatusLine();
        return window->statusLine->linkText();
    }
    // The window's count of frames since the link was opened.
    std::uint64_t frames() const { return window->linkStatus.framesSinceOpening(); }

    void chooseServer(const LoopbackServer& server)
    {
        window->portCombo->setCurrentIndex(window->portCombo->findText("TCP/IP"));
        window->tcpSelected = true;
        window->tcpHostAddress = LoopbackServer::kHost;
        window->tcpPort = server.port();
        window->UpdateLinkControls();
    }

    TestClock clock;
    PtyPair pty;
    TempDir dir;
    FakePortTree tree{dir.path()};
};

TEST_F(StatusLineTest, ATcpLinkConnectedCountingFallingSilentAndLost)
{
    EXPECT_EQ(shown(), QString::fromUtf8("Fermé"));

    LoopbackServer server;
    chooseServer(server);
    const QString address = QStringLiteral("Connecté à 127.0.0.1:%1").arg(server.port());
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(server.accept());
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 0 trame · 0 trame/s"));

    // 40 frames at 10:00:00.000, one of them cut short by noise that no
    // decoder takes: every frame handed over counts.
    ASSERT_TRUE(server.send(readerFrames(39) + "[5A]\r\n"));
    ASSERT_TRUE(waitUntil([&] { return frames() == 40; }));
    // Read within the second they came in, they count from the next tenth.
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 40 trames · 0 trame/s"));
    clock.set(2026, 12, 8, 10, 0, 0, 100);
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 40 trames · 40 trames/s"));
    clock.set(2026, 12, 8, 10, 0, 1, 0);
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 40 trames · 40 trames/s"));

    // The stream stops: the frames of the last second fall to none, then the
    // silence is told from the fifth second on.
    clock.set(2026, 12, 8, 10, 0, 4, 999);
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 40 trames · 0 trame/s"));
    clock.set(2026, 12, 8, 10, 0, 12, 400);
    // The window refreshes the line by itself while the link is open.
    EXPECT_TRUE(waitUntil([&] {
        return window->statusLine->linkText() == address + QString::fromUtf8(" · 40 trames · aucune trame depuis 12 s");
    }));

    // More frames end the silence.
    ASSERT_TRUE(server.send(readerFrames(2)));
    ASSERT_TRUE(waitUntil([&] { return frames() == 42; }));
    clock.set(2026, 12, 8, 10, 0, 13, 0);
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 42 trames · 2 trames/s"));

    // The server closes: the loss is told beside its message, and stays told
    // while the link is closed.
    server.closeClient();
    ASSERT_TRUE(waitUntil([&] { return !alerts.shown.empty() && window->linkOpen == 0; }));
    ASSERT_EQ(alerts.shown.size(), 1U);
    EXPECT_TRUE(alerts.shown[0].text.startsWith("Connection Closed.\n"));
    EXPECT_EQ(shown(), QString::fromUtf8("Liaison perdue · 42 trames"));
    clock.set(2026, 12, 8, 10, 1, 0);
    EXPECT_EQ(shown(), QString::fromUtf8("Liaison perdue · 42 trames"));

    // One click opens again: a fresh count.
    clickOpen();
    ASSERT_TRUE(server.accept());
    EXPECT_EQ(shown(), address + QString::fromUtf8(" · 0 trame · 0 trame/s"));
    // Closed by the operator, the server's FIN that follows is no loss.
    clickOpen();
    EXPECT_TRUE(server.clientClosed());
    processEvents();
    EXPECT_EQ(shown(), QString::fromUtf8("Fermé"));
    EXPECT_EQ(alerts.shown.size(), 1U);
}

TEST_F(StatusLineTest, ASerialPortOpenedCountingAndUnplugged)
{
    const QString device = QString::fromStdString((tree.dev / "ttyUSB0").string());
    window->baudCombo->setCurrentIndex(window->baudCombo->findText("115200"));
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    const QString opened = QString::fromUtf8("Ouvert : %1, 115200 bauds").arg(device);
    EXPECT_EQ(shown(), opened + QString::fromUtf8(" · 0 trame · 0 trame/s"));

    ASSERT_TRUE(pty.write(readerFrames(3)));
    ASSERT_TRUE(waitUntil([&] { return frames() == 3; }));
    clock.set(2026, 12, 8, 10, 0, 5, 0);
    EXPECT_EQ(shown(), opened + QString::fromUtf8(" · 3 trames · aucune trame depuis 5 s"));

    // The device goes away: its listener ends by itself, the window says so
    // and closes the port; the status line tells until the next opening.
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return shown() == QString::fromUtf8("Liaison perdue · 3 trames"); }));
    EXPECT_TRUE(waitUntil([&] { return alerts.shown.size() == 1U; }));
    EXPECT_EQ(window->linkOpen, 0);
    EXPECT_FALSE(window->serialPort.IsOpen());
}

TEST_F(StatusLineTest, ChoosingAnotherRateClosesThePort)
{
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    window->baudCombo->setCurrentIndex(1);
    emit window->baudCombo->activated(1);
    EXPECT_EQ(shown(), QString::fromUtf8("Fermé"));
    EXPECT_FALSE(window->serialPort.IsOpen());
}

}  // namespace
}  // namespace varno::testing
