#pragma once
// The frames of the reception threads on their way to the window. A reception
// thread queues each frame as it is cut, stamped with its arrival time, and
// wakes the window to take what is queued: at once for a frame after a quiet
// spell, and then at most once per pace (30 ms) while frames keep coming. A
// reader's 800 frames a second so cost the window 33 wake-ups instead of 800,
// while every frame keeps the time it arrived at. (The window paints on every
// other one of these wake-ups, and each paint waits once for the display's
// reply, a wake-up of its own: in all 43 to 53 a second as measured, against
// 62 at a 20 ms pace and 58 to 60 at 25 ms, for the same 16 or so paints a
// second.)
//
// A wake-up that is owed (frames queued, none posted yet) is the reception
// thread's to post when its time comes: it bounds its wait for input by
// wakeDueInMs() and calls wakeIfDue() when that wait ends, and flush() when it
// stops reading.
//
// While the window is `limit` frames behind, a reception thread reads nothing
// more (waitForRoom) until the window has caught up by a quarter of that: a
// TCP server is then held back by the connection's flow control, and memory
// stays bounded however fast the stream comes. Nothing
// queued is lost, and the window takes the frames in the order they were queued.
//
// Threads: push, wakeDueInMs, wakeIfDue, flush and waitForRoom on any number of
// reception threads; woken and take on the window's thread. One mutex guards
// the queue and the pacing, taken once per frame queued and once per wake-up
// on the window's side; the wake callback is called outside it. The counts
// are atomic.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "link/frame_event.h"
#include "link/manual_reset_event.h"

namespace varno::link {

class FrameHandOver {
public:
    static constexpr int kDefaultLimit = 4096;
    static constexpr int kPaceMs = 30;

    // Asks the window to call woken() and take the frames; called on a
    // reception thread, never twice for one wake-up.
    using Wake = std::function<void()>;
    // Milliseconds of a monotonic clock: what the pacing reads.
    using TimeSource = std::function<std::int64_t()>;
    static std::int64_t steadyMilliseconds();

    explicit FrameHandOver(Wake wake, int limit = kDefaultLimit, TimeSource now = &steadyMilliseconds,
                           int paceMs = kPaceMs);
    FrameHandOver(const FrameHandOver&) = delete;
    FrameHandOver& operator=(const FrameHandOver&) = delete;

    // ---- Reception threads ----
    // Queues one frame, and wakes the window when it is due.
    void push(int kind, std::unique_ptr<FrameEvent> event);
    // Milliseconds until an owed wake-up is due (0: now), or -1 when none is
    // owed: the longest a reception thread may wait for input.
    int wakeDueInMs() const;
    // Posts the owed wake-up once it is due.
    void wakeIfDue();
    // Posts the owed wake-up now: the thread stops reading, or is about to
    // wait for something else than input.
    void flush();
    // Waits while the window is `limit` frames behind, until it has taken a
    // quarter of them. False, at once, when `stop` is set first.
    bool waitForRoom(const ManualResetEvent& stop);

    // ---- The window's thread ----
    // The window has been woken: every frame queued so far is its to take.
    void woken();
    // The next frame the window has been woken for, in the order queued; false
    // when there is none (frames queued since then come with a wake-up of their own).
    bool take(int& kind, std::unique_ptr<FrameEvent>& event);

    // Frames queued and not taken yet.
    int pending() const { return m_pending.load(); }
    // Frames taken since the start.
    long long taken() const { return m_taken.load(std::memory_order_relaxed); }
    // Wake-ups posted since the start.
    long long wakeUps() const;
    void setLimit(int limit) { m_limit.store(limit, std::memory_order_relaxed); }

private:
    struct Queued {
        int kind;
        std::unique_ptr<FrameEvent> event;
    };

    bool full() const { return pending() >= m_limit.load(std::memory_order_relaxed); }
    // A thread that found the queue full reads again once the window has
    // taken a quarter of it: not at every frame taken, which would wake it
    // for each block it reads.
    bool roomAgain() const
    {
        const int limit = m_limit.load(std::memory_order_relaxed);
        return pending() < limit - limit / 4;
    }
    // With m_mutex held.
    bool wakeOwed() const { return !m_wakePosted && !m_queue.empty(); }
    bool wakeDue(std::int64_t now) const { return now - m_lastWake >= m_paceMs; }
    void noteWake(std::int64_t now);

    const Wake m_wake;
    const TimeSource m_now;
    const int m_paceMs;
    std::atomic<int> m_limit;
    std::atomic<int> m_pending{0};   // queued or being taken
    std::atomic<long long> m_taken{0};
    std::atomic<bool> m_roomWanted{false};  // a reception thread waits for room

    mutable std::mutex m_mutex;
    std::deque<Queued> m_queue;   // queued since the window was last woken
    bool m_wakePosted = false;    // posted, and the window has not been woken by it yet
    std::int64_t m_lastWake;      // when the last wake-up was posted
    long long m_wakeUps = 0;
    ManualResetEvent m_room;      // set when a frame is taken while a thread waits for room

    // The window's thread only: the frames it has been woken for, in order,
    // taken one by one without the lock.
    std::deque<Queued> m_taking;
};

// A sink that queues every frame in `handOver`, keeping it alive.
FrameSink handOverSink(std::shared_ptr<FrameHandOver> handOver);

}  // namespace varno::link
