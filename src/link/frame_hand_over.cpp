#include "link/frame_hand_over.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>

namespace varno::link {

std::int64_t FrameHandOver::steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

FrameHandOver::FrameHandOver(Wake wake, int limit, TimeSource now, int paceMs)
    : m_wake(std::move(wake)),
      m_now(std::move(now)),
      m_paceMs(paceMs),
      m_limit(limit),
      // The first frame finds the window rested.
      m_lastWake(std::numeric_limits<std::int64_t>::min() / 2)
{
}

void FrameHandOver::noteWake(std::int64_t now)
{
    m_wakePosted = true;
    m_lastWake = now;
    ++m_wakeUps;
}

void FrameHandOver::push(int kind, std::unique_ptr<FrameEvent> event)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({kind, std::move(event)});
        m_pending.fetch_add(1);
        if (!m_wakePosted) {
            const std::int64_t now = m_now();
            // A full queue cannot wait for its turn: the thread is about to stop reading.
            if (wakeDue(now) || full()) {
                noteWake(now);
                wake = true;
            }
        }
    }
    if (wake && m_wake)
        m_wake();
}

int FrameHandOver::wakeDueInMs() const
{
    std::lock_guard lock(m_mutex);
    if (!wakeOwed())
        return -1;
    const std::int64_t left = m_lastWake + m_paceMs - m_now();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, m_paceMs));
}

void FrameHandOver::wakeIfDue()
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (wakeOwed()) {
            const std::int64_t now = m_now();
            if (wakeDue(now)) {
                noteWake(now);
                wake = true;
            }
        }
    }
    if (wake && m_wake)
        m_wake();
}

void FrameHandOver::flush()
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (wakeOwed()) {
            noteWake(m_now());
            wake = true;
        }
    }
    if (wake && m_wake)
        m_wake();
}

bool FrameHandOver::waitForRoom(const ManualResetEvent& stop)
{
    // Called before every read: while there is room, the counts alone say so.
    if (!full())
        return true;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!full())
                return true;
            m_room.clear();
            m_roomWanted.store(true);
        }
        // Looked at again once the wish is known: a window that took the
        // frames in between, before it could see the wish, has made room.
        if (roomAgain())
            continue;
        // The window has been woken for what is queued: the push that filled
        // the queue saw to that. Without a room event of its own (the system
        // gave none), the thread looks again every few milliseconds.
        const ManualResetEvent::Waited waited = stop.waitWith(m_room.fd(), POLLIN, m_room.ok() ? -1 : 2);
        if (waited.set)
            return false;
        if (waited.failed && stop.wait(2))
            return false;
    }
}

void FrameHandOver::woken()
{
    std::lock_guard lock(m_mutex);
    m_wakePosted = false;
    if (m_taking.empty()) {
        m_taking.swap(m_queue);
    } else {
        std::move(m_queue.begin(), m_queue.end(), std::back_inserter(m_taking));
        m_queue.clear();
    }
}

bool FrameHandOver::take(int& kind, std::unique_ptr<FrameEvent>& event)
{
    if (m_taking.empty())
        return false;
    Queued& front = m_taking.front();
    kind = front.kind;
    event = std::move(front.event);
    m_taking.pop_front();
    m_taken.fetch_add(1, std::memory_order_relaxed);
    // The count first, the wish after; a waiting thread does the same the
    // other way round, so one of the two sees the other.
    m_pending.fetch_sub(1);
    if (m_roomWanted.load() && roomAgain()) {
        // Under the lock: after the waiting thread's clearing of the event.
        std::lock_guard lock(m_mutex);
        if (m_roomWanted.exchange(false))
            m_room.set();
    }
    return true;
}

long long FrameHandOver::wakeUps() const
{
    std::lock_guard lock(m_mutex);
    return m_wakeUps;
}

FrameSink handOverSink(std::shared_ptr<FrameHandOver> handOver)
{
    return [handOver = std::move(handOver)](int kind, std::unique_ptr<FrameEvent> event) {
        handOver->push(kind, std::move(event));
    };
}

}  // namespace varno::link
