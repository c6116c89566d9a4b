// The main window's handlers that drive the chart: limits, X synchronisation,
// trigger level and legend reset; and what the chart reads from the window.

#include <QAbstractButton>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <string>

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "decode/conversions.h"
#include "ui/alerts.h"

namespace varno::app {

namespace {

const QString kFramesAxis = QString::fromUtf8("Trames reçues");

// A limit as the edits give it: unsigned decimal, lenient, taken as signed.
std::int32_t readLimit(const std::string& text)
{
    return static_cast<std::int32_t>(decode::lenientToUInt32(text, 10));
}

}  // namespace

void CVARNODlg::OnApplyLimits()
{
    UpdateData(true);
    plotMin = readLimit(plotMinText);
    plotMax = readLimit(plotMaxText);
    // Each check sees what the one before left, so one click may show two messages.
    if (plotMin < 0) {
        ui::alert(this, QString::fromUtf8("La limite inférieure doit être supérieure à 0."));
        plotMin = 0;
        plotMinText = std::to_string(plotMin);
    }
    if (plotMax > 255) {
        ui::alert(this, QString::fromUtf8("La limite supérieure doit être inférieure à 255."));
        plotMax = 255;
        plotMaxText = std::to_string(plotMax);
    }
    if (plotMin >= plotMax) {
        ui::alert(this, QString::fromUtf8("La limite supérieure doit être supérieure à la la limite inférieure."));
        plotMin = 120;
        plotMinText = std::to_string(plotMin);
        plotMax = 180;
        plotMaxText = std::to_string(plotMax);
    }
    // The trigger returns to the upper limit.
    triggerSlider->setRange(plotMin, plotMax);
    triggerSlider->setValue(plotMax);
    UpdateData(false);
    chart->SetLimits(plotMin, plotMax, 1);
}

void CVARNODlg::OnToggleXSync()
{
    UpdateData(true);  // the button has already toggled
    if (xSyncOn == 0) {
        StopXSyncTimer();
        chart->SetXAxisText(kFramesAxis);
        UpdateData(false);
        return;
    }
    if (button(idc::XSync100ms)->isChecked()) {
        chart->SetXAxisText(QStringLiteral("Temp (x100msec)"));
        xSyncPeriodMs = 100;
    } else {
        chart->SetXAxisText(QStringLiteral("Temp (x1sec)"));
        xSyncPeriodMs = 1000;
    }
    // Starting the timer again replaces a running one rather than adding a second.
    StopXSyncTimer();
    xSyncTimerId = startTimer(xSyncPeriodMs);
    UpdateData(false);
}

void CVARNODlg::OnXSyncPeriodChoice()
{
    // The new period takes effect when "Activer" is pressed again.
    StopXSync();
}

void CVARNODlg::OnXSyncTick(int timerId)
{
    if (timerId == 0 || timerId != xSyncTimerId)
        return;
    StopXSyncTimer();
    // An empty step: the value lies below the plot, so no dot shows.
    chart->AddGap(static_cast<double>(std::int64_t{plotMin} - 50));
    if (xSyncOn == 1)
        xSyncTimerId = startTimer(xSyncPeriodMs);
}

void CVARNODlg::OnTriggerReleased()
{
    chart->Rebuild();
}

void CVARNODlg::OnResetChart()
{
    ResetLegend();
    chart->Rebuild();
}

void CVARNODlg::StopXSync()
{
    StopXSyncTimer();
    chart->SetXAxisText(kFramesAxis);
    // Directly, without the data exchange: xSyncOn follows at the next one.
    xSyncButton->setChecked(false);
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

int CVARNODlg::legendCount() const
{
    return std::clamp(legendSlotCount, 0, decode::kLegendSlots);
}

std::string_view CVARNODlg::legendId(int slot) const
{
    if (slot < 0 || slot >= decode::kLegendSlots)
        return {};
    return legendIds[static_cast<std::size_t>(slot)];
}

std::uint32_t CVARNODlg::legendColour(int slot) const
{
    if (slot < 0 || slot >= decode::kLegendSlots)
        return legendColours[decode::kNoSlotColourIndex];
    return legendColours[static_cast<std::size_t>(slot)];
}

}  // namespace varno::app
