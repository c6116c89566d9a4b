#include "link/frame_event.h"

#include <chrono>
#include <ctime>

namespace varno::link {

LocalTime localTimeNow()
{
    using namespace std::chrono;
    const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(now / 1000);
    const auto millis = static_cast<std::uint16_t>(now % 1000);

    // localtime_r takes a process-wide lock; frames come much faster than seconds change.
    thread_local std::time_t cachedSecond = -1;
    thread_local LocalTime cached;
    if (seconds != cachedSecond) {
        std::tm tm{};
        if (localtime_r(&seconds, &tm) != nullptr) {
            cached.year = static_cast<std::uint16_t>(tm.tm_year + 1900);
            cached.month = static_cast<std::uint16_t>(tm.tm_mon + 1);
            cached.dayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
            cached.day = static_cast<std::uint16_t>(tm.tm_mday);
            cached.hour = static_cast<std::uint16_t>(tm.tm_hour);
            cached.minute = static_cast<std::uint16_t>(tm.tm_min);
            cached.second = static_cast<std::uint16_t>(tm.tm_sec);
        }
        cachedSecond = seconds;
    }
    LocalTime result = cached;
    result.milliseconds = millis;
    return result;
}

}  // namespace varno::link
