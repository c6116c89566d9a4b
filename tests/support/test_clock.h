#pragma once
// A clock the tests set by hand, with UTC as its local time, so that dates do
// not depend on the machine's time zone.

#include <ctime>

#include "log/clock.h"

namespace varno::testing {

class TestClock final : public log::Clock {
public:
    // Sets the clock to a UTC date and time.
    void set(int year, int month, int day, int hour, int minute, int second, int milliseconds = 0)
    {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        m_seconds = static_cast<std::int64_t>(timegm(&tm));
        m_millis = static_cast<std::uint16_t>(milliseconds);
    }

    std::int64_t nowSeconds() const override { return m_seconds; }
    log::ClockReading nowMillis() const override { return {m_seconds, m_millis}; }
    bool toLocal(std::int64_t seconds, std::tm& out) const override
    {
        const auto t = static_cast<std::time_t>(seconds);
        return gmtime_r(&t, &out) != nullptr;
    }

private:
    std::int64_t m_seconds = 0;
    std::uint16_t m_millis = 0;
};

}  // namespace varno::testing
