#pragma once
// A serial port with a listener thread: the thread sleeps in poll() on the
// device and on a stop event, reads the queued bytes as soon as they are there,
// stamps each read with the log's clock, cuts the bytes into frames with its
// own FrameAssembler and hands every frame to PostFrameEvent. When the frames
// go to a window's hand-over (frame_hand_over.h), the listener also posts the
// window's owed wake-up when its time comes.
//
// Threads: the owner's thread calls every public operation. The listener
// thread runs ListenerProcedure only; it reads `handle`, `eventMask`,
// `stopEvent` and the stop flag, writes `eventWord` and `lastError`, and calls
// PostFrameEvent. The device and `stopEvent` are closed only after the
// listener has been joined, so it never reads a closed descriptor. A class
// that implements the notifications stops the listener in its own destructor,
// before the notifications it implements go away.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include <optional>

#include "link/frame_assembler.h"
#include "link/frame_event.h"
#include "link/frame_hand_over.h"
#include "link/manual_reset_event.h"
#include "link/serial.h"
#include "log/clock.h"

namespace varno::link {

class CSerialEx : public CSerial {
public:
    CSerialEx() = default;
    ~CSerialEx() override;

    // The serial open, plus the stop event. Does not start the listener.
    std::int32_t Open(const char* device, std::uint32_t inputQueue = 0, std::uint32_t outputQueue = 0) override;
    // Stops the listener, then closes the port.
    std::int32_t Close() override;

    // Starts the listener unless it is already recorded.
    virtual std::int32_t StartListening();
    // Wakes the listener through the stop event and joins it. The stop
    // event ends every wait of the listener at once, so the join is
    // prompt; `timeoutMs` bounds nothing: giving up on a live thread would let
    // it read a closed descriptor or a freed object. Always returns 0.
    virtual std::int32_t StopListening(std::uint32_t timeoutMs = kNoTimeout);
    // Called on the listener thread.
    virtual void PostCommEvent(std::uint32_t event, std::uint32_t error) = 0;
    virtual void PostFrameEvent(int kind, std::unique_ptr<FrameEvent> event) = 0;
    // Called on the listener thread when it ends by itself, not asked to: the
    // device has gone away. `error` is the errno of the failed wait or read.
    virtual void ListenerEnded(std::int32_t error) { (void)error; }

    // The listener thread is recorded (it may have ended by itself).
    bool ListenerRecorded() const { return listenerThread.joinable(); }
    // The listener thread is recorded and still running.
    bool ListenerRunning() const { return listenerThread.joinable() && listenerActive.load(); }

protected:
    // Read on the listener thread. The clock that stamps the frames.
    virtual const log::Clock& ArrivalClock() const { return log::systemClock(); }
    // The hand-over the frames go to, whose backlog and pacing the listener
    // follows; none by default.
    virtual FrameHandOver* HandOver() const { return nullptr; }

    std::thread listenerThread;
    std::optional<ManualResetEvent> stopEvent;  // set once a stop is asked

private:
    void ListenerProcedure();
    // Reads what is queued and feeds it to the assembler; false when the
    // device has gone away or a stop was asked.
    bool DrainInput(FrameAssembler& assembler, FrameHandOver* handOver);

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> listenerActive{false};
};

// The second half of the port opening sequence, after a successful open and
// its 100 ms pause: baud rate, 8 data bits, no parity, one stop bit,
// non-blocking reads, no flow control, DTR then RTS raised. Failures are not
// reported: the link counts as open (a pseudo-terminal refuses DTR and RTS).
void finishPortOpening(CSerial& port, std::uint32_t baudRate);

// The port shutdown sequence: stop the listener, 250 ms, purge, 1000 ms,
// close, 250 ms.
void runPortShutdown(CSerialEx& port);

}  // namespace varno::link
