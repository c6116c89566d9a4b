// The main window's side of the CSV log: the "Enregister" button, the day
// check and the recording of each frame.

#include <QAbstractButton>
#include <QLineEdit>
#include <optional>
#include <utility>

#include "app/main_window.h"
#include "log/frame_log.h"
#include "log/log_file.h"
#include "log/log_lines.h"
#include "ui/alerts.h"
#include "ui/log_categories.h"
#include "ui/qt_text.h"

namespace varno::app {

namespace {

const QString kLogCaption = QStringLiteral("KAVRO Log Master");

// Shows the log's own state on its two controls at once. Only these two: a
// full exchange would also undo what the operator changed since the last one
// on controls that have no handler of their own.
void showLogState(CVARNODlg& window)
{
    window.UpdateData(false, idc::Log);
    window.UpdateData(false, idc::LogFileName);
    window.showLogPath();
}

void closeLogFile(CVARNODlg& window)
{
    window.logFile.close();
    window.logFileOpen = 0;
    window.loggingOn = 0;
    window.logFileNameField.clear();
}

// A line that did not reach the file stops logging and says so once. The
// state is shown released before the box: frames handled while the box is up
// must find logging off.
void stopAfterWriteFailure(CVARNODlg& window)
{
    qCInfo(ui::lcLog).noquote() << "cannot write to" << QString::fromStdString(window.logFilePath) << ":"
                                << ui::errnoText(window.logFile.lastErrno());
    const std::string message = log::failureMessage(log::kWriteFailedText, window.logFilePath,
                                                    window.logFile.lastResult(), window.logFile.lastErrno());
    closeLogFile(window);
    showLogState(window);
    ui::alert(&window, QString::fromStdString(message), kLogCaption, ui::AlertIcon::None);
}

// Steps the time state, then writes the caller's line (or the raw line in raw
// text mode) while logging, then echoes the frame in raw text mode. Every time
// column comes from the frame's arrival time, one reading of the clock taken
// when its bytes were read: not the time the window gets round to it.
template <class MakeLine>
void recordLine(CVARNODlg& window, const std::string& frame, MakeLine makeLine)
{
    const log::Clock& clock = *window.clock;
    const log::ClockReading at = window.frameArrivalTime;
    const log::TimeColumns times = window.frameTimes.step(at);
    const bool raw = window.rawTextMode();
    if (window.loggingOn == 1) {
        const std::string line = raw ? log::rawFrameLine(clock, at, frame) : makeLine(clock, at, times);
        if (window.logFile.append(line) != log::LogResult::Ok)
            stopAfterWriteFailure(window);
    }
    if (raw)
        window.EchoFrame(at.seconds, frame);
}

}  // namespace

void CVARNODlg::OnLogButton()
{
    UpdateData(true);
    if (loggingOn == 0) {
        if (logFileOpen == 1)
            closeLogFile(*this);
    } else {
        OpenLogFile();
    }
    UpdateData(false);
    showLogPath();
}

void CVARNODlg::OpenLogFile()
{
    const std::int64_t now = clock->nowSeconds();
    logFileNameField = log::logFileName(*clock, now);
    logFilePath = workingDirectory + "/" + logFileNameField;
    logFileOpen = logFile.open(logFilePath) == log::LogResult::Ok ? 1 : 0;
    if (logFileOpen == 0) {
        qCInfo(ui::lcLog).noquote() << "cannot open" << QString::fromStdString(logFilePath) << ":"
                                    << ui::errnoText(logFile.lastErrno());
        loggingOn = 0;
        logFileNameField.clear();
        showLogState(*this);
        ui::alert(this,
                  QString::fromStdString(log::failureMessage(log::kOpenFailedText, logFilePath, logFile.lastResult(),
                                                             logFile.lastErrno())),
                  kLogCaption, ui::AlertIcon::None);
        return;
    }
    if (logFile.append(log::kLogHeader) != log::LogResult::Ok) {
        stopAfterWriteFailure(*this);
        return;
    }
    loggingOn = 1;
    logFileOpenTime = now;
    // The day check compares with the day of the file just opened; an older
    // date would renew it at the next frame.
    currentDate = log::formatLocalTime(*clock, now, log::kDayFormat);
}

void CVARNODlg::CheckLogDay()
{
    if (loggingOn != 1 || !dailyRenewal)
        return;
    // The day of the frame's arrival, not of its handling: a frame that came
    // before midnight and is handled after it belongs to the old day's file.
    std::optional<std::string> arrivalDate =
        log::newLogDay(*clock, frameArrivalTime.seconds, currentDate, logFileOpenTime);
    if (!arrivalDate)
        return;
    lastDateCheckTime = frameArrivalTime.seconds;
    previousDate = std::exchange(currentDate, std::move(*arrivalDate));

    if (logFileOpen == 1)
        closeLogFile(*this);
    OpenLogFile();
    // Before the frame handler's exchange from the controls: the button must
    // tell whether logging goes on, and the field the new file's name.
    showLogState(*this);
}

void CVARNODlg::RecordFrame(const std::string& frame, const decode::ReaderFields& fields)
{
    recordLine(*this, frame, [&](const log::Clock& clock, log::ClockReading at, const log::TimeColumns& times) {
        return log::readerFrameLine(clock, at, times, frame, fields);
    });
}

void CVARNODlg::RecordFrame(const std::string& frame, const decode::DebugFields& fields)
{
    recordLine(*this, frame, [&](const log::Clock& clock, log::ClockReading at, const log::TimeColumns& times) {
        return log::debugFrameLine(clock, at, times, frame, fields);
    });
}

}  // namespace varno::app
