#include "link/tcp_link.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "link/pause.h"

namespace varno::link {

namespace {

int connectWithin(int fd, const sockaddr* address, socklen_t length, int timeoutMs)
{
    if (::connect(fd, address, length) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return ETIMEDOUT;
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (ready == 0)
            return ETIMEDOUT;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            return errno;
        return error;
    }
}

// The orderly disconnect of one direction. A socket the peer has already
// disconnected has nothing left to disconnect.
int disconnect(int fd, int how)
{
    if (::shutdown(fd, how) == 0 || errno == ENOTCONN)
        return 0;
    return errno;
}

}  // namespace

std::string FormatHostAddress(std::uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(address >> 24), static_cast<int>((address >> 16) & 0xFF),
                  static_cast<int>((address >> 8) & 0xFF), static_cast<int>(address & 0xFF));
    return text;
}

std::unique_ptr<TcpConnection> TcpConnection::open(std::uint32_t host, std::uint32_t port, int connectTimeoutMs,
                                                   TcpOpenFailure& failure)
{
    failure = {};
    const std::string node = FormatHostAddress(host);
    const std::string service = std::to_string(static_cast<int>(port));
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    if (const int result = ::getaddrinfo(node.c_str(), service.c_str(), &hints, &addresses); result != 0) {
        failure = {TcpOpenFailure::Resolve, result};
        return nullptr;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(addresses, &::freeaddrinfo);

    const int fd = ::socket(list->ai_family, list->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, list->ai_protocol);
    if (fd < 0) {
        failure = {TcpOpenFailure::Socket, errno};
        return nullptr;
    }
    // 0.0.0.0 names no host; some systems would quietly take it for this one.
    const int error = host == 0 ? EADDRNOTAVAIL : connectWithin(fd, list->ai_addr, list->ai_addrlen, connectTimeoutMs);
    if (error != 0) {
        ::close(fd);
        failure = {TcpOpenFailure::Connect, error};
        return nullptr;
    }
    ManualResetEvent stop;
    if (!stop.ok()) {
        ::close(fd);
        failure = {TcpOpenFailure::Socket, stop.error()};
        return nullptr;
    }
    return std::unique_ptr<TcpConnection>(new TcpConnection(fd, std::move(stop)));
}

TcpConnection::TcpConnection(int socket, ManualResetEvent stop) : m_socket(socket), m_stop(std::move(stop)) {}

TcpConnection::~TcpConnection()
{
    requestStop();
    join();
    if (!m_socketClosed)
        ::close(m_socket);
}

void TcpConnection::start(FrameSink frames, MessageSink messages, std::shared_ptr<FrameHandOver> handOver,
                          const log::Clock& clock)
{
    if (m_thread.joinable() || m_socketClosed)
        return;
    m_frames = std::move(frames);
    m_messages = std::move(messages);
    m_handOver = std::move(handOver);
    m_clock = &clock;
    m_socketClosed = true;  // from here on the receiving thread closes it
    m_thread = std::thread([this] {
        receive();
        // What was handed over reaches the window before the shutdown's pauses.
        if (m_handOver)
            m_handOver->flush();
        shutDown();
        m_finished.store(true);
    });
}

void TcpConnection::requestStop()
{
    if (m_stopRequested.exchange(true))
        return;
    m_stop.set();
}

void TcpConnection::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TcpConnection::receive()
{
    m_assembler.reset();
    FrameHandOver* const handOver = m_handOver.get();
    auto lost = [this, handOver](const char* message, int error) {
        m_lostError.store(error);
        // The frames before the loss are the window's before the message is.
        if (handOver != nullptr)
            handOver->flush();
        if (m_messages)
            m_messages(message);
    };
    // A block shorter than the buffer has most likely emptied the socket's
    // queue: the next receive would only say so. Wait for data first then.
    bool waitFirst = false;
    for (;;) {
        if (handOver != nullptr && !handOver->waitForRoom(m_stop))
            return;  // asked to stop while the window was behind
        if (waitFirst) {
            // Until data, a hang-up or a stop request; or, while the window is
            // owed a wake-up for frames already handed over, until it is due.
            const int wakeDue = handOver != nullptr ? handOver->wakeDueInMs() : -1;
            const ManualResetEvent::Waited waited = m_stop.waitWith(m_socket, POLLIN, wakeDue);
            if (waited.failed) {
                lost("Connection Error.\n", errno);
                return;
            }
            if ((waited.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                if (waited.set || m_stopRequested.load())
                    return;
                if (handOver != nullptr)
                    handOver->wakeIfDue();
                continue;
            }
            // Receive first: a block that came with a stop request is still framed.
        }
        const ssize_t n = ::recv(m_socket, m_buffer, sizeof m_buffer, 0);
        const int error = errno;
        if (n > 0) {
            // One reading for every frame this block completes.
            m_assembler.feed(std::string_view(m_buffer, static_cast<std::size_t>(n)), m_clock->nowMillis(), m_frames);
            waitFirst = n < static_cast<ssize_t>(sizeof m_buffer);
        } else if (n == 0) {
            lost("Connection Closed.\n", 0);
            return;
        } else if (error == EAGAIN || error == EWOULDBLOCK) {
            waitFirst = true;
            continue;
        } else if (error == EINTR) {
            continue;
        } else {
            lost(error == ECONNRESET ? "Connection Closed.\n" : "Connection Error.\n", error);
            return;
        }
        if (m_stopRequested.load())
            return;
    }
}

void TcpConnection::shutDown()
{
    // The socket is already non-blocking, so the drain below cannot hang.
    pause(100);
    ::shutdown(m_socket, SHUT_RDWR);
    pause(100);
    while (::recv(m_socket, m_buffer, sizeof m_buffer, 0) > 0) {
    }
    char text[80];
    if (const int code = disconnect(m_socket, SHUT_RD); code != 0 && code != ENOBUFS && m_messages) {
        std::snprintf(text, sizeof text, "Error code %d when calling WSARecvDisconnect function.", code);
        m_messages(text);
    }
    if (const int code = disconnect(m_socket, SHUT_WR); code != 0 && code != ENOBUFS && m_messages) {
        std::snprintf(text, sizeof text, "Error code %d when calling WSASendDisconnect function.", code);
        m_messages(text);
    }
    ::close(m_socket);
    pause(100);
}

}  // namespace varno::link
