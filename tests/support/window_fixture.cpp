#include "support/window_fixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QLineEdit>

#include "link/pause.h"
#include "ui/qt_text.h"

namespace varno::testing {

void RecordingAlerts::show(QWidget*, const QString& text, const QString& caption, ui::AlertIcon icon)
{
    shown.push_back({text, caption, icon});
}

QStringList RecordingAlerts::texts() const
{
    QStringList list;
    for (const auto& a : shown)
        list << a.text;
    return list;
}

void WindowTest::SetUp()
{
    link::setPauseScale(0);
    ui::setAlerts(&alerts);
    window = std::make_unique<app::CVARNODlg>();
    window->show();
    processEvents();
}

void WindowTest::TearDown()
{
    window.reset();
    processEvents();
    ui::setAlerts(nullptr);
    link::setPauseScale(1);
}

void WindowTest::postFrame(int kind, const std::string& text)
{
    auto event = std::make_unique<link::FrameEvent>();
    event->text = text;
    event->arrivalTime = window->clock->nowMillis();
    window->frameHandOver->push(kind, std::move(event));
    window->frameHandOver->flush();
    processEvents();
}

void WindowTest::processEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

bool WindowTest::waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        processEvents();
        if (condition())
            return true;
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(2);
    }
}

void WindowTest::clickOpen()
{
    window->button(app::idc::Open)->click();
    processEvents();
}

std::string WindowTest::fieldText(int id) const
{
    // What the field shows once the window has painted.
    window->showFields();
    return ui::toCp1252(window->edit(id)->text());
}

}  // namespace varno::testing
