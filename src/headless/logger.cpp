#include "headless/logger.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>

#include "decode/frame_rules.h"
#include "link/failure_text.h"
#include "link/frame_hand_over.h"
#include "link/link_status.h"
#include "link/manual_reset_event.h"
#include "link/serial_wnd.h"
#include "link/tcp_link.h"
#include "log/frame_log.h"
#include "log/log_file.h"
#include "log/log_lines.h"
#include "sys/errno_text.h"

namespace varno::headless {

namespace {

std::int64_t steadyMs()
{
    return link::FrameHandOver::steadyMilliseconds();
}

std::int64_t clockMs(const log::Clock& clock)
{
    const log::ClockReading now = clock.nowMillis();
    return now.seconds * 1000 + now.milliseconds;
}

std::string seconds(int ms)
{
    return std::to_string((ms + 999) / 1000) + " s";
}

// The signals a run takes through its descriptor.
class SignalTaker {
public:
    SignalTaker()
    {
        sigemptyset(&m_set);
        for (int s : {SIGTERM, SIGINT, SIGUSR1})
            sigaddset(&m_set, s);
        // Blocked before any thread starts, so that every thread inherits it
        // and the descriptor alone takes them.
        pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
        m_fd = ::signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~SignalTaker()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SignalTaker(const SignalTaker&) = delete;
    SignalTaker& operator=(const SignalTaker&) = delete;

    int fd() const { return m_fd; }
    // The next signal taken, 0 when none is pending.
    int take() const
    {
        signalfd_siginfo info{};
        return ::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo)
                                                                                     : 0;
    }

private:
    sigset_t m_set{};
    sigset_t m_previous{};
    int m_fd = -1;
};

// The log of the run: the file of the day, renewed at midnight by the frames'
// own arrival times, as the window renews its own.
class DailyLog {
public:
    DailyLog(const log::Clock& clock, std::string directory) : m_clock(clock), m_directory(std::move(directory)) {}

    // Opens the file named after now; the failure message when it fails.
    std::optional<std::string> open()
    {
        m_file.close();
        const std::int64_t now = m_clock.nowSeconds();
        m_path = m_directory + "/" + log::logFileName(m_clock, now);
        if (const log::LogResult result = m_file.open(m_path); result != log::LogResult::Ok)
            return log::failureMessage(log::kOpenFailedText, m_path, result, m_file.lastErrno());
        if (const log::LogResult result = m_file.append(log::kLogHeader); result != log::LogResult::Ok)
            return log::failureMessage(log::kWriteFailedText, m_path, result, m_file.lastErrno());
        m_openTime = now;
        m_day = log::formatLocalTime(m_clock, now, log::kDayFormat);
        return std::nullopt;
    }

    // Whether a frame that arrived at `at` belongs to a new day's file.
    bool newDay(log::ClockReading at) const { return log::newLogDay(m_clock, at.seconds, m_day, m_openTime).has_value(); }

    // Lines go to the file together, once per batch of frames taken: they
    // waited that long in the hand-over anyway, and one write for a batch
    // costs a service next to a reader far less than one per frame.
    void add(const std::string& line) { m_pending += line; }

    // Writes what was added, whole lines only: on a failure the file is cut
    // back to where the batch began.
    std::optional<std::string> write()
    {
        if (m_pending.empty())
            return std::nullopt;
        const log::LogResult result = m_file.append(m_pending);
        m_pending.clear();
        if (result != log::LogResult::Ok)
            return log::failureMessage(log::kWriteFailedText, m_path, result, m_file.lastErrno());
        return std::nullopt;
    }

    void close() { m_file.close(); }
    const std::string& path() const { return m_path; }

private:
    const log::Clock& m_clock;
    const std::string m_directory;
    log::LogFile m_file;
    std::string m_path;
    std::string m_pending;
    std::string m_day;
    std::int64_t m_openTime = 0;
};

class Run {
public:
    Run(const Options& options, std::FILE* report, const log::Clock& clock)
        : m_options(options), m_report(report), m_clock(clock), m_log(clock, options.logDirectory)
    {
        m_handOver = std::make_shared<link::FrameHandOver>([this] { m_wake.set(); }, link::FrameHandOver::kDefaultLimit,
                                                           &link::FrameHandOver::steadyMilliseconds, kHandOverPaceMs);
    }

    int run();

private:
    void say(const std::string& event, std::string detail)
    {
        // One line each: a message's cause, on a line of its own in a box, follows a colon here.
        for (std::size_t at = detail.find('\n'); at != std::string::npos; at = detail.find('\n', at))
            detail.replace(at, 1, ": ");
        const std::string line = reportLine(m_clock, m_clock.nowMillis(), event, detail) + "\n";
        std::fputs(line.c_str(), m_report);
        std::fflush(m_report);
    }
    std::string source() const
    {
        return m_options.source == Options::Source::Tcp ? m_options.host + ":" + std::to_string(m_options.port)
                                                        : m_options.device;
    }

    // ---- The link ----
    bool linkOpen() const { return m_tcp != nullptr || m_serial.IsOpen(); }
    void tryToOpen();
    void openTcp();
    void openSerial();
    // Closes a link that ended by itself and plans the next try.
    void noticeLoss();
    void closeLink();

    // ---- The frames ----
    // Takes every frame handed over so far; false after a log failure.
    bool takeFrames();
    bool logFrame(int kind, const link::FrameEvent& event);

    void status();

    const Options& m_options;
    std::FILE* const m_report;
    const log::Clock& m_clock;
    DailyLog m_log;
    log::FrameTimes m_times;
    link::ManualResetEvent m_wake;
    std::shared_ptr<link::FrameHandOver> m_handOver;
    link::LinkStatus m_status;
    std::uint64_t m_frames = 0;
    std::int64_t m_lastFrameMs = -1;  // the last frame's arrival, log clock
    std::string m_failure;  // the log failure that ends the run

    std::unique_ptr<link::TcpConnection> m_tcp;
    link::CSerialWnd m_serial;
    // A loss told by the link's thread: -1 while none, else its errno.
    std::atomic<int> m_lost{-1};
    std::int64_t m_nextTryMs = 0;  // steady clock
    int m_retryMs = 0;             // the pause before the next try at a server
    std::string m_lastAbsence;     // what the last failed try at the device said
};

int Run::run()
{
    const SignalTaker signals;
    if (signals.fd() < 0 || !m_wake.ok()) {
        say("failed", "no descriptor for signals or wake-ups: " + sys::errnoText(errno));
        return kExitLogFailure;
    }
    std::string started = m_options.raw ? "raw " : "";
    started += m_options.source == Options::Source::Tcp ? "tcp " : "serial ";
    started += source();
    if (m_options.source == Options::Source::Serial)
        started.append(" ").append(std::to_string(m_options.baudRate));
    say("started", started);
    if (const auto failure = m_log.open()) {
        say("failed", *failure);
        return kExitLogFailure;
    }
    say("log", m_log.path());

    std::int64_t nextStatusMs = steadyMs() + kStatusIntervalMs;
    bool stopping = false;
    int exitStatus = kExitStopped;
    while (!stopping) {
        if (!linkOpen() && steadyMs() >= m_nextTryMs)
            tryToOpen();

        const std::int64_t now = steadyMs();
        std::int64_t until = nextStatusMs;
        if (!linkOpen())
            until = std::min(until, m_nextTryMs);
        const int timeout = static_cast<int>(std::clamp<std::int64_t>(until - now, 0, kStatusIntervalMs));
        const link::ManualResetEvent::Waited waited = m_wake.waitWith(signals.fd(), POLLIN, timeout);
        if (waited.failed) {
            say("failed", "poll: " + sys::errnoText(errno));
            exitStatus = kExitLogFailure;
            break;
        }
        if (waited.set && !takeFrames()) {
            exitStatus = kExitLogFailure;
            break;
        }
        if (m_lost.load() >= 0)
            noticeLoss();
        for (int s = (waited.revents & POLLIN) != 0 ? signals.take() : 0; s != 0; s = signals.take()) {
            if (s == SIGUSR1) {
                status();
            } else {
                say("stopping", s == SIGTERM ? "SIGTERM" : "SIGINT");
                stopping = true;
            }
        }
        if (steadyMs() >= nextStatusMs) {
            status();
            nextStatusMs = steadyMs() + kStatusIntervalMs;
        }
    }

    // Stop reading, then log every frame already read.
    closeLink();
    if (exitStatus == kExitStopped && !takeFrames())
        exitStatus = kExitLogFailure;
    m_log.close();
    if (exitStatus == kExitLogFailure && !m_failure.empty())
        say("failed", m_failure);
    say("stopped", "frames=" + std::to_string(m_frames) + " log=" + m_log.path());
    return exitStatus;
}

void Run::tryToOpen()
{
    if (m_options.source == Options::Source::Tcp)
        openTcp();
    else
        openSerial();
}

void Run::openTcp()
{
    const std::string where = source();
    link::TcpOpenFailure failure;
    // A name is looked up at every try: a gateway's address may change.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int code = ::getaddrinfo(m_options.host.c_str(), nullptr, &hints, &found); code != 0) {
        failure = {link::TcpOpenFailure::Resolve, code};
    } else {
        const std::uint32_t address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
        ::freeaddrinfo(found);
        m_tcp = link::TcpConnection::open(address, m_options.port, link::TcpConnection::kDefaultConnectTimeoutMs, failure);
    }
    if (m_tcp == nullptr) {
        m_retryMs = nextRetryMs(m_retryMs);
        m_nextTryMs = steadyMs() + m_retryMs;
        say("unreachable", link::tcpOpenCause(where, failure, link::TcpConnection::kDefaultConnectTimeoutMs) +
                               "; next try in " + seconds(m_retryMs));
        return;
    }
    m_retryMs = 0;
    m_lost.store(-1);
    link::TcpConnection* connection = m_tcp.get();
    m_tcp->start(
        link::handOverSink(m_handOver),
        [this, connection](const std::string&) {
            // Its loss, or a failure of its shutdown: only the loss matters here.
            if (const int lost = connection->lostError(); lost >= 0) {
                int none = -1;
                if (m_lost.compare_exchange_strong(none, lost))
                    m_wake.set();
            }
        },
        m_handOver, m_clock);
    m_status.tcpConnected(where, clockMs(m_clock));
    say("connected", where);
}

void Run::openSerial()
{
    link::NotifyTarget target;
    target.frames = link::handOverSink(m_handOver);
    target.handOver = m_handOver;
    target.ended = [this](int error) {
        int none = -1;
        if (m_lost.compare_exchange_strong(none, error))
            m_wake.set();
    };
    target.clock = &m_clock;
    m_lost.store(-1);
    const std::int32_t error = link::openPort(m_serial, m_options.device.c_str(), std::move(target), m_options.baudRate);
    if (error != link::kResultOk) {
        m_nextTryMs = steadyMs() + kSerialRetryMs;
        // Said once, not every second while the device stays away.
        const std::string absence = link::serialOpenCause(m_options.device, error);
        if (absence != m_lastAbsence)
            say("unavailable", absence + "; looked for every " + seconds(kSerialRetryMs));
        m_lastAbsence = absence;
        return;
    }
    m_lastAbsence.clear();
    m_status.serialOpened(m_options.device, m_options.baudRate, clockMs(m_clock));
    say("opened", m_options.device + " " + std::to_string(m_options.baudRate));
}

void Run::noticeLoss()
{
    const int error = m_lost.exchange(-1);
    if (error < 0 || !linkOpen())
        return;
    if (m_tcp != nullptr) {
        closeLink();
        m_retryMs = nextRetryMs(0);
        m_nextTryMs = steadyMs() + m_retryMs;
        say("lost", link::tcpLostCause(source(), error) + "; next try in " + seconds(m_retryMs));
    } else {
        closeLink();
        m_nextTryMs = steadyMs() + kSerialRetryMs;
        say("lost", link::serialLostCause(m_options.device, error) + "; looked for every " + seconds(kSerialRetryMs));
    }
    m_status.lost();
}

void Run::closeLink()
{
    if (m_tcp != nullptr) {
        m_tcp->requestStop();
        m_tcp->join();
        m_tcp.reset();
    }
    if (m_serial.IsOpen())
        m_serial.Close();
}

bool Run::takeFrames()
{
    m_wake.clear();
    m_handOver->woken();
    int kind = 0;
    std::unique_ptr<link::FrameEvent> event;
    while (m_handOver->take(kind, event)) {
        if (!logFrame(kind, *event))
            return false;
    }
    if (const auto failure = m_log.write()) {
        m_failure = *failure;
        return false;
    }
    return true;
}

bool Run::logFrame(int kind, const link::FrameEvent& event)
{
    (void)kind;  // the text alone chooses the decoder, as in the window
    ++m_frames;
    m_lastFrameMs = event.arrivalTime.seconds * 1000 + event.arrivalTime.milliseconds;
    m_status.frameReceived(m_lastFrameMs);
    const log::ClockReading at = event.arrivalTime;
    if (m_log.newDay(at)) {
        // The old day's lines go into the old day's file.
        if (auto failure = m_log.write(); failure || (failure = m_log.open())) {
            m_failure = *failure;
            return false;
        }
        say("log", m_log.path());
    }

    const std::string bracketed = decode::bracketFrame(event.text);
    std::string line;
    if (m_options.raw) {
        m_times.step(at);
        line = log::rawFrameLine(m_clock, at, bracketed);
    } else if (decode::classifyFrame(bracketed) == decode::FrameClass::Debug) {
        const decode::DebugFields fields = decode::cutDebugFrame(bracketed);
        if (m_options.filterOn && !decode::passesTagFilter(fields.tagId, m_options.filterLow, m_options.filterHigh))
            return true;
        line = log::debugFrameLine(m_clock, at, m_times.step(at), bracketed, fields);
    } else {
        const auto fields = decode::cutReaderFrame(bracketed);
        if (!fields)
            return true;  // not a reader frame's length: dropped in silence
        if (m_options.filterOn && !decode::passesTagFilter(fields->tagId, m_options.filterLow, m_options.filterHigh))
            return true;
        line = log::readerFrameLine(m_clock, at, m_times.step(at), bracketed, *fields);
    }
    m_log.add(line);
    return true;
}

void Run::status()
{
    const std::int64_t now = clockMs(m_clock);
    std::string detail = "frames=" + std::to_string(m_frames) + " fps=" + std::to_string(m_status.framesPerSecond(now));
    if (m_lastFrameMs < 0) {
        detail += " last=none";
    } else {
        const std::int64_t since = std::max<std::int64_t>(0, now - m_lastFrameMs);
        detail += " last=" + std::to_string(since / 1000) + "." + std::to_string(since % 1000 / 100) + "s";
    }
    detail += " log=" + m_log.path();
    say("status", detail);
}

}  // namespace

int nextRetryMs(int previousMs)
{
    if (previousMs <= 0)
        return kFirstRetryMs;
    return std::min(previousMs * 2, kLongestRetryMs);
}

std::string reportLine(const log::Clock& clock, log::ClockReading at, const std::string& event,
                       const std::string& detail)
{
    std::string stamp = log::formatLocalTime(clock, at.seconds, "%Y-%m-%dT%H:%M:%S");
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03u", static_cast<unsigned>(at.milliseconds));
    stamp += millis;
    // ISO 8601's offset has a colon: +0100 becomes +01:00.
    const std::string offset = log::formatLocalTime(clock, at.seconds, "%z");
    if (offset.size() == 5)
        stamp.append(offset, 0, 3).append(":").append(offset, 3, 2);
    else
        stamp += offset;
    stamp.append(" ").append(event);
    if (!detail.empty())
        stamp.append(" ").append(detail);
    return stamp;
}

int run(const Options& options, std::FILE* report, const log::Clock& clock)
{
    Run run(options, report, clock);
    return run.run();
}

}  // namespace varno::headless
