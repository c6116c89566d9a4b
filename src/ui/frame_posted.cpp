#include "ui/frame_posted.h"

#include <QCoreApplication>

#if defined(__SANITIZE_THREAD__)
#define VARNO_TSAN 1
#include <sanitizer/tsan_interface.h>
#else
#define VARNO_TSAN 0
#endif

namespace varno::ui {

static_assert(link::WM_FRAME_EVENT >= QEvent::User && link::WM_FRAME_EVENT <= QEvent::MaxUser);

void postFrame(QObject* receiver, int kind, std::unique_ptr<link::FrameEvent> event,
               std::shared_ptr<link::FrameBacklog> backlog)
{
    auto* posted = new FramePosted(kind, std::move(event), std::move(backlog));
    releaseHandover(posted);
    QCoreApplication::postEvent(receiver, posted);
}

void releaseHandover([[maybe_unused]] const void* object)
{
#if VARNO_TSAN
    __tsan_release(const_cast<void*>(object));
#endif
}

void acquireHandover([[maybe_unused]] const void* object)
{
#if VARNO_TSAN
    __tsan_acquire(const_cast<void*>(object));
#endif
}

QEvent::Type LinkLostPosted::type()
{
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

void postLinkLost(QObject* receiver, const void* link, int error)
{
    auto* posted = new LinkLostPosted(link, error);
    releaseHandover(posted);
    QCoreApplication::postEvent(receiver, posted);
}

link::FrameSink postingSink(QObject* receiver, std::shared_ptr<link::FrameBacklog> backlog)
{
    return [receiver, backlog = std::move(backlog)](int kind, std::unique_ptr<link::FrameEvent> event) {
        postFrame(receiver, kind, std::move(event), backlog);
    };
}

}  // namespace varno::ui
