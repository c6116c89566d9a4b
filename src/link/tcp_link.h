#pragma once
// The TCP client link: one connection to a reader's server (or a serial-to-
// network gateway), received on its own thread as soon as bytes are there,
// each block stamped with the log's clock and cut into frames. When the frames
// go to a window's hand-over (frame_hand_over.h), the thread also posts the
// window's owed wake-up when its time comes.
//
// Threads: open(), start(), requestStop(), finished(), join() and the destructor
// run on the owner's thread. The receiving thread alone touches the socket, the
// receive buffer and the assembler once start() has returned. The two meet only
// through the atomic stop flag, the stop event and the finished flag.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/frame_assembler.h"
#include "link/frame_event.h"
#include "link/frame_hand_over.h"
#include "link/manual_reset_event.h"
#include "log/clock.h"

namespace varno::link {

// "a.b.c.d", the most significant byte first.
std::string FormatHostAddress(std::uint32_t address);

// Why an opening failed, and the code the platform gave.
struct TcpOpenFailure {
    enum Step { None, Resolve, Socket, Connect } step = None;
    int code = 0;  // getaddrinfo's result for Resolve, errno otherwise (ETIMEDOUT when the connect timed out)
};

class TcpConnection {
public:
    // Messages of the receiving thread, shown to the operator; the call returns
    // once the message has been dismissed.
    using MessageSink = std::function<void(const std::string& message)>;

    static constexpr int kDefaultConnectTimeoutMs = 3000;
    static constexpr std::size_t kReceiveBlock = 32;

    // Resolves `host`:`port` (IPv4, stream, TCP), creates a socket for the first
    // address and connects to it, waiting at most `connectTimeoutMs`. Returns
    // nullptr and fills `failure` when any step fails; nothing is left open.
    static std::unique_ptr<TcpConnection> open(std::uint32_t host, std::uint32_t port, int connectTimeoutMs,
                                               TcpOpenFailure& failure);

    ~TcpConnection();  // asks the thread to stop and joins it
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Starts the receiving thread: every frame goes to `frames`, stamped by
    // `clock` (not owned), every loss report to `messages`, both called on the
    // receiving thread. When `frames` queues into `handOver`, give it too:
    // while it is full nothing more is read, and the thread posts the wake-ups
    // it owes.
    void start(FrameSink frames, MessageSink messages, std::shared_ptr<FrameHandOver> handOver = {},
               const log::Clock& clock = log::systemClock());

    // Asks the receiving thread to end: it frames the block it may have just
    // received, then shuts the connection down without a message.
    void requestStop();
    bool stopRequested() const { return m_stopRequested.load(); }

    // Set by the receiving thread, before its loss message, when the
    // connection ended by itself: 0 when the server closed it, the errno of the
    // failed receive otherwise. -1 while it has not.
    int lostError() const { return m_lostError.load(); }

    // True once the receiving thread has closed the socket and ended: join()
    // then returns at once.
    bool finished() const { return m_finished.load(); }
    void join();

    int socketDescriptor() const { return m_socket; }

private:
    TcpConnection(int socket, ManualResetEvent stop);
    void receive();
    void shutDown();

    const int m_socket;
    const ManualResetEvent m_stop;  // wakes the receiving thread's poll()
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_lostError{-1};
    std::thread m_thread;
    bool m_socketClosed = false;  // receiving thread once started, owner before

    // Receiving thread only.
    FrameSink m_frames;
    MessageSink m_messages;
    std::shared_ptr<FrameHandOver> m_handOver;
    const log::Clock* m_clock = &log::systemClock();
    FrameAssembler m_assembler;
    char m_buffer[kReceiveBlock];
};

}  // namespace varno::link
