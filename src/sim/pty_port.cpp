#include "sim/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace varno::sim {

std::unique_ptr<PtyPort> PtyPort::open(std::string& error)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = systemError("cannot create a pseudo-terminal", errno);
        return nullptr;
    }
    const char* name = nullptr;
    termios settings{};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || (name = ::ptsname(master)) == nullptr
        || ::fcntl(master, F_SETFL, O_NONBLOCK) != 0 || ::tcgetattr(master, &settings) != 0) {
        error = systemError("cannot set up the pseudo-terminal", errno);
        ::close(master);
        return nullptr;
    }
    // Raw, like a serial port set up for a reader: no echo, no line editing, no
    // CR to LF translation, no XON/XOFF, every byte passed on as it is.
    ::cfmakeraw(&settings);
    ::tcsetattr(master, TCSANOW, &settings);
    std::unique_ptr<PtyPort> port(new PtyPort(master, name));
    // Open and close the slave once: from then on the master reports a hang-up
    // whenever no reader has the slave open, which is how we tell one is there.
    const int slave = port->openSlave();
    if (slave < 0) {
        const int e = errno;
        error = systemError("cannot open " + port->m_path, e);
        return nullptr;
    }
    ::close(slave);
    return port;
}

PtyPort::~PtyPort()
{
    ::close(m_master);
}

int PtyPort::openSlave() const
{
    return ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

bool PtyPort::readerPresent() const
{
    pollfd p{m_master, 0, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void PtyPort::discardUnread()
{
    const int slave = openSlave();
    if (slave >= 0) {
        ::tcflush(slave, TCIFLUSH);
        ::close(slave);
    }
}

long PtyPort::send(std::string_view bytes)
{
    const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;  // the reader is not reading: its queue is full
    return -1;
}

bool PtyPort::dropInput()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            continue;
        // EIO: the last reader closed the slave.
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

bool PtyPort::drained()
{
    int unread = -1;
    const int slave = openSlave();
    if (slave >= 0) {
        if (::ioctl(slave, FIONREAD, &unread) != 0)
            unread = -1;
        ::close(slave);
    }
    const auto now = std::chrono::steady_clock::now();
    if (unread >= 0) {
        m_blindSince.reset();
        if (unread > 0) {
            m_emptySince.reset();
            return false;
        }
        if (!m_emptySince)
            m_emptySince = now;
        return now - *m_emptySince >= std::chrono::milliseconds(50);
    }
    // The reader holds the port exclusively: give it a moment, then stop waiting.
    if (!m_blindSince)
        m_blindSince = now;
    return now - *m_blindSince >= std::chrono::milliseconds(500);
}

}  // namespace varno::sim
