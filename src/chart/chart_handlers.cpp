// The main window's handlers that drive the chart: limits, X synchronisation,
// trigger level and legend reset; the chart's picture saved or copied; and
// what the chart reads from the window.

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cerrno>
#include <string>

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "decode/conversions.h"
#include "log/clock.h"
#include "sys/errno_text.h"
#include "ui/alerts.h"
#include "ui/log_categories.h"

namespace varno::app {

namespace {

const QString kFramesAxis = QString::fromUtf8("Trames reçues");

// A limit as the edits give it: unsigned decimal, lenient, taken as signed.
std::int32_t readLimit(const std::string& text)
{
    return static_cast<std::int32_t>(decode::lenientToUInt32(text, 10));
}

// Writes `bytes` as the whole of the file `path`: 0, or the errno of the step
// that failed. A file left half written is removed.
int writeWholeFile(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    const char* next = bytes.constData();
    qsizetype left = bytes.size();
    int error = 0;
    while (left > 0 && error == 0) {
        const ssize_t n = ::write(fd, next, static_cast<std::size_t>(left));
        if (n < 0 && errno != EINTR)
            error = errno;
        if (n > 0) {
            next += n;
            left -= n;
        }
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(path.constData());
    return error;
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

void CVARNODlg::OnChartContextMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(QString::fromUtf8("Enregistrer l'image…"), this, &CVARNODlg::OnSaveChartImage);
    menu.addAction(QStringLiteral("Copier l'image"), this, &CVARNODlg::OnCopyChartImage);
    menu.exec(chart->mapToGlobal(pos));
}

void CVARNODlg::OnSaveChartImage()
{
    // The chart as it was when asked for: it scrolls on while the dialog is up.
    const QImage picture = chart->composedImage().copy();
    const QString path = askChartImagePath(QFile::decodeName(QByteArray::fromStdString(chartImagePath())));
    if (!path.isEmpty())
        SaveChartImage(picture, path);
}

void CVARNODlg::OnCopyChartImage()
{
    QGuiApplication::clipboard()->setImage(chart->composedImage().copy());
}

std::string CVARNODlg::chartImagePath() const
{
    return workingDirectory + "/VARNO_" + log::formatLocalTime(*clock, clock->nowSeconds(), "%d%m%Y_%Hh%Mm%S") + ".png";
}

QString CVARNODlg::askChartImagePath(const QString& suggested)
{
    QFileDialog dialog(this, QString::fromUtf8("Enregistrer l'image"), suggested,
                       QString::fromUtf8("Images PNG (*.png)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool CVARNODlg::SaveChartImage(const QImage& picture, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const QString failed = QString::fromUtf8("Impossible d'enregistrer l'image.");
    if (picture.isNull() || !picture.save(&buffer, "PNG")) {
        ui::alert(this, failed);
        return false;
    }
    if (const int error = writeWholeFile(QFile::encodeName(path), png); error != 0) {
        qCInfo(ui::lcChart).noquote() << "cannot save the chart's picture as" << path << ":" << ui::errnoText(error);
        ui::alert(this, failed + QStringLiteral("\n%1 : %2").arg(path, QString::fromStdString(sys::errnoText(error))));
        return false;
    }
    return true;
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
