#pragma once
// The TCP output: a listening socket on a loopback address, and the one client
// being served.

#include <cstdint>
#include <memory>
#include <string>

#include "sim/channel.h"

namespace varno::sim {

class TcpClient : public Channel {
public:
    explicit TcpClient(int fd) : m_fd(fd) {}
    ~TcpClient() override;

    int fd() const override { return m_fd; }
    long send(std::string_view bytes) override;
    bool dropInput() override;
    // Every byte acknowledged by the client's side: nothing left in our send queue.
    bool drained() override;

private:
    int m_fd;
};

class TcpServer {
public:
    // Listens on `address` (dotted IPv4, loopback only) and `port` (0: a free
    // one). Null with `error` set on failure.
    static std::unique_ptr<TcpServer> listen(const std::string& address, std::uint16_t port, std::string& error);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    int fd() const { return m_fd; }
    // The bound address and port, "127.0.0.1:10001".
    const std::string& where() const { return m_where; }

    // Takes the next waiting client, if any. Null with `error` empty when none is
    // waiting (or it gave up before being taken); null with `error` set on a
    // failure that is worth a note.
    std::unique_ptr<TcpClient> accept(std::string& peer, std::string& error);

private:
    TcpServer(int fd, std::string where) : m_fd(fd), m_where(std::move(where)) {}

    int m_fd;
    std::string m_where;
};

}  // namespace varno::sim
