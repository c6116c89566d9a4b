#pragma once
// One frame's line of the log, and the t/dt state the lines step through.
// The window (log/log_handlers.cpp) and a logger without a window write the
// same lines from the same state: the frame's text, its decoded fields and the
// time it arrived at; nothing here reads a clock of its own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "decode/frame_fields.h"
#include "log/clock.h"
#include "log/log_lines.h"

namespace varno::log {

// The times t and dt are measured from: the first recorded frame and the
// previous one. Every recorded frame steps it, logged or only echoed.
struct FrameTimes {
    std::int64_t firstFrameTime = 0;
    std::uint16_t firstFrameMillis = 0;
    std::int64_t lastFrameTime = -1;  // -1: no frame recorded yet
    std::uint16_t lastFrameMillis = 0;

    // Moves on to a frame that arrived at `at` and gives its columns; the first
    // frame gets 0.000 for both.
    TimeColumns step(ClockReading at)
    {
        return stepFrameTimes(firstFrameTime, firstFrameMillis, lastFrameTime, lastFrameMillis, at);
    }
};

// The line of a decoded reader or debug frame (`bracketed`: the frame in its
// brackets) that arrived at `at`, with the columns its step gave.
std::string readerFrameLine(const Clock& clock, ClockReading at, const TimeColumns& times,
                            std::string_view bracketed, const decode::ReaderFields& fields);
std::string debugFrameLine(const Clock& clock, ClockReading at, const TimeColumns& times,
                           std::string_view bracketed, const decode::DebugFields& fields);
// The line of any frame in raw text mode: the frame and its time, no fields.
std::string rawFrameLine(const Clock& clock, ClockReading at, std::string_view bracketed);

// The day (kDayFormat) of a frame that arrived at `arrival`, when that frame
// opens a new day's file after the file of `openDay`, opened at `openTime`;
// nothing when it belongs to the open file. A frame that came before that
// file was opened (it waited while logging was switched on) is no sign of a
// new day.
std::optional<std::string> newLogDay(const Clock& clock, std::int64_t arrival, std::string_view openDay,
                                     std::int64_t openTime);

}  // namespace varno::log
