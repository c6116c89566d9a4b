#pragma once
// The window's side of a frame hand-over, played by a test's thread: it counts
// the wake-ups the reception thread posts and takes the frames it was woken
// for when the test says so.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/frame_hand_over.h"

namespace varno::testing {

using namespace std::chrono_literals;

class TakingWindow {
public:
    explicit TakingWindow(int limit = link::FrameHandOver::kDefaultLimit)
        : handOver(std::make_shared<link::FrameHandOver>(
              [this] {
                  std::lock_guard lock(m_mutex);
                  ++m_wakeUps;
                  m_changed.notify_all();
              },
              limit))
    {
    }
    // Waits for a wake-up not answered yet, then takes its frames.
    bool answerWakeUp(std::chrono::milliseconds timeout = 5s)
    {
        {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, timeout, [&] { return m_wakeUps > m_answered; }))
                return false;
            ++m_answered;
        }
        takeAll();
        return true;
    }
    void takeAll()
    {
        handOver->woken();
        int kind = 0;
        std::unique_ptr<link::FrameEvent> event;
        while (handOver->take(kind, event)) {
            taken.push_back(std::to_string(kind) + ":" + event->text);
            stamps.push_back(event->arrivalTime.seconds * 1000 + event->arrivalTime.milliseconds);
        }
    }

    std::shared_ptr<link::FrameHandOver> handOver;
    std::vector<std::string> taken;
    std::vector<std::int64_t> stamps;  // milliseconds since 1970

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_wakeUps = 0;
    int m_answered = 0;
};

}  // namespace varno::testing
