// The main window's handlers that drive the chart: limits, X synchronisation,
// trigger level and legend reset.

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"

namespace varno::app {

void CVARNODlg::OnApplyLimits() {}
void CVARNODlg::OnToggleXSync() {}
void CVARNODlg::OnXSyncPeriodChoice() {}
void CVARNODlg::OnTriggerReleased() {}
void CVARNODlg::OnResetChart() {}
void CVARNODlg::StopXSync() { StopXSyncTimer(); }

void CVARNODlg::OnXSyncTick(int timerId)
{
    (void)timerId;
}

void CVARNODlg::StopXSyncTimer()
{
    if (xSyncTimerId != 0) {
        killTimer(xSyncTimerId);
        xSyncTimerId = 0;
    }
}

void CVARNODlg::RestartXSyncTimer()
{
    StopXSyncTimer();
    if (xSyncOn == 1)
        xSyncTimerId = startTimer(xSyncPeriodMs);
}

}  // namespace varno::app
