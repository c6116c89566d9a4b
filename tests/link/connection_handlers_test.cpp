// The "Port Série" group of the main window over a real pseudo-terminal, found
// through a fake port tree whose ttyUSB0 node leads to the pseudo-terminal.

#include <gtest/gtest.h>

#include <termios.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QAbstractItemView>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <chrono>
#include <functional>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "link/serial.h"
#include "support/loopback_server.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
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
        // The list keeps the text the box shows: start from an empty box.
        window->portCombo->setEditText(QString());
        window->FillPortList();
    }
    // The operator types `text` into the port box.
    void typePort(const std::string& text)
    {
        QLineEdit* edit = window->portCombo->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromStdString(text));
    }
    // The descriptors of this process that lead to `path`.
    static int descriptorsTo(const std::string& path)
    {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            if (std::filesystem::read_symlink(entry.path(), error) == path)
                ++n;
        }
        return n;
    }
    static int openDescriptors()
    {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                              std::filesystem::directory_iterator()));
    }
    std::string listedDevice() const { return (tree.dev / "ttyUSB0").string(); }
    // The message of a failed opening: the known first line, then the cause.
    static QString openFailure(const std::string& cause)
    {
        return QString::fromUtf8("Erreur ouverture du port série.\n") + QString::fromStdString(cause);
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

TEST_F(ConnectionControlTest, NoPortAtAllLeavesTcpIpWhichMeansTheTcpLinkAtOnce)
{
    TempDir emptyDir;
    FakePortTree empty(emptyDir.path());
    useTree(empty);
    ASSERT_EQ(window->portCombo->count(), 1);
    EXPECT_EQ(window->portCombo->currentText(), QStringLiteral("TCP/IP"));
    EXPECT_TRUE(window->tcpSelected) << "no dialog needed for the default address";
    EXPECT_FALSE(window->baudCombo->isEnabled());

    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    window->tcpPort = static_cast<std::uint32_t>(closedPort);
    clickOpen();
    // The TCP/IP link was tried, never a device named "TCP/IP".
    const QString expected = QString::fromUtf8("L'hôte ne répond pas. Vérifier son adresse: 127.0.0.1.\n"
                                               "aucun serveur n'écoute sur 127.0.0.1:%1")
                                 .arg(closedPort);
    EXPECT_EQ(alerts.texts(), QStringList{expected});
    EXPECT_FALSE(window->serialPort.IsOpen());
    EXPECT_EQ(window->linkOpen, 0);
}

TEST_F(ConnectionControlTest, AnEmptyBoxIsReported)
{
    window->portCombo->setCurrentIndex(-1);
    window->portCombo->setEditText(QString());
    clickOpen();
    EXPECT_EQ(alerts.texts(), QStringList{QString::fromUtf8("Aucun port série sélectionné.")});
    expectClosed();
}

TEST_F(ConnectionControlTest, DeviceHeldByAnotherOpenerIsReported)
{
    link::CSerial holder;
    ASSERT_EQ(holder.Open(pty.path.c_str()), link::kResultOk);
    clickOpen();
    EXPECT_EQ(alerts.texts(), QStringList{openFailure(listedDevice() + " est utilisé par un autre programme")});
    expectClosed();
}

TEST_F(ConnectionControlTest, ATypedPathOpensExactlyThatDevice)
{
    PtyPair other;
    ASSERT_TRUE(other.ok());
    const int before = descriptorsTo(other.path);
    const int listedBefore = descriptorsTo(pty.path);
    typePort(other.path);
    EXPECT_EQ(window->portCombo->currentText().toStdString(), other.path);
    EXPECT_TRUE(window->baudCombo->isEnabled());

    clickOpen();
    ASSERT_TRUE(alerts.shown.empty()) << alerts.texts().join('\n').toStdString();
    ASSERT_EQ(window->linkOpen, 1);
    EXPECT_EQ(descriptorsTo(other.path), before + 1) << "the typed device is the one opened";
    EXPECT_EQ(descriptorsTo(pty.path), listedBefore) << "the listed device is left alone";
    ASSERT_TRUE(other.write("[960A1B2CABCD]\r\n"));
    EXPECT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[960A1B2CABCD]"; }));

    clickOpen();
    expectClosed();
    EXPECT_EQ(descriptorsTo(other.path), before);
}

TEST_F(ConnectionControlTest, ATypedPathThatIsNoSerialDeviceSaysWhy)
{
    const std::string file = dir.file("notes.txt");
    writeBytes(file, "not a device\n");
    const struct {
        std::string path;
        std::string cause;
    } cases[] = {
        {file, file + " n'est pas un port série"},
        {dir.path(), dir.path() + " n'est pas un port série"},
        {dir.file("ttyUSB7"), dir.file("ttyUSB7") + " introuvable"},
        {"TCP/IP ", "TCP/IP  introuvable"},  // only "TCP/IP" itself means the TCP/IP link
    };
    for (const auto& c : cases) {
        alerts.shown.clear();
        typePort(c.path);
        clickOpen();
        EXPECT_EQ(alerts.texts(), QStringList{openFailure(c.cause)}) << c.path;
        expectClosed();
    }
}

TEST_F(ConnectionControlTest, AListDroppedDownShowsDevicesAddedSinceAndKeepsTheText)
{
    PtyPair added;
    ASSERT_TRUE(added.ok());
    typePort("/dev/typed-by-hand");
    tree.addLinkTo("ttyACM0", added.path);
    const QString addedPath = QString::fromStdString((tree.dev / "ttyACM0").string());
    ASSERT_EQ(window->portCombo->findText(addedPath), -1);

    window->portCombo->showPopup();
    EXPECT_GE(window->portCombo->findText(addedPath), 0);
    EXPECT_EQ(window->portCombo->currentText(), QStringLiteral("/dev/typed-by-hand"));
    // Wide enough for the whole of every path.
    const QFontMetrics metrics(window->portCombo->view()->font());
    EXPECT_GT(window->portCombo->view()->width(), metrics.horizontalAdvance(addedPath));
    window->portCombo->hidePopup();

    // The new device opens once chosen.
    window->portCombo->setCurrentIndex(window->portCombo->findText(addedPath));
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(added.write("[5A0A1B2CABCD]"));
    EXPECT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[5A0A1B2CABCD]"; }));
    clickOpen();
}

TEST_F(ConnectionControlTest, AVanishedDeviceIsReportedAndLeavesTheLinkClosed)
{
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1);
    ASSERT_TRUE(pty.write("[960A1B2CABCD]"));
    ASSERT_TRUE(waitUntil([&] { return fieldText(idc::Frame) == "[960A1B2CABCD]"; }));

    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !alerts.shown.empty(); }));
    EXPECT_EQ(alerts.texts(),
              QStringList{QString::fromUtf8("Le port série ne répond plus.\n") + QString::fromStdString(listedDevice()) +
                          QString::fromUtf8(" ne répond plus : périphérique débranché ou ligne raccrochée")});
    expectClosed();
    EXPECT_FALSE(window->serialPort.ListenerRecorded());
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

TEST_F(ConnectionControlTest, ClosingHidesTheWindowFirstAndShutsThePortDownAfterwards)
{
    const int descriptors = openDescriptors();
    clickOpen();
    ASSERT_TRUE(window->serialPort.IsOpen());

    window->close();
    EXPECT_TRUE(window->isHidden()) << "off the screen before any pause";
    EXPECT_TRUE(window->serialPort.IsOpen()) << "the shutdown comes afterwards";
    processEvents();
    EXPECT_FALSE(window->serialPort.IsOpen());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_TRUE(deviceIsFree());
    EXPECT_EQ(openDescriptors(), descriptors) << "nothing of the port is left open";
}

}  // namespace
}  // namespace varno::testing
