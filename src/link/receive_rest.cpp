#include "link/receive_rest.h"

#include <poll.h>

namespace varno::link {

bool restAfterDrain(std::size_t bytes, int stopFd)
{
    if (bytes >= kRestBelowBytes)
        return true;
    pollfd p{stopFd, POLLIN, 0};
    // A signal cutting the rest short only shortens it.
    return ::poll(&p, 1, kReceiveRestMs) <= 0 || (p.revents & POLLIN) == 0;
}

}  // namespace varno::link
