#pragma once
// The program's diagnostic channels, one per subsystem, silent by default:
// the operator sees message boxes, not a log of diagnostics. Turn them on with
// QT_LOGGING_RULES, for example QT_LOGGING_RULES="varno.*=true".

#include <QLoggingCategory>

namespace varno::ui {

Q_DECLARE_LOGGING_CATEGORY(lcLink)    // varno.link: links opened, closed, lost
Q_DECLARE_LOGGING_CATEGORY(lcDecode)  // varno.decode
Q_DECLARE_LOGGING_CATEGORY(lcLog)     // varno.log: the log file's failures and their errno
Q_DECLARE_LOGGING_CATEGORY(lcChart)   // varno.chart
Q_DECLARE_LOGGING_CATEGORY(lcApp)     // varno.app: start-up and the window

// The system's text for an errno, for these channels.
QString errnoText(int error);

}  // namespace varno::ui
