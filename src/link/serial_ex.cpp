#include "link/serial_ex.h"

#include <cerrno>
#include <string_view>
#include <system_error>

#include "link/pause.h"

namespace varno::link {

CSerialEx::~CSerialEx()
{
    if (listenerThread.joinable() || stopEvent)
        CSerialEx::Close();
}

std::int32_t CSerialEx::Open(const char* device, std::uint32_t inputQueue, std::uint32_t outputQueue)
{
    if (CSerial::Open(device, inputQueue, outputQueue) != kResultOk)
        return lastError;
    stopEvent.emplace();
    if (!stopEvent->ok()) {
        const int error = stopEvent->error();
        stopEvent.reset();
        CSerial::Close();
        return fail(error);
    }
    return result(kResultOk);
}

std::int32_t CSerialEx::Close()
{
    StopListening(kNoTimeout);
    stopEvent.reset();
    return CSerial::Close();
}

std::int32_t CSerialEx::StartListening()
{
    if (!listenerThread.joinable()) {
        // A stop asked of an earlier listener must not end this one at once.
        if (stopEvent)
            stopEvent->clear();
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
        if (stopEvent)
            stopEvent->set();
        listenerThread.join();
    }
    return result(kResultOk);
}

void CSerialEx::ListenerProcedure()
{
    Overlapped overlapped{stopEvent ? stopEvent->fd() : -1, false};
    FrameAssembler assembler;
    FrameHandOver* const handOver = HandOver();
    while (!stopRequested.load()) {
        // While the window is owed a wake-up for frames already handed over,
        // the wait for more bytes ends in time to post it.
        const int wakeDue = handOver != nullptr ? handOver->wakeDueInMs() : -1;
        const std::int32_t awaited =
            AwaitEvent(&overlapped, wakeDue < 0 ? kNoTimeout : static_cast<std::uint32_t>(wakeDue));
        if (awaited == kResultTimeout && !overlapped.stopped) {
            handOver->wakeIfDue();
            continue;
        }
        // A failed wait means the device has gone away: the listener ends and
        // says so below.
        if (awaited != kResultOk || overlapped.stopped)
            break;
        const std::uint32_t events = eventWord.exchange(0) & eventMask.load();
        // Bytes that came with a line error stay queued; the next wait reports
        // them again as plain characters, since they are still there.
        if ((events & kCharReceived) != 0 && (events & kLineError) == 0) {
            if (!DrainInput(assembler, handOver))
                break;
        }
    }
    // Whatever was handed over reaches the window; a frame still open is
    // dropped with the assembler. The listener counts as ended before it says
    // so: whoever hears of it finds it no longer running.
    if (handOver != nullptr)
        handOver->flush();
    const bool endedByItself = !stopRequested.load() && !overlapped.stopped;
    listenerActive.store(false);
    if (endedByItself)
        ListenerEnded(lastError.load());
}

bool CSerialEx::DrainInput(FrameAssembler& assembler, FrameHandOver* handOver)
{
    char buffer[4096];
    auto post = [this](int kind, std::unique_ptr<FrameEvent> event) { PostFrameEvent(kind, std::move(event)); };
    const log::Clock& clock = ArrivalClock();
    for (;;) {
        // A stream that never pauses must not keep a stop waiting.
        if (stopRequested.load(std::memory_order_relaxed))
            return false;
        if (handOver != nullptr && !handOver->waitForRoom(*stopEvent))
            return false;
        const long n = readQueued(buffer, sizeof buffer);
        if (n < 0) {
            fail(errno);
            return false;
        }
        if (n == 0)
            return true;
        // One reading for every frame these bytes complete: they were all
        // there by now.
        assembler.feed(std::string_view(buffer, static_cast<std::size_t>(n)), clock.nowMillis(), post);
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
