// The "Port Série" group: port and baud lists, and the "Ouvrir" button.

#include <QComboBox>

#include "app/main_window.h"

namespace varno::app {

void CVARNODlg::FillPortList()
{
    portCombo->clear();
    portCombo->addItem(QStringLiteral("TCP/IP"));
    if (portCombo->currentIndex() < 0)
        portCombo->setCurrentIndex(0);
    UpdateLinkControls();
}

void CVARNODlg::UpdateLinkControls() {}
void CVARNODlg::OnPortSelected() {}
void CVARNODlg::OnBaudSelected() {}
void CVARNODlg::OnOpenButton() {}

}  // namespace varno::app
