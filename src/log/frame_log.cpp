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

std::optional<std::string> newLogDay(const Clock& clock, std::int64_t arrival, std::string_view openDay,
                                     std::int64_t openTime)
{
    std::string day = formatLocalTime(clock, arrival, kDayFormat);
    if (day == openDay || arrival < openTime)
        return std::nullopt;
    return day;
}

}  // namespace varno::log
