#pragma once
// A TCP server on 127.0.0.1 for the link tests: listens on a free port, accepts
// clients one at a time, sends what the test says, closes or resets.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

namespace varno::testing {

class LoopbackServer {
public:
    explicit LoopbackServer(int backlog = 4)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, backlog);
        socklen_t size = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~LoopbackServer()
    {
        closeClient();
        ::close(m_listener);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    static constexpr std::uint32_t kHost = 0x7F000001;  // 127.0.0.1
    std::uint16_t port() const { return m_port; }

    // Waits up to `timeoutMs` for the next client; false when none came.
    bool accept(int timeoutMs = 5000)
    {
        closeClient();
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1)
            return false;
        m_client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        const int on = 1;
        ::setsockopt(m_client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return m_client >= 0;
    }

    bool send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t n = ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Sends `bytes` in pieces of 1, 2, … `largest` bytes, each its own segment.
    bool sendInPieces(std::string_view bytes, std::size_t largest)
    {
        std::size_t size = 1;
        while (!bytes.empty()) {
            const std::size_t n = std::min(size, bytes.size());
            if (!send(bytes.substr(0, n)))
                return false;
            bytes.remove_prefix(n);
            size = size % largest + 1;
        }
        return true;
    }

    // True when the client has closed its side within `timeoutMs` (reads and
    // discards anything it sent meanwhile).
    bool clientClosed(int timeoutMs = 5000)
    {
        char buffer[256];
        for (;;) {
            pollfd p{m_client, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) != 1)
                return false;
            const ssize_t n = ::recv(m_client, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno == ECONNRESET))
                return true;
            if (n < 0 && errno != EINTR)
                return false;
        }
    }

    void closeClient()
    {
        if (m_client >= 0)
            ::close(m_client);
        m_client = -1;
    }

    // Closes with a reset instead of a FIN.
    void resetClient()
    {
        linger l{1, 0};
        ::setsockopt(m_client, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        closeClient();
    }

    int listener() const { return m_listener; }

private:
    int m_listener = -1;
    int m_client = -1;
    std::uint16_t m_port = 0;
};

}  // namespace varno::testing
