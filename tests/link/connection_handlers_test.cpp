// The "Port Série" group of the main window over a real pseudo-terminal, found
// through a fake port tree whose ttyUSB0 node leads to the pseudo-terminal.

#include <gtest/gtest.h>

#include <termios.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QThread>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/serial.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using namespace std::chrono_literals;

class ConnectionControlTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(pty.ok());
        ASSERT_FALSE(dir.path().empty());
        tree.addLinkTo("ttyUSB0", pty.path);
        useTree(tree);
    }

    void useTree(const FakePortTree& t)
    {
        window->portRoots = {t.sysfs.string(), t.dev.string()};
        window->FillPortList();
    }
    QAbstractButton* openButton() const { return window->button(idc::Open); }
    void expectClosed()
    {
        EXPECT_EQ(window->linkOpen, 0);
        EXPECT_FALSE(openButton()->isChecked());
        EXPECT_TRUE(openButton()->isEnabled());
        EXPECT_TRUE(window->portCombo->isEnabled());
        EXPECT_TRUE(window->baudCombo->isEnabled());
        EXPECT_FALSE(window->serialPort.IsOpen());
    }
    // Another opener gets the device: nobody holds it any more.
    bool deviceIsFree() const
    {
        link::CSerial probe;
        return probe.Open(pty.path.c_str()) == link::kResultOk;
    }

    PtyPair pty;
    TempDir dir;
    FakePortTree tree{dir.path()};
};

TEST_F(ConnectionControlTest, PortListShowsTheDevicesAndTcpIp)
{
    ASSERT_EQ(window->portCombo->count(), 2);
    EXPECT_EQ(window->portCombo->itemText(0), QString::fromStdString((tree.dev / "ttyUSB0").string()));
    EXPECT_EQ(window->portCombo->itemText(1), QStringLiteral("TCP/IP"));
    EXPECT_EQ(window->portCombo->currentIndex(), 0);
    expectClosed();
}

TEST_F(ConnectionControlTest, OpenReceiveAndCloseThroughTheButton)
{
    // A rate chosen while closed only releases the button.
    window->baudCombo->setCurrentIndex(2);
    emit window->baudCombo->activated(2);
    expectClosed();

    clickOpen();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(window->linkOpen, 1);
    EXPECT_TRUE(openButton()->isChecked());
    EXPECT_FALSE(window->portCombo->isEnabled());
    EXPECT_FALSE(window->baudCombo->isEnabled());
    ASSERT_TRUE(window->serialPort.IsOpen());
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.slave, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);

    // Logged, so that every frame the window handles shows, in its order.
    TempDir logDir;
    window->workingDirectory = logDir.path();
    window->button(idc::Log)->click();
    ASSERT_EQ(window->loggingOn, 1);

    ASSERT_TRUE(pty.write("junk\r\n5A 3C +1E 0A1B2C\r\n[5A0D0E0F0102]\r\n5A 7F -25 0A1B2C\r\n[960A1B2CABCD]\r\n", 3, 200));
    ASSERT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[960A1B2CABCD]"; }));
    EXPECT_EQ(fieldText(idc::P1), "150");
    EXPECT_EQ(fieldText(idc::P1Hex), "96");
    EXPECT_EQ(fieldText(idc::Id), "0A1B2C");
    std::vector<std::string> logged;
    const std::string log = readBytes(window->logFilePath);
    for (std::size_t start = log.find("\r\n") + 2, end; (end = log.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        logged.push_back(log.substr(start, log.find(';', start) - start));
    EXPECT_EQ(logged, (std::vector<std::string>{"[5A 3C +1E 0A1B2C]", "[5A0D0E0F0102]", "[5A 7F -25 0A1B2C]",
                                                "[960A1B2CABCD]"}));

    clickOpen();
    expectClosed();
    EXPECT_FALSE(window->serialPort.ListenerRecorded());
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(deviceIsFree());
}

TEST_F(ConnectionControlTest, NoPortAtAllLeavesTcpIpWhichCannotOpenYet)
{
    TempDir emptyDir;
    FakePortTree empty(emptyDir.path());
    useTree(empty);
    ASSERT_EQ(window->portCombo->count(), 1);
    EXPECT_EQ(window->portCombo->itemText(0), QStringLiteral("TCP/IP"));
    EXPECT_EQ(window->portCombo->currentIndex(), 0);

    clickOpen();
    EXPECT_EQ(alerts.texts(), QStringList{QString::fromUtf8("Erreur ouverture du port série.")});
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].icon, ui::AlertIcon::Exclamation);
    expectClosed();
}

TEST_F(ConnectionControlTest, NoSelectedPortIsReported)
{
    window->portCombo->setCurrentIndex(-1);
    clickOpen();
    EXPECT_EQ(alerts.texts(), QStringList{QString::fromUtf8("Aucun port série sélectionné.")});
    expectClosed();
}

TEST_F(ConnectionControlTest, DeviceHeldByAnotherOpenerIsReported)
{
    link::CSerial holder;
    ASSERT_EQ(holder.Open(pty.path.c_str()), link::kResultOk);
    clickOpen();
    EXPECT_EQ(alerts.texts(), QStringList{QString::fromUtf8("Erreur ouverture du port série.")});
    expectClosed();
}

TEST_F(ConnectionControlTest, VanishedDeviceKeepsTheButtonPressedUntilClosed)
{
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(pty.write("[960A1B2CABCD]"));
    ASSERT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[960A1B2CABCD]"; }));

    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !window->serialPort.ListenerRunning(); }));
    EXPECT_EQ(window->linkOpen, 1);
    EXPECT_TRUE(openButton()->isChecked());
    EXPECT_TRUE(alerts.shown.empty()) << "the loss is not reported";

    clickOpen();
    expectClosed();
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(ConnectionControlTest, ClosingTheWindowShutsAnOpenPortDown)
{
    clickOpen();
    ASSERT_TRUE(window->serialPort.IsOpen());
    ASSERT_TRUE(pty.write("[960A1B2CABCD][5A0A1B2CAB]"));
    window.reset();
    processEvents();
    EXPECT_TRUE(deviceIsFree());
}

}  // namespace
}  // namespace varno::testing
