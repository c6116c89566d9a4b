#include "ui/log_categories.h"

#include <system_error>

namespace varno::ui {

// Info and debug messages are off unless the rules turn them on.
Q_LOGGING_CATEGORY(lcLink, "varno.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDecode, "varno.decode", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLog, "varno.log", QtWarningMsg)
Q_LOGGING_CATEGORY(lcChart, "varno.chart", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "varno.app", QtWarningMsg)

QString errnoText(int error)
{
    return QStringLiteral("errno %1 (%2)").arg(error).arg(QString::fromStdString(std::generic_category().message(error)));
}

}  // namespace varno::ui
