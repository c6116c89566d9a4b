#pragma once
// How many posted frames the window has not handled yet. A reception thread
// that finds the window this far behind stops reading until it catches up:
// a TCP server is then held back by the connection's own flow control, and
// memory stays bounded however fast the stream comes.
//
// Threads: posted() on reception threads, handled() on the window's thread;
// the count is atomic.

#include <atomic>

namespace varno::link {

class FrameBacklog {
public:
    static constexpr int kDefaultLimit = 4096;

    explicit FrameBacklog(int limit = kDefaultLimit) : m_limit(limit) {}

    void posted() { m_pending.fetch_add(1, std::memory_order_relaxed); }
    void handled() { m_pending.fetch_sub(1, std::memory_order_relaxed); }
    int pending() const { return m_pending.load(std::memory_order_relaxed); }
    bool hasRoom() const { return pending() < m_limit; }

    // Waits until the window is less than the limit behind. Returns false, at
    // once, when `stopFd` becomes readable first (the link is asked to stop).
    bool waitForRoom(int stopFd) const;

private:
    const int m_limit;
    std::atomic<int> m_pending{0};
};

}  // namespace varno::link
