#pragma once
// A listening serial port that notifies a window by posted messages: every
// frame as message 1066, line events as message 1067.
//
// The window is reached through a NotifyTarget, so this layer stays free of any
// toolkit: the widget side hands in functions that post to its window.
//
// Threads: `targetWindow`, `notifyMessage` and `userValue` are written by the
// owner's thread only while no listener runs (before StartListening, after the
// join in Close); the listener only reads them.

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "link/frame_hand_over.h"
#include "link/serial_ex.h"
#include "log/clock.h"

namespace varno::link {

// Message number of a line event notice.
inline constexpr int WM_COMM_EVENT = 1067;

// Posts a line event notice (first and second parameter of message 1067).
using CommSink = std::function<void(std::uint32_t wParam, std::int32_t lParam)>;

// The window that receives a port's notifications. Empty = none.
struct NotifyTarget {
    FrameSink frames;  // hands each frame over (to the window's hand-over, which wakes it with message 1066)
    CommSink comm;     // posts message 1067
    // The hand-over `frames` queues into: the listener stops reading while it
    // is full and posts the wake-ups it owes the window. None for a sink that
    // takes each frame at once.
    std::shared_ptr<FrameHandOver> handOver;
    // Called once, on the listener thread, when the listener ends by itself
    // (the device has gone away), with the errno behind it; never after a stop.
    std::function<void(int error)> ended;
    // The clock that stamps each frame's arrival (not owned).
    const log::Clock* clock = &log::systemClock();
    bool empty() const { return !frames && !comm; }
};

// A process-wide message number for `name`: the same number for the same name
// on every call, numbers from 0xC000 up (the range of registered messages,
// within the toolkit's user event range). Safe from any thread.
std::uint32_t registerWindowMessage(std::string_view name);

class CSerialWnd : public CSerialEx {
public:
    CSerialWnd() = default;
    ~CSerialWnd() override;

    // Stops the listener, forgets the window, closes the port.
    std::int32_t Close() override;
    void PostCommEvent(std::uint32_t event, std::uint32_t error) override;
    void PostFrameEvent(int kind, std::unique_ptr<FrameEvent> event) override;
    void ListenerEnded(std::int32_t error) override;

    // Opens the port and starts listening; frames go to `window`. Message 0
    // stands for the registered default message.
    virtual std::int32_t OpenForWindow(const char* device, NotifyTarget window, std::uint32_t message = 0,
                                       std::int32_t userValue = 0, std::uint32_t inputQueue = 0,
                                       std::uint32_t outputQueue = 0);

    // The message registered under "CSerialWnd_DefaultComMsg", obtained once
    // per process.
    static std::uint32_t defaultComMessage();

    std::uint32_t NotifyMessage() const { return notifyMessage; }
    bool HasTarget() const { return !targetWindow.empty(); }

protected:
    const log::Clock& ArrivalClock() const override
    {
        return targetWindow.clock != nullptr ? *targetWindow.clock : log::systemClock();
    }
    FrameHandOver* HandOver() const override { return targetWindow.handOver.get(); }

    NotifyTarget targetWindow;
    std::uint32_t notifyMessage = 0;
    std::int32_t userValue = 0;
};

// The class the main window embeds.
class CSerialMFC : public CSerialWnd {
public:
    CSerialMFC() = default;
    ~CSerialMFC() override;

    std::int32_t OpenForWindow(const char* device, NotifyTarget window, std::uint32_t message = 0,
                               std::int32_t userValue = 0, std::uint32_t inputQueue = 0,
                               std::uint32_t outputQueue = 0) override;
};

// The port opening sequence for a caller with nothing to do in between: close
// if open, OpenForWindow, 100 ms, then finishPortOpening. Returns the result of
// OpenForWindow.
std::int32_t openPort(CSerialWnd& port, const char* device, NotifyTarget window, std::uint32_t baudRate);

// The baud rate chosen by the text of the baud list: "19200", "38400" and
// "115200" are themselves, any other text 9600.
std::uint32_t baudRateFromText(std::string_view text);

}  // namespace varno::link
