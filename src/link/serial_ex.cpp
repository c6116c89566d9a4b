#include "link/serial_ex.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "link/pause.h"
#include "link/receive_rest.h"

namespace varno::link {

CSerialEx::~CSerialEx()
{
    if (listenerThread.joinable() || stopEvent >= 0)
        CSerialEx::Close();
}

std::int32_t CSerialEx::Open(const char* device, std::uint32_t inputQueue, std::uint32_t outputQueue)
{
    if (CSerial::Open(device, inputQueue, outputQueue) != kResultOk)
        return lastError;
    closeStopEvent();
    stopEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopEvent < 0) {
        const int error = errno;
        CSerial::Close();
        return fail(error);
    }
    return result(kResultOk);
}

std::int32_t CSerialEx::Close()
{
    StopListening(kNoTimeout);
    closeStopEvent();
    return CSerial::Close();
}

void CSerialEx::closeStopEvent()
{
    if (stopEvent >= 0) {
        ::close(stopEvent);
        stopEvent = -1;
    }
}

std::int32_t CSerialEx::StartListening()
{
    if (!listenerThread.joinable()) {
        // A stop asked of an earlier listener must not end this one at once.
        if (stopEvent >= 0) {
            eventfd_t ignored = 0;
            ::eventfd_read(stopEvent, &ignored);
        }
        stopRequested.store(false);
        listenerActive.store(true);
        try {
            listenerThread = std::thread(&CSerialEx::ListenerProcedure, this);
        } catch (const std::system_error& e) {
            listenerActive.store(false);
            return fail(e.code().value());
        }
    }
    return result(kResultOk);
}

std::int32_t CSerialEx::StopListening(std::uint32_t timeoutMs)
{
    (void)timeoutMs;
    if (listenerThread.joinable()) {
        stopRequested.store(true);
        if (stopEvent >= 0)
            ::eventfd_write(stopEvent, 1);
        listenerThread.join();
    }
    return result(kResultOk);
}

void CSerialEx::ListenerProcedure()
{
    Overlapped overlapped{stopEvent, false};
    FrameAssembler assembler;
    ReceiveRest rest(stopEvent);
    while (!stopRequested.load()) {
        // A failed wait means the device has gone away: the listener ends and
        // says so below.
        if (AwaitEvent(&overlapped, kNoTimeout) != kResultOk || overlapped.stopped)
            break;
        const std::uint32_t events = eventWord.exchange(0) & eventMask.load();
        // Bytes that came with a line error stay queued; the next wait reports
        // them again as plain characters, since they are still there.
        std::size_t drained = 0;
        if ((events & kCharReceived) != 0 && (events & kLineError) == 0) {
            if (!DrainInput(assembler, drained) || !rest.afterDrain(drained))
                break;
        }
    }
    // A frame still open is dropped with the assembler. The listener counts as
    // ended before it says so: whoever hears of it finds it no longer running.
    const bool endedByItself = !stopRequested.load() && !overlapped.stopped;
    listenerActive.store(false);
    if (endedByItself)
        ListenerEnded(lastError.load());
}

bool CSerialEx::DrainInput(FrameAssembler& assembler, std::size_t& drained)
{
    char buffer[4096];
    auto post = [this](int kind, std::unique_ptr<FrameEvent> event) { PostFrameEvent(kind, std::move(event)); };
    for (;;) {
        // A stream that never pauses must not keep a stop waiting.
        if (stopRequested.load(std::memory_order_relaxed) || !WaitForRoom())
            return false;
        const long n = readQueued(buffer, sizeof buffer);
        if (n < 0) {
            fail(errno);
            return false;
        }
        if (n == 0)
            return true;
        drained += static_cast<std::size_t>(n);
        assembler.feed(std::string_view(buffer, static_cast<std::size_t>(n)), post);
        if (static_cast<std::size_t>(n) < sizeof buffer)
            return true;
    }
}

void finishPortOpening(CSerial& port, std::uint32_t baudRate)
{
    port.ConfigureLine(baudRate, 8, kParityNone, kStopOne);
    port.SetReadMode(kReadNonBlocking);
    port.SetHandshake(kHandshakeOff);
    port.RaiseDtr();
    port.RaiseRts();
}

void runPortShutdown(CSerialEx& port)
{
    port.StopListening(100);
    pause(250);
    port.Purge();
    pause(1000);
    port.Close();
    pause(250);
}

}  // namespace varno::link
