#include "link/frame_hand_over.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
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
      // The first frame finds the window rested.
      m_lastWake(std::numeric_limits<std::int64_t>::min() / 2),
      m_limit(limit)
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
        if (!m_wakePosted) {
            const std::int64_t now = m_now();
            // A full queue cannot wait for its turn: the thread is about to stop reading.
            if (wakeDue(now) || m_queue.size() >= static_cast<std::size_t>(m_limit)) {
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
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.size() < static_cast<std::size_t>(m_limit))
                return true;
            m_roomWanted = true;
            m_room.clear();
        }
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
    m_ready = m_queue.size();
}

bool FrameHandOver::take(int& kind, std::unique_ptr<FrameEvent>& event)
{
    std::lock_guard lock(m_mutex);
    if (m_ready == 0)
        return false;
    Queued& front = m_queue.front();
    kind = front.kind;
    event = std::move(front.event);
    m_queue.pop_front();
    --m_ready;
    ++m_taken;
    if (m_roomWanted && m_queue.size() < static_cast<std::size_t>(m_limit)) {
        m_roomWanted = false;
        m_room.set();
    }
    return true;
}

int FrameHandOver::pending() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_queue.size());
}

long long FrameHandOver::taken() const
{
    std::lock_guard lock(m_mutex);
    return m_taken;
}

long long FrameHandOver::wakeUps() const
{
    std::lock_guard lock(m_mutex);
    return m_wakeUps;
}

void FrameHandOver::setLimit(int limit)
{
    std::lock_guard lock(m_mutex);
    m_limit = limit;
}

FrameSink handOverSink(std::shared_ptr<FrameHandOver> handOver)
{
    return [handOver = std::move(handOver)](int kind, std::unique_ptr<FrameEvent> event) {
        handOver->push(kind, std::move(event));
    };
}

}  // namespace varno::link
