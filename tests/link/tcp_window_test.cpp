// The TCP/IP link driven through the main window, against a real server on
// the loopback interface.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>

#include "link/config_tcpip.h"
#include "link/ip_address_edit.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using namespace std::chrono_literals;

class TcpWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // No serial port at all: "TCP/IP" is the only item, already selected.
        std::filesystem::create_directories(dir.path() + "/sys/class/tty");
        std::filesystem::create_directories(dir.path() + "/dev");
        window->portRoots = {dir.path() + "/sys", dir.path() + "/dev"};
        window->portCombo->setEditText(QString());
        window->FillPortList();
        ASSERT_EQ(window->portCombo->count(), 1);
        window->tcpConnectTimeoutMs = 1000;
    }

    // Picks "TCP/IP" in the port list; `inDialog` plays the operator in the
    // settings dialog and closes it.
    void chooseTcpIp(const std::function<void(link::CConfigTCPIP&)>& inDialog)
    {
        bool seen = false;
        std::function<void()> poll = [&] {
            if (auto* dialog = qobject_cast<link::CConfigTCPIP*>(QApplication::activeModalWidget())) {
                seen = true;
                inDialog(*dialog);
                return;
            }
            QTimer::singleShot(5, poll);
        };
        QTimer::singleShot(0, poll);
        emit window->portCombo->activated(window->portCombo->findText("TCP/IP"));
        processEvents();
        EXPECT_TRUE(seen) << "the settings dialog did not open";
    }

    // Settings as if confirmed in the dialog.
    void selectServer(const LoopbackServer& server)
    {
        window->tcpSelected = true;
        window->tcpHostAddress = LoopbackServer::kHost;
        window->tcpPort = server.port();
        window->UpdateLinkControls();
    }

    QAbstractButton* openButton() const { return window->button(idc::Open); }

    void expectClosedState()
    {
        EXPECT_FALSE(openButton()->isChecked());
        EXPECT_EQ(window->linkOpen, 0);
        EXPECT_TRUE(window->portCombo->isEnabled());
        EXPECT_FALSE(window->baudCombo->isEnabled());  // TCP/IP chosen
    }

    TempDir dir;
};

TEST_F(TcpWindowTest, ChoosingTcpIpRunsTheSettingsDialogEvenWhenAlreadySelected)
{
    ASSERT_EQ(window->portCombo->currentText(), "TCP/IP");
    std::uint32_t shownAddress = 0;
    QString shownPort;
    chooseTcpIp([&](link::CConfigTCPIP& dialog) {
        shownAddress = dialog.addressControl->address();
        shownPort = dialog.portEdit->text();
        dialog.addressControl->setAddress(0x7F000002);
        dialog.portEdit->setText("2001");
        dialog.OnOK();
    });
    EXPECT_EQ(shownAddress, 0x7F000001u);
    EXPECT_EQ(shownPort, "10001");
    EXPECT_TRUE(window->tcpSelected);
    EXPECT_EQ(window->tcpHostAddress, 0x7F000002u);
    EXPECT_EQ(window->tcpPort, 2001u);
    EXPECT_FALSE(window->baudCombo->isEnabled());

    // Cancel leaves everything as it was, even what was typed.
    chooseTcpIp([](link::CConfigTCPIP& dialog) {
        dialog.portEdit->setText("3003");
        dialog.addressControl->clear();
        dialog.reject();
    });
    EXPECT_TRUE(window->tcpSelected);
    EXPECT_EQ(window->tcpHostAddress, 0x7F000002u);
    EXPECT_EQ(window->tcpPort, 2001u);
}

TEST_F(TcpWindowTest, FramesSplitIntoSmallSendsUpdateTheFields)
{
    LoopbackServer server;
    selectServer(server);
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    EXPECT_TRUE(openButton()->isChecked());
    EXPECT_FALSE(window->portCombo->isEnabled());
    ASSERT_TRUE(server.accept());

    std::string stream;
    for (int i = 0; i < 40; ++i)
        stream += "[960A1B2CABCD]\r\n";
    stream += "noise 5A 3C +1E 0A1B2C\r\n[FF00010203AB]\r\n";
    ASSERT_TRUE(server.sendInPieces(stream, 7));
    ASSERT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[FF00010203AB]"; }));
    EXPECT_EQ(fieldText(idc::P1), "255");
    EXPECT_EQ(fieldText(idc::Id), "000102");

    ASSERT_TRUE(server.send("96 A0 -0A 0A1B2C\r\n"));
    ASSERT_TRUE(waitUntil([&] { return fieldText(idc::DpHex) == "-0A"; }));
    EXPECT_EQ(fieldText(idc::P2), "160");
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(TcpWindowTest, AServerThatLeavesIsReportedAndOneClickReconnects)
{
    LoopbackServer server;
    selectServer(server);
    for (const bool reset : {false, true}) {
        alerts.shown.clear();
        clickOpen();
        ASSERT_EQ(window->linkOpen, 1);
        ASSERT_TRUE(server.accept());
        ASSERT_TRUE(server.send("[5A0A1B2CABCD]"));
        ASSERT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[5A0A1B2CABCD]"; })) << reset;
        if (reset)
            server.resetClient();
        else
            server.closeClient();
        ASSERT_TRUE(waitUntil([&] { return !alerts.shown.empty() && window->linkOpen == 0; })) << reset;
        const QString where = QStringLiteral("127.0.0.1:%1").arg(server.port());
        const QString cause = reset ? QString::fromUtf8("le serveur %1 a réinitialisé la connexion").arg(where)
                                    : QString::fromUtf8("le serveur %1 a fermé la connexion").arg(where);
        EXPECT_EQ(alerts.texts(), QStringList{"Connection Closed.\n" + cause}) << reset;
        expectClosedState();
    }

    // One click reconnects, and frames flow again.
    alerts.shown.clear();
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.send("[960A1B2CABCD]"));
    EXPECT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[960A1B2CABCD]"; }));
    EXPECT_TRUE(alerts.shown.empty());
    clickOpen();
    expectClosedState();
}

TEST_F(TcpWindowTest, OpeningFailuresAreReportedAndLeaveTheLinkClosed)
{
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    struct Case {
        std::uint32_t host;
        std::uint32_t port;
        const char* message;  // its first line, then its cause
        QString cause;
    };
    const Case cases[] = {
        {LoopbackServer::kHost, static_cast<std::uint32_t>(closedPort),
         "L'hôte ne répond pas. Vérifier son adresse: 127.0.0.1.",
         QString::fromUtf8("aucun serveur n'écoute sur 127.0.0.1:%1").arg(closedPort)},
        {0, 10001, "L'hôte ne répond pas. Vérifier son adresse: 0.0.0.0.",
         QString::fromUtf8("0.0.0.0:10001 : adresse non disponible")},
        {LoopbackServer::kHost, 0xFFFFFFFF, "Erreur sur l'adresse IP du hôte (getaddrinfo: ",
         QString::fromUtf8("127.0.0.1:4294967295 (code ")},
    };
    for (const Case& c : cases) {
        alerts.shown.clear();
        window->tcpSelected = true;
        window->tcpHostAddress = c.host;
        window->tcpPort = c.port;
        clickOpen();
        ASSERT_EQ(alerts.shown.size(), 1u) << c.message;
        const QStringList lines = alerts.shown[0].text.split('\n');
        ASSERT_EQ(lines.size(), 2) << alerts.shown[0].text.toStdString();
        EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8(c.message))) << lines[0].toStdString();
        EXPECT_TRUE(lines[1].contains(c.cause)) << lines[1].toStdString();
        EXPECT_EQ(alerts.shown[0].caption, ui::applicationName());
        expectClosedState();
    }
    EXPECT_EQ(window->tcpSocket, -1);
}

TEST_F(TcpWindowTest, ClosingWhileTheServerIsSilentEndsTheConnectionAndReopeningStartsAFreshOne)
{
    LoopbackServer server(1);
    selectServer(server);
    clickOpen();
    ASSERT_TRUE(server.accept());

    clickOpen();  // the server sends nothing meanwhile
    expectClosedState();
    EXPECT_TRUE(server.clientClosed(2000));

    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.send("[960A1B2CABCD]"));
    ASSERT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[960A1B2CABCD]"; }));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(TcpWindowTest, ClosingTheWindowStopsTheConnection)
{
    LoopbackServer server;
    selectServer(server);
    clickOpen();
    ASSERT_TRUE(server.accept());
    window.reset();
    EXPECT_TRUE(server.clientClosed(2000));
    EXPECT_TRUE(alerts.shown.empty());
}

}  // namespace
}  // namespace varno::testing
