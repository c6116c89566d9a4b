#pragma once
// One frame cut from the byte stream, and how it travels to the main window.

#include <functional>
#include <memory>
#include <string>

#include "log/clock.h"

namespace varno::link {

// Kind of a frame; travels beside the record, never inside it.
inline constexpr int FRAME_KIND_READER = 351;  // closed by ']'
inline constexpr int FRAME_KIND_DEBUG = 352;   // 16 characters holding a sign

// Event number of the window's wake-up for frames (WM_USER + 42 in the
// reader's documentation, where it carried one frame each).
inline constexpr int WM_FRAME_EVENT = 1066;

struct FrameEvent {
    std::string text;  // the frame's bytes as received (a reader frame without its brackets)
    // One reading of the log's clock, taken when the bytes that completed the
    // frame were read: its date, time and milliseconds in the log all come from
    // it (the clock's own local time of these seconds), however late the window
    // handles the frame.
    log::ClockReading arrivalTime;
};

// Where a reception thread hands each frame. From the call on, the record is the
// receiver's; the reception thread never touches it again.
using FrameSink = std::function<void(int kind, std::unique_ptr<FrameEvent> event)>;

}  // namespace varno::link
