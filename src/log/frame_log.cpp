#include "log/frame_log.h"

namespace varno::log {

std::string readerFrameLine(const Clock& clock, ClockReading at, const TimeColumns& times,
                            std::string_view bracketed, const decode::ReaderFields& fields)
{
    return readerLine(bracketed, formatLocalTime(clock, at.seconds, kDateTimeFormat), at.milliseconds,
                      fields.readerId, fields.tagId, times, fields.p1Value);
}

std::string debugFrameLine(const Clock& clock, ClockReading at, const TimeColumns& times,
                           std::string_view bracketed, const decode::DebugFields& fields)
{
    return debugLine(bracketed, formatLocalTime(clock, at.seconds, kDateTimeFormat), at.milliseconds,
                     fields.tagId, times, fields.p1Value, fields.p2Value);
}

std::string rawFrameLine(const Clock& clock, ClockReading at, std::string_view bracketed)
{
    return rawLine(bracketed, formatLocalTime(clock, at.seconds, kDateTimeFormat), at.milliseconds);
}

}  // namespace varno::log
