// The "Log Texte (Brut)" switch between the decoded fields and the text view.

#include <QCheckBox>

#include "app/main_window.h"

namespace varno::app {

void CVARNODlg::OnRawTextClicked()
{
    setRawTextMode(rawTextButton->isChecked());
}

void CVARNODlg::setRawTextMode(bool on)
{
    for (int id : kPanelControls)
        control(id)->setVisible(!on);
    control(idc::TextView)->setVisible(on);
}

}  // namespace varno::app
