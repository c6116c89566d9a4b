#pragma once
// The varno-sim executable run as a child process, its standard output and
// error read through pipes, and a loopback TCP client for it.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace varno::sim::testing {

using namespace std::chrono_literals;

class SimProcess {
public:
    // varno-sim with `args`.
    explicit SimProcess(const std::vector<std::string>& args);
    // Any executable with `args`.
    SimProcess(const std::string& executable, const std::vector<std::string>& args);
    ~SimProcess();  // kills the child if it still runs
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line of standard output (without its '\n'); empty on end or timeout.
    std::string readLine(std::chrono::milliseconds timeout = 20s);
    // Standard error up to a line holding `text`; false on end or timeout.
    bool waitForError(const std::string& text, std::chrono::milliseconds timeout = 20s);
    // Everything on standard output until it closes (or the timeout).
    std::string readAll(std::chrono::milliseconds timeout = 30s);
    void closeOutput();
    void signal(int number);
    // The exit status, or -1 when the child was killed by a signal or did not end in time.
    int wait(std::chrono::milliseconds timeout = 30s);
    const std::string& errors() const { return m_errText; }

private:
    bool fill(int fd, std::string& into, std::chrono::steady_clock::time_point deadline);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outText;
    std::string m_errText;
    std::size_t m_errSeen = 0;
};

// Connects to 127.0.0.1:port; -1 on failure.
int connectLoopback(int port);
// Reads from `fd` until end of stream (or the timeout).
std::string readUntilEnd(int fd, std::chrono::milliseconds timeout = 30s);
// Reads from `fd` until `enough(bytesSoFar)` holds (or end, or the timeout).
template <typename Enough>
std::string readUntil(int fd, Enough enough, std::chrono::milliseconds timeout = 30s);

std::string readSome(int fd, std::chrono::milliseconds timeout);  // one read; empty at the end

template <typename Enough>
std::string readUntil(int fd, Enough enough, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string bytes;
    while (!enough(bytes) && std::chrono::steady_clock::now() < deadline) {
        const std::string part = readSome(fd, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  deadline - std::chrono::steady_clock::now()));
        if (part.empty())
            break;
        bytes += part;
    }
    return bytes;
}

}  // namespace varno::sim::testing
