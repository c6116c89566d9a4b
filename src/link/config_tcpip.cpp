#include "link/config_tcpip.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/ip_address_edit.h"
#include "link/tcp_settings.h"
#include "ui/alerts.h"
#include "ui/dialog_units.h"
#include "ui/placement.h"
#include "ui/qt_text.h"

namespace varno::link {

using ui::place;

CConfigTCPIP::CConfigTCPIP(QWidget* ownerWindow)
    : QDialog(ownerWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Configuration TCP/IP"));
    setFixedSize(ui::dluToPixelsX(186), ui::dluToPixelsY(66));

    // The fields start a little further right than the template had them:
    // "Numéro de port:" needs the room in our faces.
    auto* hostLabel = new QLabel(QString::fromUtf8("Adresse hôte:"), this);
    ui::placeLabel(hostLabel, 7, 10, 60, 8);
    addressControl = new IpAddressEdit(this);
    addressControl->setObjectName(QStringLiteral("idc_1028"));
    place(addressControl, 76, 7, 100, 14);

    auto* portLabel = new QLabel(QString::fromUtf8("Numéro de port:"), this);
    ui::placeLabel(portLabel, 7, 28, 60, 8);
    portEdit = new QLineEdit(this);
    portEdit->setObjectName(QStringLiteral("idc_1029"));
    place(portEdit, 76, 25, 50, 14);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    place(ok, 75, 45, 50, 14);
    // Qt's own word for it, in the language of its translation.
    auto* cancel = new QPushButton(QCoreApplication::translate("QPlatformTheme", "Cancel").remove(QLatin1Char('&')), this);
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
        ui::alert(this, QStringLiteral("Entrez un entier positif."));
        portEdit->setFocus();
        portEdit->selectAll();
        return;
    case PortTextCheck::OutOfRange:
        ui::alert(this, QStringLiteral("Entrez un entier compris entre %1 et %2.").arg(0).arg(kMaxPort));
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
