#pragma once
// The window's wake-up for frames: a posted event of type 1066 that tells the
// window to take what its hand-over (link/frame_hand_over.h) holds. It carries
// no frame; one wake-up stands for every frame queued before it is handled.

#include <QEvent>

#include "link/frame_event.h"
#include "link/frame_hand_over.h"

class QObject;

namespace varno::ui {

// The toolkit hands an event from one thread to another under locks of its own
// library, where a thread sanitizer cannot see them. The sender marks a release
// on the object it hands over once it has built it; whoever reads it on the
// other side marks the acquire first. Both do nothing outside sanitizer builds.
void releaseHandover(const void* object);
void acquireHandover(const void* object);

class FramesWaiting final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(link::WM_FRAME_EVENT);

    FramesWaiting() : QEvent(kType) {}
};

// A hand-over's wake-up that posts FramesWaiting to `receiver`; safe from any thread.
link::FrameHandOver::Wake wakeByPosting(QObject* receiver);

// A link that ended by itself, as its thread tells the window: which link
// (the object that reads it) and the errno behind it (0: the peer closed).
class LinkLostPosted final : public QEvent {
public:
    static QEvent::Type type();

    LinkLostPosted(const void* link, int error) : QEvent(type()), link(link), error(error) {}

    const void* const link;
    const int error;
};

// Posts a LinkLostPosted to `receiver`; safe from any thread.
void postLinkLost(QObject* receiver, const void* link, int error);

}  // namespace varno::ui
