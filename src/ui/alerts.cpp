#include "ui/alerts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <atomic>
#include <future>

#include "ui/frames_waiting.h"

namespace varno::ui {

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

// A box asked for by another thread, carried to the GUI thread as an event.
class AlertRequest final : public QEvent {
public:
    static QEvent::Type type()
    {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    AlertRequest(QWidget* owner, QString text, QString caption, AlertIcon icon)
        : QEvent(type()), owner(owner), text(std::move(text)), caption(std::move(caption)), icon(icon)
    {
    }

    QWidget* const owner;
    const QString text;
    const QString caption;
    const AlertIcon icon;
    std::promise<void> dismissed;
};

// Lives on the GUI thread and shows the boxes other threads ask for.
class AlertRelay final : public QObject {
public:
    bool event(QEvent* e) override
    {
        acquireHandover(e);
        if (e->type() != AlertRequest::type())
            return QObject::event(e);
        auto* request = static_cast<AlertRequest*>(e);
        g_alerts.load()->show(request->owner, request->text, request->caption, request->icon);
        request->dismissed.set_value();
        return true;
    }
};

AlertRelay* relay(QCoreApplication* app)
{
    static AlertRelay* const instance = [app] {
        auto* r = new AlertRelay;
        r->moveToThread(app->thread());
        return r;
    }();
    return instance;
}

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
    // The owner must outlive the wait: the window joins the threads that raise
    // messages before it goes away.
    auto* request = new AlertRequest(owner, text, caption, icon);
    std::future<void> dismissed = request->dismissed.get_future();
    releaseHandover(request);
    QCoreApplication::postEvent(relay(app), request);
    dismissed.wait();
}

}  // namespace varno::ui
