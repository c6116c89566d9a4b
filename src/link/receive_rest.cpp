#include "link/receive_rest.h"

#include <poll.h>

namespace varno::link {

bool ReceiveRest::afterDrain(std::size_t bytes)
{
    const Clock::time_point now = Clock::now();
    const auto window = std::chrono::milliseconds(kReceiveRestMs);
    if (now - m_windowStart >= window) {
        // A window with nothing read in between leaves nothing to count.
        m_previousBytes = now - m_windowStart < 2 * window ? m_windowBytes : 0;
        m_windowStart = now;
        m_windowBytes = 0;
    }
    m_windowBytes += bytes;
    if (m_windowBytes + m_previousBytes >= kRestBelowBytes)
        return true;
    pollfd p{m_stopFd, POLLIN, 0};
    // A signal cutting the rest short only shortens it.
    return ::poll(&p, 1, kReceiveRestMs) <= 0 || (p.revents & POLLIN) == 0;
}

}  // namespace varno::link
