#include "link/serial.h"

#include "link/line_settings.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace varno::link {

namespace {

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// What is left of a timeout started at `startMs`, as poll() takes it.
int remainingMs(std::uint32_t timeoutMs, std::int64_t startMs)
{
    if (timeoutMs == kNoTimeout)
        return -1;
    const std::int64_t left = static_cast<std::int64_t>(timeoutMs) - (nowMs() - startMs);
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, INT_MAX));
}

constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

std::uint32_t lineEventsBetween(const LineCounters& before, const LineCounters& after)
{
    if (!before.valid || !after.valid)
        return 0;
    std::uint32_t events = 0;
    if (after.breaks != before.breaks)
        events |= kBreakReceived;
    if (after.framing != before.framing || after.overrun != before.overrun || after.parity != before.parity
        || after.bufferOverrun != before.bufferOverrun)
        events |= kLineError;
    return events;
}

CSerial::~CSerial()
{
    if (IsOpen()) {
        ::ioctl(handle, TIOCNXCL);
        ::close(handle);
        handle = -1;
    }
}

std::int32_t CSerial::result(std::int32_t code)
{
    lastError.store(code, std::memory_order_relaxed);
    return code;
}

std::int32_t CSerial::fail(int error)
{
    // A failure without an errno still must not read as success.
    return result(error != 0 ? error : EIO);
}

bool CSerial::closed()
{
    if (IsOpen())
        return false;
    result(kResultPortClosed);
    return true;
}

std::int32_t CSerial::Open(const char* device, std::uint32_t inputQueue, std::uint32_t outputQueue)
{
    (void)inputQueue;
    (void)outputQueue;
    result(kResultOk);
    if (IsOpen())
        return result(kResultAlreadyOpen);
    if (device == nullptr)
        return fail(ENOENT);

    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    auto refuse = [this, fd](int error) {
        ::close(fd);
        return fail(error);
    };
    // The advisory lock refuses a second opener even when TIOCEXCL does not
    // (root passes TIOCEXCL); TIOCEXCL keeps out openers that do not lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return refuse(errno);  // not a terminal
    if (::ioctl(fd, TIOCEXCL) != 0)
        return refuse(errno);
    ::cfmakeraw(&tio);
    // CLOCAL: a reader without carrier detect must not hang the line up.
    tio.c_cflag |= CLOCAL | CREAD;
    // VMIN 1 makes an empty queue read as EAGAIN and a hang-up as end of file.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int error = errno;
        ::ioctl(fd, TIOCNXCL);
        return refuse(error);
    }

    handle = fd;
    eventCharacter = 0;
    counters = readCounters();
    SetEventMask(kCharReceived | kBreakReceived | kLineError);
    return SetReadMode(kReadNonBlocking);
}

std::int32_t CSerial::Close()
{
    result(kResultOk);
    if (IsOpen()) {
        // The exclusive flag outlives our descriptor on a tty that stays
        // allocated (a pseudo-terminal's slave): give it back.
        ::ioctl(handle, TIOCNXCL);
        ::close(handle);
        handle = -1;
        eventMask.store(0);
        eventWord.store(0);
    }
    return kResultOk;
}

std::int32_t CSerial::ConfigureLine(std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity,
                                    std::uint8_t stopBits)
{
    if (closed())
        return kResultPortClosed;
    termios tio{};
    if (::tcgetattr(handle, &tio) != 0)
        return fail(errno);
    if (const int error = setLine(tio, baudRate, dataBits, parity, stopBits); error != 0)
        return fail(error);
    if (::tcsetattr(handle, TCSANOW, &tio) != 0)
        return fail(errno);
    return result(kResultOk);
}

std::int32_t CSerial::SetEventCharacter(char character, bool adjustMask)
{
    if (closed())
        return kResultPortClosed;
    eventCharacter = character;
    if (adjustMask && SetEventMask(GetEventMask() | kEventCharReceived) != kResultOk)
        return lastError;
    return result(kResultOk);
}

std::int32_t CSerial::SetEventMask(std::uint32_t bits)
{
    if (closed())
        return kResultPortClosed;
    eventMask.store(bits);
    return result(kResultOk);
}

int CSerial::waitDevice(short events, Overlapped* overlapped, std::uint32_t timeoutMs, std::int64_t startMs)
{
    pollfd fds[2] = {{handle, events, 0}, {-1, POLLIN, 0}};
    nfds_t count = 1;
    if (overlapped != nullptr && overlapped->stopFd >= 0) {
        fds[1].fd = overlapped->stopFd;
        count = 2;
    }
    for (;;) {
        const int ready = ::poll(fds, count, remainingMs(timeoutMs, startMs));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (ready == 0)
            return 0;
        if (count == 2 && fds[1].revents != 0) {
            overlapped->stopped = true;
            return 0;
        }
        return fds[0].revents;
    }
}

std::int32_t CSerial::AwaitEvent(Overlapped* overlapped, std::uint32_t timeoutMs)
{
    if (closed())
        return kResultPortClosed;
    if (overlapped != nullptr)
        overlapped->stopped = false;
    const std::int64_t start = nowMs();
    for (;;) {
        const std::uint32_t mask = eventMask.load();
        const short watch = (mask & kCharReceived) != 0 ? POLLIN : 0;
        const int revents = waitDevice(watch, overlapped, timeoutMs, start);
        if (revents < 0)
            return fail(errno);
        if (revents == 0)
            return result(overlapped != nullptr && overlapped->stopped ? kResultOk : kResultTimeout);

        const bool input = (revents & POLLIN) != 0;
        if ((revents & kGone) != 0) {
            // The device has gone away, unless bytes it sent are still queued:
            // those are read first, and the next wait fails.
            int queued = 0;
            if (!input || ::ioctl(handle, FIONREAD, &queued) != 0 || queued <= 0)
                return fail(EIO);
        }
        std::uint32_t events = 0;
        if (input) {
            events |= kCharReceived;
            // A driver without counters at open never has them.
            if (counters.valid) {
                const LineCounters now = readCounters();
                events |= lineEventsBetween(counters, now);
                counters = now;
            }
        }
        events &= mask;
        if (events != 0) {
            eventWord.store(events);
            return result(kResultOk);
        }
    }
}

std::int32_t CSerial::SetHandshake(int mode)
{
    if (closed())
        return kResultPortClosed;
    if (mode < kHandshakeOff || mode > kHandshakeSoftware)
        return result(kResultInvalidArgument);
    termios tio{};
    if (::tcgetattr(handle, &tio) != 0)
        return fail(errno);
    setHandshake(tio, mode);
    if (::tcsetattr(handle, TCSANOW, &tio) != 0)
        return fail(errno);
    return result(kResultOk);
}

std::int32_t CSerial::SetReadMode(int mode)
{
    if (closed())
        return kResultPortClosed;
    if (mode != kReadNonBlocking && mode != kReadBlocking)
        return result(kResultInvalidArgument);
    readMode.store(mode);
    return result(kResultOk);
}

std::int32_t CSerial::GetBaudRate()
{
    termios tio{};
    return readLine(tio) ? baudRateOf(tio) : -1;
}

std::int32_t CSerial::GetDataBits()
{
    termios tio{};
    return readLine(tio) ? dataBitsOf(tio) : -1;
}

std::int32_t CSerial::GetParity()
{
    termios tio{};
    return readLine(tio) ? parityOf(tio) : -1;
}

std::int32_t CSerial::GetStopBits()
{
    termios tio{};
    return readLine(tio) ? stopBitsOf(tio) : -1;
}

std::int32_t CSerial::GetHandshake()
{
    termios tio{};
    return readLine(tio) ? handshakeOf(tio) : -1;
}

bool CSerial::readLine(termios& tio)
{
    if (closed())
        return false;
    if (::tcgetattr(handle, &tio) != 0) {
        fail(errno);
        return false;
    }
    result(kResultOk);
    return true;
}

std::uint32_t CSerial::GetEventMask()
{
    if (closed())
        return 0;
    result(kResultOk);
    return eventMask.load();
}

char CSerial::GetEventCharacter()
{
    if (closed())
        return 0;
    result(kResultOk);
    return eventCharacter;
}

std::int32_t CSerial::WriteText(const char* text, std::size_t* written, Overlapped* overlapped,
                                std::uint32_t timeoutMs)
{
    return Write(text, text != nullptr ? std::strlen(text) : 0, written, overlapped, timeoutMs);
}

std::int32_t CSerial::Write(const void* data, std::size_t size, std::size_t* written, Overlapped* overlapped,
                            std::uint32_t timeoutMs)
{
    if (written != nullptr)
        *written = 0;
    if (closed())
        return kResultPortClosed;
    if (overlapped != nullptr)
        overlapped->stopped = false;
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    std::int32_t code = kResultOk;
    const std::int64_t start = nowMs();
    while (done < size) {
        const ssize_t n = ::write(handle, bytes + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            code = fail(errno);
            break;
        }
        if (!awaitTransfer(POLLOUT, overlapped, timeoutMs, start, code))
            break;
    }
    if (written != nullptr)
        *written = done;
    return result(code);
}

bool CSerial::awaitTransfer(short events, Overlapped* overlapped, std::uint32_t timeoutMs, std::int64_t startMs,
                            std::int32_t& code)
{
    const int revents = waitDevice(events, overlapped, timeoutMs, startMs);
    if (revents < 0) {
        code = fail(errno);
        return false;
    }
    if (revents == 0) {
        code = overlapped != nullptr && overlapped->stopped ? kResultOk : kResultTimeout;
        return false;
    }
    if ((revents & kGone) != 0 && (revents & events) == 0) {
        code = fail(EIO);
        return false;
    }
    return true;
}

long CSerial::readQueued(void* buffer, std::size_t size) const
{
    if (size == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(handle, buffer, size);
        if (n > 0)
            return static_cast<long>(n);
        if (n == 0) {
            errno = EIO;  // end of file: the line was hung up
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

std::int32_t CSerial::Read(void* buffer, std::size_t size, std::size_t* read, Overlapped* overlapped,
                           std::uint32_t timeoutMs)
{
    if (read != nullptr)
        *read = 0;
    if (closed())
        return kResultPortClosed;
    if (overlapped != nullptr)
        overlapped->stopped = false;
    auto* bytes = static_cast<char*>(buffer);
    const bool blocking = readMode.load() == kReadBlocking;
    std::size_t done = 0;
    std::int32_t code = kResultOk;
    const std::int64_t start = nowMs();
    while (done < size) {
        const long n = readQueued(bytes + done, size - done);
        if (n < 0) {
            code = fail(errno);
            break;
        }
        done += static_cast<std::size_t>(n);
        if (!blocking || done == size)
            break;
        if (n > 0)
            continue;
        if (!awaitTransfer(POLLIN, overlapped, timeoutMs, start, code))
            break;
    }
    if (read != nullptr)
        *read = done;
    return result(code);
}

std::int32_t CSerial::Purge()
{
    if (closed())
        return kResultPortClosed;
    if (::tcflush(handle, TCIOFLUSH) != 0)
        return fail(errno);
    return result(kResultOk);
}

std::int32_t CSerial::RaiseDtr()
{
    if (closed())
        return kResultPortClosed;
    int bits = TIOCM_DTR;
    if (::ioctl(handle, TIOCMBIS, &bits) != 0)
        return fail(errno);
    return result(kResultOk);
}

std::int32_t CSerial::RaiseRts()
{
    if (closed())
        return kResultPortClosed;
    int bits = TIOCM_RTS;
    if (::ioctl(handle, TIOCMBIS, &bits) != 0)
        return fail(errno);
    return result(kResultOk);
}

LineCounters CSerial::readCounters() const
{
    LineCounters c;
    serial_icounter_struct ic{};
    if (::ioctl(handle, TIOCGICOUNT, &ic) != 0)
        return c;
    c.valid = true;
    c.breaks = ic.brk;
    c.framing = ic.frame;
    c.overrun = ic.overrun;
    c.parity = ic.parity;
    c.bufferOverrun = ic.buf_overrun;
    return c;
}

}  // namespace varno::link
