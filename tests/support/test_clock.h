#pragma once
// A clock the tests set by hand, with UTC as its local time, so that dates do
// not depend on the machine's time zone. The test's thread sets it while
// reception threads read it to stamp frames: one atomic holds the whole time.

#include <atomic>
#include <ctime>

#include "log/clock.h"

namespace varno::testing {

class TestClock final : public log::Clock {
public:
    // The reading of a UTC date and time.
    static log::ClockReading at(int year, int month, int day, int hour, int minute, int second, int milliseconds = 0)
    {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        return {static_cast<std::int64_t>(timegm(&tm)), static_cast<std::uint16_t>(milliseconds)};
    }

    // Sets the clock to a UTC date and time.
    void set(int year, int month, int day, int hour, int minute, int second, int milliseconds = 0)
    {
        const log::ClockReading reading = at(year, month, day, hour, minute, second, milliseconds);
        m_millis.store(reading.seconds * 1000 + reading.milliseconds);
    }

    std::int64_t nowSeconds() const override { return m_millis.load() / 1000; }
    log::ClockReading nowMillis() const override
    {
        const std::int64_t ms = m_millis.load();
        return {ms / 1000, static_cast<std::uint16_t>(ms % 1000)};
    }
    bool toLocal(std::int64_t seconds, std::tm& out) const override
    {
        const auto t = static_cast<std::time_t>(seconds);
        return gmtime_r(&t, &out) != nullptr;
    }

private:
    std::atomic<std::int64_t> m_millis{0};  // since 1970
};

}  // namespace varno::testing
