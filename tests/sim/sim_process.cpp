#include "sim_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace varno::sim::testing {

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

#ifdef VARNO_SIM_PATH
SimProcess::SimProcess(const std::vector<std::string>& args) : SimProcess(VARNO_SIM_PATH, args) {}
#endif

SimProcess::SimProcess(const std::string& executable, const std::vector<std::string>& args)
{
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    std::string path = executable;
    argv.push_back(path.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
}

SimProcess::~SimProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    closeOutput();
    if (m_err >= 0)
        ::close(m_err);
}

bool SimProcess::fill(int fd, std::string& into, std::chrono::steady_clock::time_point deadline)
{
    pollfd p{fd, POLLIN, 0};
    if (fd < 0 || ::poll(&p, 1, remainingMs(deadline)) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::string SimProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t eol;
    while ((eol = m_outText.find('\n')) == std::string::npos)
        if (!fill(m_out, m_outText, deadline))
            return {};
    std::string line = m_outText.substr(0, eol);
    m_outText.erase(0, eol + 1);
    return line;
}

bool SimProcess::waitForError(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto at = m_errText.find(text, m_errSeen); at != std::string::npos) {
            m_errSeen = at + text.size();  // found once only
            return true;
        }
        if (!fill(m_err, m_errText, deadline))
            return false;
    }
}

std::string SimProcess::readAll(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fill(m_out, m_outText, deadline)) {
    }
    return std::exchange(m_outText, {});
}

void SimProcess::closeOutput()
{
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
}

void SimProcess::signal(int number)
{
    if (m_pid > 0)
        ::kill(m_pid, number);
}

int SimProcess::wait(std::chrono::milliseconds timeout)
{
    if (m_pid <= 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid)
            break;
        if (r < 0 || std::chrono::steady_clock::now() >= deadline)
            return -1;  // the destructor kills it
        std::this_thread::sleep_for(5ms);
    }
    m_pid = -1;
    // Collect what it said on its way out.
    const auto soon = std::chrono::steady_clock::now() + 1s;
    while (fill(m_err, m_errText, soon)) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int connectLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string readSome(int fd, std::chrono::milliseconds timeout)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return {};
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);  // EIO from a pty whose master closed: the end
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string readUntilEnd(int fd, std::chrono::milliseconds timeout)
{
    return readUntil(fd, [](const std::string&) { return false; }, timeout);
}

}  // namespace varno::sim::testing
