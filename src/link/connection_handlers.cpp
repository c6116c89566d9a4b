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
#include "link/pause.h"
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
                                const log::Clock* clock, const QByteArray& device)
{
    return {link::handOverSink(handOver),
            [window](std::uint32_t wParam, std::int32_t lParam) {
                auto* notice = new CommPosted(wParam, lParam);
                ui::releaseHandover(notice);
                QCoreApplication::postEvent(window, notice);
            },
            handOver,
            [device](int error) {
                qCInfo(ui::lcLink).noquote() << "serial port" << QFile::decodeName(device)
                                             << "ended by itself:" << ui::errnoText(error);
            },
            clock};
}

// The text of the selected item; typed text that selects no item is not used.
QString selectedItem(const QComboBox* combo)
{
    const int index = combo->currentIndex();
    return index < 0 ? QString() : combo->itemText(index);
}

}  // namespace

void CVARNODlg::FillPortList()
{
    portCombo->clear();
    // Device paths are file names: bytes in the locale's encoding.
    for (const std::string& item : link::portListItems(portRoots))
        portCombo->addItem(QFile::decodeName(QByteArray::fromStdString(item)));
    if (portCombo->currentIndex() < 0 && portCombo->count() > 0)
        portCombo->setCurrentIndex(0);
    UpdateLinkControls();
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

void CVARNODlg::OnPortSelected()
{
    if (ui::toCp1252(selectedItem(portCombo)) == link::kTcpIpItem) {
        link::CConfigTCPIP settings(this);
        settings.hostAddress = tcpHostAddress;
        settings.port = tcpPort;
        if (settings.exec() == QDialog::Accepted) {
            tcpHostAddress = settings.hostAddress;
            tcpPort = settings.port;
            tcpSelected = true;
        }
    } else {
        tcpSelected = false;
    }
    UpdateLinkControls();
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
        if (tcpSelected) {
            // The receiving thread wakes at once and shuts the connection down
            // itself; nothing touches the socket from here.
            if (tcpLink != nullptr) {
                tcpLink->requestStop();
                closingTcpLinks.push_back(std::move(tcpLink));
            }
            link::pause(250);
        } else if (serialPort.IsOpen()) {
            button(idc::Open)->setEnabled(false);
            link::runPortShutdown(serialPort);
            button(idc::Open)->setEnabled(true);
        }
        link::pause(100);
        UpdateLinkControls();
        return;
    }

    if (portCombo->currentIndex() < 0) {
        ui::alert(this, QString::fromUtf8("Aucun port série sélectionné."));
        StopXSync();
        UpdateData(true);
        linkOpen = 0;
        UpdateData(false);
        UpdateLinkControls();
        return;
    }

    if (tcpSelected) {
        OpenTcpLink();
        UpdateLinkControls();
        return;
    }

    const QByteArray device = QFile::encodeName(selectedItem(portCombo));
    UpdateData(true);
    const std::uint32_t baudRate = link::baudRateFromText(selectedItem(baudCombo).toStdString());
    if (const std::int32_t error = link::openPort(serialPort, device.constData(), windowTarget(this, frameHandOver, clock, device), baudRate);
        error != link::kResultOk) {
        qCInfo(ui::lcLink).noquote() << "serial port" << QFile::decodeName(device)
                                     << "not opened:" << ui::errnoText(error);
        ui::alert(this, QString::fromUtf8("Erreur ouverture du port série."));
        StopXSyncTimer();
        linkOpen = 0;
        UpdateData(false);
        UpdateLinkControls();
        return;
    }
    qCInfo(ui::lcLink).noquote() << "serial port" << QFile::decodeName(device) << "opened at" << baudRate << "baud";
    linkOpen = 1;
    UpdateData(false);
    UpdateLinkControls();
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
        switch (failure.step) {
        case link::TcpOpenFailure::Resolve:
            ui::alert(this, QString::fromUtf8("Erreur sur l'adresse IP du hôte (getaddrinfo: %1).").arg(failure.code));
            break;
        case link::TcpOpenFailure::Socket:
            ui::alert(this, QString::fromUtf8("Erreur lors de la création du socket: %1\n").arg(failure.code));
            break;
        case link::TcpOpenFailure::Connect:
        case link::TcpOpenFailure::None:
            tcpSocket = -1;
            ui::alert(this, QString::fromUtf8("L'hôte ne répond pas. Vérifier son adresse: %1.")
                            .arg(QString::fromStdString(link::FormatHostAddress(tcpHostAddress))));
            break;
        }
        UpdateData(true);
        linkOpen = 0;
        UpdateData(false);
        return;
    }

    tcpSocket = link->socketDescriptor();
    linkOpen = 1;  // the click has pressed the button already
    qCInfo(ui::lcLink).noquote() << "connected to" << QString::fromStdString(link::FormatHostAddress(tcpHostAddress))
                                 << "port" << tcpPort;
    link->start(
        link::handOverSink(frameHandOver),
        [this](const std::string& message) {
            // A loss of the connection, or a failure of its shutdown.
            qCInfo(ui::lcLink).noquote() << "connection:" << ui::fromCp1252(message).trimmed();
            ui::alert(this, ui::fromCp1252(message));
        },
        frameHandOver, *clock);
    tcpLink = std::move(link);
    link::pause(250);
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
