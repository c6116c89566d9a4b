#include "link/manual_reset_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace varno::link {

ManualResetEvent::ManualResetEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        m_error = errno;
}

ManualResetEvent::~ManualResetEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ManualResetEvent::ManualResetEvent(ManualResetEvent&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error)
{
}

ManualResetEvent& ManualResetEvent::operator=(ManualResetEvent&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
    }
    return *this;
}

void ManualResetEvent::set() const noexcept
{
    // The counter only grows: the descriptor stays readable until clear().
    const int saved = errno;
    if (m_fd >= 0)
        ::eventfd_write(m_fd, 1);
    errno = saved;
}

void ManualResetEvent::clear() const noexcept
{
    if (m_fd >= 0) {
        eventfd_t ignored = 0;
        ::eventfd_read(m_fd, &ignored);  // non-blocking: nothing to read is fine
    }
}

bool ManualResetEvent::isSet() const
{
    return wait(0);
}

ManualResetEvent::Waited ManualResetEvent::waitWith(int fd, short events, int timeoutMs) const
{
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {fd, events, 0}};
    Waited waited;
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready < 0) {
        waited.failed = errno != EINTR;
        return waited;
    }
    waited.set = (fds[0].revents & POLLIN) != 0;
    waited.revents = fds[1].revents;
    return waited;
}

bool ManualResetEvent::wait(int timeoutMs) const
{
    pollfd p{m_fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready >= 0)
            return ready > 0 && (p.revents & POLLIN) != 0;
        // A signal only shortens a bounded wait; an unbounded one goes on.
        if (errno != EINTR || timeoutMs >= 0)
            return false;
    }
}

}  // namespace varno::link
