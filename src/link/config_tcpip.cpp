#include "link/config_tcpip.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/ip_address_edit.h"
#include "link/tcp_settings.h"
#include "ui/alerts.h"
#include "ui/dialog_units.h"
#include "ui/qt_text.h"

namespace varno::link {

namespace {

void place(QWidget* w, int x, int y, int width, int height)
{
    const ui::PixelRect r = ui::dluRect(x, y, width, height);
    w->setGeometry(r.x, r.y, r.width, r.height);
}

}  // namespace

CConfigTCPIP::CConfigTCPIP(QWidget* ownerWindow)
    : QDialog(ownerWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Configuration TCP/IP"));
    setFixedSize(ui::dluToPixelsX(186), ui::dluToPixelsY(66));

    auto* hostLabel = new QLabel(QString::fromUtf8("Adresse hôte:"), this);
    place(hostLabel, 7, 10, 60, 8);
    addressControl = new IpAddressEdit(this);
    addressControl->setObjectName(QStringLiteral("idc_1028"));
    place(addressControl, 70, 7, 100, 14);

    auto* portLabel = new QLabel(QString::fromUtf8("Numéro de port:"), this);
    place(portLabel, 7, 28, 60, 8);
    portEdit = new QLineEdit(this);
    portEdit->setObjectName(QStringLiteral("idc_1029"));
    place(portEdit, 70, 25, 50, 14);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    place(ok, 75, 45, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    place(cancel, 129, 45, 50, 14);
    connect(ok, &QPushButton::clicked, this, &CConfigTCPIP::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int CConfigTCPIP::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void CConfigTCPIP::OnInitDialog()
{
    portEdit->setText(QString::number(port));
    if (hostAddress != 0)
        addressControl->setAddress(hostAddress);
    else
        addressControl->clear();
}

void CConfigTCPIP::OnOK()
{
    hostAddress = addressControl->isBlank() ? 0 : addressControl->address();
    std::uint32_t value = 0;
    switch (checkPortText(ui::toCp1252(portEdit->text()), value)) {
    case PortTextCheck::NotAPositiveInteger:
        ui::alert(this, QStringLiteral("Please enter a positive integer."));
        portEdit->setFocus();
        portEdit->selectAll();
        return;
    case PortTextCheck::OutOfRange:
        ui::alert(this, QStringLiteral("Please enter an integer between %1 and %2.").arg(0).arg(kMaxPort));
        portEdit->setFocus();
        portEdit->selectAll();
        return;
    case PortTextCheck::Ok:
        break;
    }
    port = value;
    accept();
}

}  // namespace varno::link
