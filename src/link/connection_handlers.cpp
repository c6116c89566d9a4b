// The "Port Série" group: port and baud lists, and the "Ouvrir" button.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <chrono>
#include <thread>

#include "app/main_window.h"
#include "link/config_tcpip.h"
#include "link/failure_text.h"
#include "link/pause.h"
#include "link/port_combo.h"
#include "link/port_list.h"
#include "ui/alerts.h"
#include "ui/frames_waiting.h"
#include "ui/log_categories.h"
#include "ui/qt_text.h"

namespace varno::app {

namespace {

// A line event notice (message 1067). The window has no handler for it: our
// listener raises none.
class CommPosted final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(link::WM_COMM_EVENT);

    CommPosted(std::uint32_t wParam, std::int32_t lParam) : QEvent(kType), wParam(wParam), lParam(lParam) {}

    const std::uint32_t wParam;
    const std::int32_t lParam;
};

// The port's notifications, posted to `window` from the listener thread.
link::NotifyTarget windowTarget(QObject* window, const std::shared_ptr<link::FrameHandOver>& handOver,
                                const log::Clock* clock, const link::CSerialMFC* port)
{
    return {link::handOverSink(handOver),
            [window](std::uint32_t wParam, std::int32_t lParam) {
                auto* notice = new CommPosted(wParam, lParam);
                ui::releaseHandover(notice);
                QCoreApplication::postEvent(window, notice);
            },
            handOver, [window, port](int error) { ui::postLinkLost(window, port, error); }, clock};
}

// A message of ours (Windows-1252 first line) with its cause (UTF-8) below.
QString withCause(const QString& first, const std::string& cause)
{
    return QString::fromUtf8(link::withCause(first.toStdString(), cause));
}

QString deviceText(const QByteArray& device)
{
    return QFile::decodeName(device);
}

}  // namespace

void CVARNODlg::FillPortList()
{
    // The text the box shows stays: the operator may have typed a path, and
    // the device the box names is the device "Ouvrir" opens.
    const QString shown = portCombo->currentText();
    const bool wasExchanging = m_exchanging;
    m_exchanging = true;
    portCombo->clear();
    // Device paths are file names: bytes in the locale's encoding.
    for (const std::string& item : link::portListItems(portRoots))
        portCombo->addItem(QFile::decodeName(QByteArray::fromStdString(item)));
    if (!shown.isEmpty()) {
        const int index = portCombo->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            portCombo->setCurrentIndex(index);
        else
            portCombo->setEditText(shown);
    } else if (portCombo->count() > 0) {
        portCombo->setCurrentIndex(0);
    }
    m_exchanging = wasExchanging;
    OnPortTextChanged();
    portCombo->showTextStart();
}

void CVARNODlg::UpdateLinkControls()
{
    if (linkOpen == 1) {
        baudCombo->setEnabled(false);
        portCombo->setEnabled(false);
    } else {
        portCombo->setEnabled(true);
        baudCombo->setEnabled(!tcpSelected);
    }
}

void CVARNODlg::OnPortTextChanged()
{
    // "TCP/IP" in the box means the TCP/IP link, whether chosen or typed.
    tcpSelected = ui::toCp1252(portCombo->currentText()) == link::kTcpIpItem;
    UpdateLinkControls();
}

void CVARNODlg::OnPortSelected()
{
    if (ui::toCp1252(portCombo->currentText()) == link::kTcpIpItem) {
        // Cancelling keeps the address and port in use.
        link::CConfigTCPIP settings(this);
        settings.hostAddress = tcpHostAddress;
        settings.port = tcpPort;
        if (settings.exec() == QDialog::Accepted) {
            tcpHostAddress = settings.hostAddress;
            tcpPort = settings.port;
        }
    }
    OnPortTextChanged();
    portCombo->showTextStart();
}

void CVARNODlg::OnBaudSelected()
{
    // The new rate applies at the next opening.
    StopXSyncTimer();
    UpdateData(true);
    linkOpen = 0;
    UpdateData(false);
    if (serialPort.IsOpen())
        serialPort.Close();
    link::pause(100);
    UpdateLinkControls();
    showLinkClosed();
}

void CVARNODlg::OnOpenButton()
{
    // The click has already toggled the button; `linkOpen` still tells what
    // the link was before it.
    if (linkOpen == 1) {
        StopXSyncTimer();
        UpdateData(true);
        linkOpen = 0;
        UpdateData(false);
        if (tcpLink != nullptr) {
            // The receiving thread wakes at once and shuts the connection down
            // itself; nothing touches the socket from here.
            tcpLink->requestStop();
            closingTcpLinks.push_back(std::move(tcpLink));
            link::pause(250);
        } else if (serialPort.IsOpen()) {
            button(idc::Open)->setEnabled(false);
            link::runPortShutdown(serialPort);
            button(idc::Open)->setEnabled(true);
        }
        link::pause(100);
        UpdateLinkControls();
        showLinkClosed();
        return;
    }

    // Exactly what the box shows: a listed device, a typed path, or "TCP/IP".
    const QString shown = portCombo->currentText();
    if (shown.isEmpty()) {
        ui::alert(this, QString::fromUtf8("Aucun port série sélectionné."));
        StopXSync();
        UpdateData(true);
        linkOpen = 0;
        UpdateData(false);
        UpdateLinkControls();
        return;
    }

    tcpSelected = ui::toCp1252(shown) == link::kTcpIpItem;
    if (tcpSelected) {
        OpenTcpLink();
        UpdateLinkControls();
        return;
    }

    const QByteArray device = QFile::encodeName(shown);
    UpdateData(true);
    const std::uint32_t baudRate = link::baudRateFromText(baudCombo->currentText().toStdString());
    if (const std::int32_t error = link::openPort(serialPort, device.constData(),
                                                  windowTarget(this, frameHandOver, clock, &serialPort), baudRate);
        error != link::kResultOk) {
        qCInfo(ui::lcLink).noquote() << "serial port" << deviceText(device) << "not opened:" << ui::errnoText(error);
        ui::alert(this, withCause(QString::fromUtf8("Erreur ouverture du port série."),
                                  link::serialOpenCause(device.toStdString(), error)));
        StopXSyncTimer();
        linkOpen = 0;
        UpdateData(false);
        UpdateLinkControls();
        return;
    }
    qCInfo(ui::lcLink).noquote() << "serial port" << deviceText(device) << "opened at" << baudRate << "baud";
    openSerialDevice = device.toStdString();
    linkOpen = 1;
    UpdateData(false);
    UpdateLinkControls();
    showSerialOpened(device.toStdString(), baudRate);
}

void CVARNODlg::OpenTcpLink()
{
    // Connections that have ended since the last click are let go of here.
    std::erase_if(closingTcpLinks, [](const auto& link) { return link->finished(); });

    QApplication::setOverrideCursor(Qt::WaitCursor);
    link::TcpOpenFailure failure;
    auto link = link::TcpConnection::open(tcpHostAddress, tcpPort, tcpConnectTimeoutMs, failure);
    QApplication::restoreOverrideCursor();

    if (link == nullptr) {
        qCInfo(ui::lcLink).noquote() << "no connection to" << QString::fromStdString(link::FormatHostAddress(tcpHostAddress))
                                     << "port" << tcpPort << "at step" << failure.step << "code" << failure.code;
        const std::string cause = link::tcpOpenCause(tcpHostAddress, tcpPort, failure, tcpConnectTimeoutMs);
        switch (failure.step) {
        case link::TcpOpenFailure::Resolve:
            ui::alert(this, withCause(QString::fromUtf8("Erreur sur l'adresse IP du hôte (getaddrinfo: %1).").arg(failure.code), cause));
            break;
        case link::TcpOpenFailure::Socket:
            ui::alert(this, withCause(QString::fromUtf8("Erreur lors de la création du socket: %1\n").arg(failure.code), cause));
            break;
        case link::TcpOpenFailure::Connect:
        case link::TcpOpenFailure::None:
            tcpSocket = -1;
            ui::alert(this, withCause(QString::fromUtf8("L'hôte ne répond pas. Vérifier son adresse: %1.")
                                          .arg(QString::fromStdString(link::FormatHostAddress(tcpHostAddress))),
                                      cause));
            break;
        }
        UpdateData(true);
        linkOpen = 0;
        UpdateData(false);
        return;
    }

    qCInfo(ui::lcLink).noquote() << "connected to" << QString::fromStdString(link::FormatHostAddress(tcpHostAddress))
                                 << "port" << tcpPort;
    tcpSocket = link->socketDescriptor();
    linkOpen = 1;  // the click has pressed the button already
    link::TcpConnection* connection = link.get();
    // The receiving thread's messages: its first after a loss says why, and
    // the window returns to the closed state as it comes.
    auto lossShown = std::make_shared<bool>(false);  // receiving thread only
    link->start(
        link::handOverSink(frameHandOver),
        [this, connection, lossShown, host = tcpHostAddress, port = tcpPort](const std::string& message) {
            const int lost = connection->lostError();
            const bool loss = lost >= 0 && !*lossShown;
            QString text = ui::fromCp1252(message);
            if (loss) {
                *lossShown = true;
                text = withCause(text, link::tcpLostCause(host, port, lost));
            }
            qCInfo(ui::lcLink).noquote() << "connection:" << text;
            if (loss)
                ui::postLinkLost(this, connection, lost);
            ui::alert(this, text);
        },
        frameHandOver, *clock);
    tcpLink = std::move(link);
    showTcpConnected();
    link::pause(250);
}

void CVARNODlg::OnLinkLost(const void* link, int error)
{
    const bool tcp = tcpLink != nullptr && link == tcpLink.get();
    // A serial listener that has ended by itself; one running again belongs
    // to a port opened since.
    const bool serial =
        link == &serialPort && serialPort.IsOpen() && serialPort.ListenerRecorded() && !serialPort.ListenerRunning();
    if (!tcp && !serial)
        return;  // a link closed since, or another one
    if (tcp) {
        // Its thread is already shutting the connection down.
        closingTcpLinks.push_back(std::move(tcpLink));
    } else {
        qCInfo(ui::lcLink).noquote() << "serial port" << QString::fromStdString(openSerialDevice)
                                     << "ended by itself:" << ui::errnoText(error);
        // The device is gone: nothing to purge or wait for.
        serialPort.Close();
    }
    StopXSyncTimer();
    UpdateData(true);
    linkOpen = 0;
    UpdateData(false);
    UpdateLinkControls();
    showLinkLost();
    // The TCP link's thread showed its message; the serial listener has none.
    if (serial)
        ui::alert(this, withCause(QString::fromUtf8("Le port série ne répond plus."),
                                  link::serialLostCause(openSerialDevice, error)));
}

void CVARNODlg::StopTcpLinks()
{
    if (tcpLink != nullptr) {
        tcpLink->requestStop();
        closingTcpLinks.push_back(std::move(tcpLink));
    }
    for (const auto& link : closingTcpLinks)
        link->requestStop();
    // A thread may be waiting for one of its messages to be dismissed: keep
    // serving events until every thread has ended.
    for (const auto& link : closingTcpLinks) {
        while (!link->finished()) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    closingTcpLinks.clear();
}

}  // namespace varno::app
