#include "sim/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace varno::sim {

StopSignal::StopSignal()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_read = fds[0];
        m_write = fds[1];
    }
}

StopSignal::~StopSignal()
{
    if (m_read >= 0)
        ::close(m_read);
    if (m_write >= 0)
        ::close(m_write);
}

void StopSignal::request() const noexcept
{
    // Never drained: once readable, every later poll sees the request. A full
    // pipe means a request is already there.
    const char byte = 's';
    [[maybe_unused]] const ssize_t n = ::write(m_write, &byte, 1);
}

bool StopSignal::wait(int milliseconds) const
{
    pollfd p{m_read, POLLIN, 0};
    return ::poll(&p, 1, milliseconds) > 0 && (p.revents & POLLIN);
}

}  // namespace varno::sim
