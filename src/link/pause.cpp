#include "link/pause.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace varno::link {

namespace {
std::atomic<double> g_scale{1.0};
}

void pause(int milliseconds)
{
    const double scaled = milliseconds * g_scale.load(std::memory_order_relaxed);
    if (scaled > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(scaled * 1000)));
}

void setPauseScale(double scale)
{
    g_scale.store(scale < 0 ? 0 : scale, std::memory_order_relaxed);
}

double pauseScale()
{
    return g_scale.load(std::memory_order_relaxed);
}

}  // namespace varno::link
