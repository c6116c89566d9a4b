#pragma once
// The line along the bottom of the main window: the link's state and figures
// on the left, the log file's full path on the right. Each text is set only
// when it changes; a path too long for its place is shortened in the middle,
// and shown whole in its tool-tip.

#include <QStatusBar>
#include <QString>

class QLabel;

namespace varno::ui {

class StatusLine final : public QStatusBar {
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent);

    void setLinkText(const QString& text);
    // The log file's full path; empty while not logging.
    void setLogPath(const QString& path);

    QString linkText() const;
    QString logPath() const { return m_logPath; }
    // What the path's label shows, shortened or not.
    QString shownLogText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void showLogPath();

    QLabel* m_link;
    QLabel* m_log;
    QString m_logPath;
};

}  // namespace varno::ui
