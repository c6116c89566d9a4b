// The "Log Texte (Brut)" switch between the decoded fields and the text view.

#include <QCheckBox>
#include <QPushButton>

#include "app/main_window.h"

namespace varno::app {

void CVARNODlg::OnRawTextClicked()
{
    setRawTextMode(rawTextButton->isChecked());
}

void CVARNODlg::setRawTextMode(bool on)
{
    // The X-sync switch goes out of reach with the panel: stop it first, in
    // either direction.
    if (xSyncOn == 1) {
        xSyncButton->setChecked(false);
        xSyncOn = 0;
        OnToggleXSync();
    }
    for (int id : kPanelControls)
        control(id)->setVisible(!on);
    control(idc::TextView)->setVisible(on);
}

}  // namespace varno::app
