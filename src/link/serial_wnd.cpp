#include "link/serial_wnd.h"

#include <map>
#include <mutex>
#include <string>

#include "link/pause.h"

namespace varno::link {

std::uint32_t registerWindowMessage(std::string_view name)
{
    static std::mutex mutex;
    static std::map<std::string, std::uint32_t, std::less<>> registered;
    static std::uint32_t next = 0xC000;
    std::lock_guard lock(mutex);
    if (const auto it = registered.find(name); it != registered.end())
        return it->second;
    const std::uint32_t number = next++;
    registered.emplace(std::string(name), number);
    return number;
}

std::uint32_t CSerialWnd::defaultComMessage()
{
    static const std::uint32_t message = registerWindowMessage("CSerialWnd_DefaultComMsg");
    return message;
}

namespace {
// Obtained at start-up, before any port opens.
[[maybe_unused]] const std::uint32_t g_defaultComMessage = CSerialWnd::defaultComMessage();
}  // namespace

CSerialWnd::~CSerialWnd()
{
    CSerialWnd::Close();
}

std::int32_t CSerialWnd::Close()
{
    // The listener reads the target: stop it before the target is forgotten.
    StopListening(kNoTimeout);
    targetWindow = NotifyTarget{};
    notifyMessage = 0;
    return CSerialEx::Close();
}

void CSerialWnd::PostCommEvent(std::uint32_t event, std::uint32_t error)
{
    if (targetWindow.comm)
        targetWindow.comm(((error & 0xFFFFu) << 16) | (event & 0xFFFFu), userValue);
}

void CSerialWnd::PostFrameEvent(int kind, std::unique_ptr<FrameEvent> event)
{
    // Without a window the record is freed here.
    if (targetWindow.frames)
        targetWindow.frames(kind, std::move(event));
}

void CSerialWnd::ListenerEnded(std::int32_t error)
{
    if (targetWindow.ended)
        targetWindow.ended(error);
}

std::int32_t CSerialWnd::OpenForWindow(const char* device, NotifyTarget window, std::uint32_t message,
                                       std::int32_t userValue, std::uint32_t inputQueue, std::uint32_t outputQueue)
{
    if (CSerialEx::Open(device, inputQueue, outputQueue) != kResultOk)
        return lastError;
    targetWindow = std::move(window);
    notifyMessage = message != 0 ? message : defaultComMessage();
    this->userValue = userValue;
    if (StartListening() != kResultOk) {
        const std::int32_t error = lastError;
        Close();
        return result(error);
    }
    return result(kResultOk);
}

CSerialMFC::~CSerialMFC()
{
    // Joined here, while this object is whole: the listener calls its
    // notifications until then.
    CSerialMFC::Close();
}

std::int32_t CSerialMFC::OpenForWindow(const char* device, NotifyTarget window, std::uint32_t message,
                                       std::int32_t userValue, std::uint32_t inputQueue, std::uint32_t outputQueue)
{
    return CSerialWnd::OpenForWindow(device, std::move(window), message, userValue, inputQueue, outputQueue);
}

std::int32_t openPort(CSerialWnd& port, const char* device, NotifyTarget window, std::uint32_t baudRate)
{
    if (port.IsOpen())
        port.Close();
    const std::int32_t opened = port.OpenForWindow(device, std::move(window), 0, 0, 0, 0);
    if (opened != kResultOk)
        return opened;
    pause(100);
    finishPortOpening(port, baudRate);
    return kResultOk;
}

std::uint32_t baudRateFromText(std::string_view text)
{
    if (text == "19200")
        return 19200;
    if (text == "38400")
        return 38400;
    if (text == "115200")
        return 115200;
    return 9600;
}

}  // namespace varno::link
