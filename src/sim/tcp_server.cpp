#include "sim/tcp_server.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sim/options.h"

namespace varno::sim {

namespace {

std::string endpoint(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

TcpClient::~TcpClient()
{
    ::close(m_fd);
}

long TcpClient::send(std::string_view bytes)
{
    // MSG_NOSIGNAL: a client that went away ends its session, never the process.
    const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    return -1;
}

bool TcpClient::dropInput()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n == 0)
            return false;  // the client closed its side
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
}

bool TcpClient::drained()
{
    int unacknowledged = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &unacknowledged) != 0)
        return true;  // cannot tell: do not wait forever
    return unacknowledged == 0;
}

std::unique_ptr<TcpServer> TcpServer::listen(const std::string& address, std::uint16_t port, std::string& error)
{
    // Checked here as well as on the command line: this server never faces a network.
    if (!isLoopback(address)) {
        error = "refusing to listen on " + address + ": only loopback addresses (127.0.0.0/8) are allowed";
        return nullptr;
    }
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &bound.sin_addr);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = systemError("socket", errno);
        return nullptr;
    }
    // A restarted simulator can take the port again while the old connection lingers.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t length = sizeof bound;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0
        || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        const int e = errno;
        error = systemError("cannot listen on " + endpoint(bound), e);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TcpServer>(new TcpServer(fd, endpoint(bound)));
}

TcpServer::~TcpServer()
{
    ::close(m_fd);
}

std::unique_ptr<TcpClient> TcpServer::accept(std::string& peer, std::string& error)
{
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const int fd = ::accept4(m_fd, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            error = systemError("accept", errno);
        return nullptr;
    }
    // Each frame leaves when it is due, as a gateway forwards a serial line.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    peer = endpoint(from);
    return std::make_unique<TcpClient>(fd);
}

}  // namespace varno::sim
