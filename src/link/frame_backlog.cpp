#include "link/frame_backlog.h"

#include <poll.h>

namespace varno::link {

bool FrameBacklog::waitForRoom(int stopFd) const
{
    while (!hasRoom()) {
        pollfd p{stopFd, POLLIN, 0};
        if (::poll(&p, 1, 2) > 0)
            return false;
    }
    return true;
}

}  // namespace varno::link
