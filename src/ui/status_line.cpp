#include "ui/status_line.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>

namespace varno::ui {

namespace {

const QString kLogPrefix = QStringLiteral("Log : ");

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), m_link(new QLabel(this)), m_log(new QLabel(this))
{
    // The window has a fixed size: nothing to grip.
    setSizeGripEnabled(false);
    for (QLabel* label : {m_link, m_log}) {
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setContentsMargins(2, 0, 3, 0);  // clear of the frames the line draws around them
    }
    m_log->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The link's text keeps the width it needs; the path takes what is left,
    // shortened to fit whenever that changes.
    m_log->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_log->installEventFilter(this);
    addWidget(m_link, 0);
    addWidget(m_log, 1);
}

void StatusLine::setLinkText(const QString& text)
{
    if (m_link->text() != text)
        m_link->setText(text);
}

QString StatusLine::linkText() const
{
    return m_link->text();
}

void StatusLine::setLogPath(const QString& path)
{
    if (path == m_logPath)
        return;
    m_logPath = path;
    m_log->setToolTip(path);
    showLogPath();
}

QString StatusLine::shownLogText() const
{
    return m_log->text();
}

bool StatusLine::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_log && e->type() == QEvent::Resize)
        showLogPath();
    return QStatusBar::eventFilter(watched, e);
}

void StatusLine::showLogPath()
{
    if (m_logPath.isEmpty()) {
        m_log->clear();
        return;
    }
    const QFontMetrics metrics = m_log->fontMetrics();
    const int width = std::max(0, m_log->contentsRect().width() - metrics.horizontalAdvance(kLogPrefix));
    // The folder gives way first: the file's name is the part that changes.
    const qsizetype slash = m_logPath.lastIndexOf(QLatin1Char('/'));
    const QString name = m_logPath.mid(slash + 1);
    const int folderWidth = width - metrics.horizontalAdvance(QLatin1Char('/') + name);
    QString shown;
    if (metrics.horizontalAdvance(m_logPath) <= width || slash < 0 || folderWidth < metrics.horizontalAdvance(QStringLiteral("/…")))
        shown = metrics.elidedText(m_logPath, Qt::ElideMiddle, width);
    else
        shown = metrics.elidedText(m_logPath.left(slash), Qt::ElideMiddle, folderWidth) + QLatin1Char('/') + name;
    m_log->setText(kLogPrefix + shown);
}

}  // namespace varno::ui
