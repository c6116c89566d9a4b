#pragma once
// The clock the log reads: whole seconds, seconds with milliseconds, and their
// local calendar time. Tests put a clock of their own in its place.

#include <cstdint>
#include <ctime>
#include <string>

namespace varno::log {

struct ClockReading {
    std::int64_t seconds = 0;        // since 1970
    std::uint16_t milliseconds = 0;  // 0-999
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowSeconds() const = 0;
    virtual ClockReading nowMillis() const = 0;
    // Local calendar time of `seconds`; false when it cannot be converted.
    virtual bool toLocal(std::int64_t seconds, std::tm& out) const = 0;
};

// The machine's clock and time zone.
const Clock& systemClock();

// strftime of the local time of `seconds` into a 128-byte buffer; empty when the
// conversion fails.
std::string formatLocalTime(const Clock& clock, std::int64_t seconds, const char* format);

}  // namespace varno::log
