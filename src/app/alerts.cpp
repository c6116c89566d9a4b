#include "app/alerts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <atomic>

namespace varno::app {

namespace {

class MessageBoxAlerts final : public Alerts {
public:
    void show(QWidget* owner, const QString& text, const QString& caption, AlertIcon icon) override
    {
        QMessageBox box(icon == AlertIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                        caption, text, QMessageBox::Ok, owner);
        box.exec();
    }
};

MessageBoxAlerts g_messageBoxes;
std::atomic<Alerts*> g_alerts{&g_messageBoxes};

}  // namespace

void setAlerts(Alerts* alerts)
{
    g_alerts.store(alerts != nullptr ? alerts : &g_messageBoxes);
}

QString applicationName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void alert(QWidget* owner, const QString& text, const QString& caption, AlertIcon icon)
{
    auto* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    if (QThread::currentThread() == app->thread()) {
        g_alerts.load()->show(owner, text, caption, icon);
        return;
    }
    QPointer<QWidget> guardedOwner(owner);
    QMetaObject::invokeMethod(
        app, [&] { g_alerts.load()->show(guardedOwner.data(), text, caption, icon); },
        Qt::BlockingQueuedConnection);
}

}  // namespace varno::app
