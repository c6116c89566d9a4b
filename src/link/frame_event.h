#pragma once
// One frame cut from the byte stream, and how it travels to the main window.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace varno::link {

// Kind of a frame; travels beside the record, never inside it.
inline constexpr int FRAME_KIND_READER = 351;  // closed by ']'
inline constexpr int FRAME_KIND_DEBUG = 352;   // 16 characters holding a sign

// Event number of a posted frame (WM_USER + 42 in the reader's documentation).
inline constexpr int WM_FRAME_EVENT = 1066;

// Local date and time, each part an unsigned 16-bit number.
struct LocalTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;      // 1-12
    std::uint16_t dayOfWeek = 0;  // 0 = Sunday
    std::uint16_t day = 0;        // 1-31
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

struct FrameEvent {
    std::string text;  // the frame's bytes as received (a reader frame without its brackets)
    LocalTime arrivalTime;
};

// Where a reception thread hands each frame. From the call on, the record is the
// receiver's; the reception thread never touches it again.
using FrameSink = std::function<void(int kind, std::unique_ptr<FrameEvent> event)>;

// The local time now, to the millisecond. Cheap enough to call once per frame:
// the calendar breakdown is computed once per second and per thread.
LocalTime localTimeNow();

}  // namespace varno::link
