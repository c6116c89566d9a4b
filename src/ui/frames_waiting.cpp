#include "ui/frames_waiting.h"

#include <QCoreApplication>

#if defined(__SANITIZE_THREAD__)
#define VARNO_TSAN 1
#include <sanitizer/tsan_interface.h>
#else
#define VARNO_TSAN 0
#endif

namespace varno::ui {

static_assert(link::WM_FRAME_EVENT >= QEvent::User && link::WM_FRAME_EVENT <= QEvent::MaxUser);

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

link::FrameHandOver::Wake wakeByPosting(QObject* receiver)
{
    return [receiver] {
        auto* event = new FramesWaiting;
        releaseHandover(event);
        QCoreApplication::postEvent(receiver, event);
    };
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

}  // namespace varno::ui
