#pragma once
// The main window under a fault: message boxes recorded with the moment they
// were asked for, the log written into a scratch folder by a hand-set clock,
// and the frames the window handled read back from that log.

#include <QAbstractButton>
#include <QComboBox>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "frame_tally.h"
#include "process_figures.h"
#include "support/loopback_server.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "support/window_fixture.h"
#include "ui/alerts.h"

namespace varno::testing {

class TimedAlerts final : public ui::Alerts {
public:
    struct Shown {
        QString text;
        Clock::time_point at;
    };
    void show(QWidget*, const QString& text, const QString&, ui::AlertIcon) override
    {
        shown.push_back({text, Clock::now()});
    }
    QStringList texts() const
    {
        QStringList list;
        for (const Shown& s : shown)
            list << s.text;
        return list;
    }
    std::vector<Shown> shown;
};

// What a log file holds: its complete lines (CR LF taken off) and the bytes
// after the last CR LF, which are a half line.
struct LogContents {
    std::vector<std::string> lines;
    std::string tail;
};

inline LogContents readLog(const std::string& path)
{
    const std::string bytes = readBytes(path);
    LogContents contents;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        contents.lines.push_back(bytes.substr(start, end - start));
    contents.tail = bytes.substr(start);
    return contents;
}

class FaultWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_FALSE(dir.path().empty());
        ui::setAlerts(&timedAlerts);
        clock.set(2026, 12, 8, 10, 0, 0);
        window->clock = &clock;
        std::filesystem::create_directories(logDir());
        window->workingDirectory = logDir();
        // No serial port unless a test adds one: "TCP/IP" is the only item.
        useTree();
    }

    void useTree()
    {
        window->portRoots = {tree.sysfs.string(), tree.dev.string()};
        window->portCombo->setEditText(QString());
        window->FillPortList();
    }

    // Settings as if confirmed in the TCP/IP dialog.
    void selectServer(std::uint16_t port)
    {
        window->portCombo->setCurrentIndex(window->portCombo->findText("TCP/IP"));
        window->tcpSelected = true;
        window->tcpHostAddress = LoopbackServer::kHost;
        window->tcpPort = port;
        window->UpdateLinkControls();
    }
    // A serial port of the list whose node leads to `pty`, selected.
    void selectSerial(const PtyPair& pty)
    {
        tree.addLinkTo("ttyUSB0", pty.path);
        useTree();
        window->portCombo->setCurrentIndex(
            window->portCombo->findText(QString::fromStdString((tree.dev / "ttyUSB0").string())));
        window->tcpSelected = false;
        window->UpdateLinkControls();
    }

    std::string logDir() const { return dir.file("logs"); }

    void clickOpen() { window->button(app::idc::Open)->click(); }
    void clickLog() { window->button(app::idc::Log)->click(); }

    // Handles events until `condition` holds; false when time ran out first.
    template <typename Condition>
    bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto end = Clock::now() + timeout;
        for (;;) {
            processEvents();
            if (condition())
                return true;
            if (Clock::now() > end)
                return false;
            QThread::usleep(500);
        }
    }
    // Handles events for `span`, whatever comes.
    void keepServing(std::chrono::milliseconds span)
    {
        waitUntil([] { return false; }, span);
    }

    // The numbered frames the window wrote to its log, counted in order; a line
    // that is not the next numbered frame counts as out of order.
    struct Logged {
        std::size_t frames = 0;
        std::size_t outOfOrder = 0;
    };
    Logged loggedFrames(const std::string& path) const
    {
        Logged logged;
        const LogContents log = readLog(path);
        for (std::size_t i = 1; i < log.lines.size(); ++i) {
            const std::string expected = numberedFrame(static_cast<unsigned>(logged.frames)).substr(0, 14);
            if (log.lines[i].rfind(expected + ";", 0) == 0)
                ++logged.frames;
            else
                ++logged.outOfOrder;
        }
        return logged;
    }

    TempDir dir;
    FakePortTree tree{dir.path() + "/ports"};
    TestClock clock;
    TimedAlerts timedAlerts;
};

}  // namespace varno::testing
