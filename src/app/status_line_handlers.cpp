// The status line along the bottom of the main window: the link's state and
// figures, told by the connection handlers and composed by link::LinkStatus,
// and the log file's full path.

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include "app/main_window.h"
#include "link/tcp_link.h"
#include "ui/dialog_units.h"
#include "ui/frames_waiting.h"
#include "ui/status_line.h"

namespace varno::app {

void CVARNODlg::buildStatusLine()
{
    statusLine = new ui::StatusLine(this);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    const int height = statusLine->sizeHint().height();
    statusLine->setGeometry(0, ui::dluToPixelsY(307), ui::dluToPixelsX(382), height);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setInterval(kStatusIntervalMs);
    connect(m_statusTimer, &QTimer::timeout, this, &CVARNODlg::refreshStatusLine);
    refreshStatusLine();
}

std::int64_t CVARNODlg::statusNowMs() const
{
    const log::ClockReading now = clock->nowMillis();
    return now.seconds * 1000 + now.milliseconds;
}

void CVARNODlg::refreshStatusLine()
{
    statusLine->setLinkText(QString::fromStdString(linkStatus.text(statusNowMs())));
    m_sinceStatus.start();
    // While frames come, their own wake-ups refresh the line (refreshStatusLineIfDue):
    // the timer, pushed back each time, only fires once they stop.
    if (m_statusTimer->isActive())
        m_statusTimer->start();
}

void CVARNODlg::refreshStatusLineIfDue()
{
    if (m_statusTimer->isActive() && m_sinceStatus.isValid() && m_sinceStatus.elapsed() >= kStatusIntervalMs)
        refreshStatusLine();
}

void CVARNODlg::showSerialOpened(const std::string& device, std::uint32_t baudRate)
{
    linkStatus.serialOpened(device, baudRate, statusNowMs());
    m_statusTimer->start();
    refreshStatusLine();
}

void CVARNODlg::showTcpConnected()
{
    linkStatus.tcpConnected(link::FormatHostAddress(tcpHostAddress) + ":" + std::to_string(tcpPort), statusNowMs());
    m_statusTimer->start();
    refreshStatusLine();
}

void CVARNODlg::showLinkClosed()
{
    linkStatus.closed();
    m_statusTimer->stop();
    refreshStatusLine();
}

void CVARNODlg::showLinkLost()
{
    linkStatus.lost();
    m_statusTimer->stop();
    refreshStatusLine();
}

void CVARNODlg::showLogPath()
{
    // Paths are file names: bytes in the locale's encoding.
    const QString path = logFileOpen == 1 ? QFile::decodeName(QByteArray::fromStdString(logFilePath)) : QString();
    edit(idc::LogFileName)->setToolTip(path);
    statusLine->setLogPath(path);
}

}  // namespace varno::app
