#pragma once
// What a link hands over, tallied for the test's thread: the number of frames,
// the last few of them, and whether every numbered frame came in order.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "link/frame_event.h"
#include "link/pause.h"
#include "link/serial_wnd.h"
#include "link/tcp_link.h"

namespace varno::testing {

// The reader frame of sequence number `n`: 16 bytes with its CR LF, the number
// in the tag identifier.
inline std::string numberedFrame(unsigned n)
{
    char text[24];
    std::snprintf(text, sizeof text, "[5A%06XABCD]\r\n", n & 0xFFFFFFu);
    return text;
}
inline constexpr std::size_t kNumberedFrameSize = 16;
inline constexpr std::size_t kNumberedFrameEnd = 14;  // bytes up to and with its ']'

// Every pause of the program instant while it lives.
struct InstantPauses {
    InstantPauses() { link::setPauseScale(0); }
    ~InstantPauses() { link::setPauseScale(1); }
    InstantPauses(const InstantPauses&) = delete;
    InstantPauses& operator=(const InstantPauses&) = delete;
};

class FrameTally {
public:
    link::FrameSink sink()
    {
        return [this](int kind, std::unique_ptr<link::FrameEvent> event) {
            std::lock_guard lock(m_mutex);
            const std::string expected = numberedFrame(static_cast<unsigned>(m_count)).substr(1, 12);
            if (kind != link::FRAME_KIND_READER || event->text != expected)
                ++m_outOfOrder;
            ++m_count;
            m_last.emplace_back(kind, std::move(event->text));
            if (m_last.size() > 4)
                m_last.pop_front();
            m_changed.notify_all();
        };
    }
    link::NotifyTarget target()
    {
        return {sink(), [](std::uint32_t, std::int32_t) {}, {}, {}};
    }
    link::TcpConnection::MessageSink messages()
    {
        return [this](const std::string& message) {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(message);
            m_changed.notify_all();
        };
    }

    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_count >= count; });
    }
    std::size_t count()
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    // Frames that were not the next numbered frame (every frame, for a stream
    // that is not numbered).
    std::size_t outOfOrder()
    {
        std::lock_guard lock(m_mutex);
        return m_outOfOrder;
    }
    std::deque<std::pair<int, std::string>> last()
    {
        std::lock_guard lock(m_mutex);
        return m_last;
    }
    std::deque<std::string> messagesSeen()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_count = 0;
    std::size_t m_outOfOrder = 0;
    std::deque<std::pair<int, std::string>> m_last;
    std::deque<std::string> m_messages;
};

}  // namespace varno::testing
