#include "app/frame_posted.h"

#include <QCoreApplication>

namespace varno::app {

static_assert(link::WM_FRAME_EVENT >= QEvent::User && link::WM_FRAME_EVENT <= QEvent::MaxUser);

void postFrame(QObject* receiver, int kind, std::unique_ptr<link::FrameEvent> event)
{
    QCoreApplication::postEvent(receiver, new FramePosted(kind, std::move(event)));
}

link::FrameSink postingSink(QObject* receiver)
{
    return [receiver](int kind, std::unique_ptr<link::FrameEvent> event) {
        postFrame(receiver, kind, std::move(event));
    };
}

}  // namespace varno::app
