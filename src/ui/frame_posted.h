#pragma once
// A frame on its way from a reception thread to the main window: a posted
// event of type 1066 that owns its record until the window takes it.

#include <QEvent>
#include <memory>

#include "link/frame_backlog.h"
#include "link/frame_event.h"

class QObject;

namespace varno::ui {

// The toolkit hands an event from one thread to another under locks of its own
// library, where a thread sanitizer cannot see them. The sender marks a release
// on the object it hands over once it has built it; whoever reads it on the
// other side marks the acquire first. Both do nothing outside sanitizer builds.
void releaseHandover(const void* object);
void acquireHandover(const void* object);

class FramePosted final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(link::WM_FRAME_EVENT);

    FramePosted(int kind, std::unique_ptr<link::FrameEvent> event, std::shared_ptr<link::FrameBacklog> backlog = {})
        : QEvent(kType), kind(kind), event(std::move(event)), m_backlog(std::move(backlog))
    {
        if (m_backlog)
            m_backlog->posted();
    }
    ~FramePosted() override
    {
        acquireHandover(this);
        if (m_backlog)
            m_backlog->handled();
    }

    const int kind;
    std::unique_ptr<link::FrameEvent> event;  // a posted event never handled frees it

private:
    // Counted from posting until the event is gone, handled or not.
    std::shared_ptr<link::FrameBacklog> m_backlog;
};

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

// Posts one frame to `receiver`; safe from any thread. The frame counts in
// `backlog`, when given, until the receiver is done with it.
void postFrame(QObject* receiver, int kind, std::unique_ptr<link::FrameEvent> event,
               std::shared_ptr<link::FrameBacklog> backlog = {});

// A sink for the reception loops that posts every frame to `receiver`.
link::FrameSink postingSink(QObject* receiver, std::shared_ptr<link::FrameBacklog> backlog = {});

}  // namespace varno::ui
