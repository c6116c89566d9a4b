#include "log/clock.h"

#include <chrono>

namespace varno::log {

namespace {

class SystemClock final : public Clock {
public:
    std::int64_t nowSeconds() const override { return static_cast<std::int64_t>(std::time(nullptr)); }

    ClockReading nowMillis() const override
    {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        return {ms / 1000, static_cast<std::uint16_t>(ms % 1000)};
    }

    bool toLocal(std::int64_t seconds, std::tm& out) const override
    {
        const auto t = static_cast<std::time_t>(seconds);
        return localtime_r(&t, &out) != nullptr;
    }
};

}  // namespace

const Clock& systemClock()
{
    static const SystemClock clock;
    return clock;
}

std::string formatLocalTime(const Clock& clock, std::int64_t seconds, const char* format)
{
    std::tm tm{};
    if (!clock.toLocal(seconds, tm))
        return {};
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

}  // namespace varno::log
