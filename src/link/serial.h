#pragma once
// A serial device over POSIX termios: exclusive open, line settings, transfers
// with a timeout and the wait for line events. Every operation keeps its outcome
// in `lastError` and returns it (0 = success); getters return the value asked
// for. Nothing throws.
//
// Threads: the owner's thread opens, configures and closes the port; one other
// thread (the listener of CSerialEx) may wait, read and write in the meantime.
// `handle` changes only while no other thread uses the port. `lastError`,
// `eventWord`, `eventMask` and the read mode are touched by both, hence atomic.

#include <atomic>
#include <cstddef>
#include <cstdint>

struct termios;

namespace varno::link {

// Result codes kept in `lastError`. Any other value is the errno of the system
// call that failed.
inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultPortClosed = 6;
inline constexpr std::int32_t kResultAlreadyOpen = 1247;
inline constexpr std::int32_t kResultTimeout = 1460;
inline constexpr std::int32_t kResultInvalidArgument = static_cast<std::int32_t>(0x80070057u);

// A timeout argument meaning "no limit".
inline constexpr std::uint32_t kNoTimeout = 0xFFFFFFFFu;

// Line event bits of `eventMask` and `eventWord`.
enum LineEvent : std::uint32_t {
    kCharReceived = 0x0001,
    kEventCharReceived = 0x0002,
    kOutputEmpty = 0x0004,
    kCtsChanged = 0x0008,
    kDsrChanged = 0x0010,
    kCarrierChanged = 0x0020,
    kBreakReceived = 0x0040,
    kLineError = 0x0080,  // framing, overrun or parity
    kRing = 0x0100,
};

// Line setting values.
enum Parity : std::uint8_t { kParityNone = 0, kParityOdd = 1, kParityEven = 2, kParityMark = 3, kParitySpace = 4 };
enum StopBits : std::uint8_t { kStopOne = 0, kStopOneAndHalf = 1, kStopTwo = 2 };
enum Handshake { kHandshakeOff = 0, kHandshakeHardware = 1, kHandshakeSoftware = 2 };
enum ReadMode { kReadNonBlocking = 0, kReadBlocking = 1 };

// A caller's own wait. An operation given one also ends, having done nothing
// more, as soon as `stopFd` becomes readable, and then sets `stopped`: this is
// how a listener waits on the device and on its stop descriptor at once.
struct Overlapped {
    int stopFd = -1;
    bool stopped = false;
};

// The driver's break and line error counters (TIOCGICOUNT). Not every driver
// keeps them (a pseudo-terminal does not): `valid` is false then.
struct LineCounters {
    bool valid = false;
    int breaks = 0;
    int framing = 0;
    int overrun = 0;
    int parity = 0;
    int bufferOverrun = 0;
};

// The line events that happened between two readings of the counters.
std::uint32_t lineEventsBetween(const LineCounters& before, const LineCounters& after);

class CSerial {
public:
    CSerial() = default;
    virtual ~CSerial();
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    // Opens the device for reading and writing, exclusively (no other opener
    // while we hold it), in raw mode with the event mask kCharReceived |
    // kBreakReceived | kLineError and non-blocking reads. Queue sizes are
    // accepted and ignored: the kernel sizes a tty's queues itself.
    virtual std::int32_t Open(const char* device, std::uint32_t inputQueue = 0, std::uint32_t outputQueue = 0);
    virtual std::int32_t Close();
    virtual std::int32_t ConfigureLine(std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity,
                                       std::uint8_t stopBits);
    // Termios has no event character: it is kept here and read back, and the
    // wait does not report kEventCharReceived.
    virtual std::int32_t SetEventCharacter(char character, bool adjustMask = true);
    virtual std::int32_t SetEventMask(std::uint32_t bits);
    // Waits for a line event of the mask and leaves its bits in `eventWord`.
    // Input is watched when the mask holds kCharReceived; a break or a line
    // error is reported with the character event of the byte the driver queues
    // for it, where the driver counts them. The modem-line and output-empty
    // bits are accepted in the mask but cannot be waited for through poll().
    // A device that has gone away (hang-up, error) fails the wait with EIO.
    virtual std::int32_t AwaitEvent(Overlapped* overlapped = nullptr, std::uint32_t timeoutMs = kNoTimeout);
    virtual std::int32_t SetHandshake(int mode);
    virtual std::int32_t SetReadMode(int mode);
    virtual std::int32_t GetBaudRate();
    virtual std::int32_t GetDataBits();
    virtual std::int32_t GetParity();
    virtual std::int32_t GetStopBits();
    virtual std::int32_t GetHandshake();
    virtual std::uint32_t GetEventMask();
    virtual char GetEventCharacter();
    virtual std::int32_t WriteText(const char* text, std::size_t* written = nullptr, Overlapped* overlapped = nullptr,
                                   std::uint32_t timeoutMs = kNoTimeout);
    // Writes the whole block unless the timeout expires first (kResultTimeout,
    // `written` holding what went out).
    virtual std::int32_t Write(const void* data, std::size_t size, std::size_t* written = nullptr,
                               Overlapped* overlapped = nullptr, std::uint32_t timeoutMs = kNoTimeout);
    // Non-blocking mode: returns at once with what is queued (perhaps nothing).
    // Blocking mode: waits until `size` bytes have come or the timeout expires.
    virtual std::int32_t Read(void* buffer, std::size_t size, std::size_t* read = nullptr,
                              Overlapped* overlapped = nullptr, std::uint32_t timeoutMs = kNoTimeout);

    // Discards both queues.
    std::int32_t Purge();
    // Raise the modem control lines DTR and RTS (a pseudo-terminal refuses).
    std::int32_t RaiseDtr();
    std::int32_t RaiseRts();

    bool IsOpen() const { return handle != -1; }
    // The bits the last completed wait delivered.
    std::uint32_t EventWord() const { return eventWord.load(); }

    // Result of the last operation.
    std::atomic<std::int32_t> lastError{0};

protected:
    // Stores and returns a result code.
    std::int32_t result(std::int32_t code);
    // The one place where errno becomes a result code.
    std::int32_t fail(int error);
    // Returns kResultPortClosed (and stores it) when the port is closed.
    bool closed();
    // The driver's line state, for a getter: false (and `lastError` set) when
    // the port is closed or the state cannot be read.
    bool readLine(termios& tio);
    LineCounters readCounters() const;
    // One non-blocking read of what is queued: the byte count, 0 when nothing
    // is queued, -1 with errno set on failure (0 bytes from a tty that
    // reported input means a hang-up: errno is set to EIO).
    long readQueued(void* buffer, std::size_t size) const;

    int handle = -1;  // the device's descriptor, -1 = closed
    std::atomic<std::uint32_t> eventWord{0};
    std::atomic<std::uint32_t> eventMask{0};

private:
    // Waits until `events` are ready on the device, the caller's stop
    // descriptor is readable or the deadline passes. Returns the device's
    // revents, 0 on timeout or stop, -1 with errno on failure.
    int waitDevice(short events, Overlapped* overlapped, std::uint32_t timeoutMs, std::int64_t startMs);
    // waitDevice for a transfer under way: true to go on with it; false when it
    // ends here, with its result in `code` (timeout, stop, failure, hang-up).
    bool awaitTransfer(short events, Overlapped* overlapped, std::uint32_t timeoutMs, std::int64_t startMs,
                       std::int32_t& code);

    std::atomic<int> readMode{kReadNonBlocking};
    char eventCharacter = 0;
    LineCounters counters;  // as they stood at the last wait
};

}  // namespace varno::link
