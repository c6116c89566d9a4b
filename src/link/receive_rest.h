#pragma once
// A reader at 115200 baud sends a frame every 1.2 ms. Read as it comes, each
// frame would wake the receiving thread and, through it, the window: those
// wake-ups cost more than the frames' own work. So once a slow stream's queue
// is emptied, the receiving thread rests a moment and takes the next frames
// together; each frame is then handed over at most one rest late (the log's
// millisecond times follow the same batches). A fast stream is read without
// rests: a terminal's 4 KB buffer would make them a brake on it.
//
// Threads: one object per receiving thread, used by that thread only.

#include <chrono>
#include <cstddef>

namespace varno::link {

inline constexpr int kReceiveRestMs = 20;
// A stream that brings fewer bytes than this within a rest's time (or two) is
// slow: under some 50 KB/s, more than any reader's line.
inline constexpr std::size_t kRestBelowBytes = 1024;

class ReceiveRest {
public:
    // `stopFd` ends a rest at once when it becomes readable.
    explicit ReceiveRest(int stopFd) : m_stopFd(stopFd) {}

    // Called each time the queue has been emptied, with the bytes read since
    // the previous call. Rests while the stream is slow. Returns false, at
    // once, when the stop descriptor is readable; true otherwise.
    bool afterDrain(std::size_t bytes);

private:
    using Clock = std::chrono::steady_clock;

    int m_stopFd;
    // Bytes counted in windows of a rest's length: the current one and the one before.
    Clock::time_point m_windowStart{};
    std::size_t m_windowBytes = 0;
    std::size_t m_previousBytes = 0;
};

}  // namespace varno::link
