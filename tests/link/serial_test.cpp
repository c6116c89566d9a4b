// The serial port family over a real pseudo-terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/line_settings.h"
#include "link/pause.h"
#include "link/serial_wnd.h"
#include "support/pty_pair.h"
#include "support/taking_window.h"

namespace varno::link {
namespace {

using testing::PtyPair;
using Frames = std::vector<std::pair<int, std::string>>;
using namespace std::chrono_literals;

// Collects what a port posts to its window, from the listener thread.
class Recorder {
public:
    NotifyTarget target()
    {
        return {[this](int kind, std::unique_ptr<FrameEvent> event) {
                    std::lock_guard lock(m_mutex);
                    m_frames.emplace_back(kind, event->text);
                    m_changed.notify_all();
                },
                [this](std::uint32_t wParam, std::int32_t lParam) {
                    std::lock_guard lock(m_mutex);
                    m_comms.emplace_back(wParam, lParam);
                },
                {},
                [this](int error) {
                    std::lock_guard lock(m_mutex);
                    m_endings.push_back(error);
                }};
    }
    // The errors of the listener's endings by itself, in order.
    std::vector<int> endings()
    {
        std::lock_guard lock(m_mutex);
        return m_endings;
    }
    // Waits until `count` frames have come; returns the frames seen.
    Frames waitFor(std::size_t count, std::chrono::milliseconds timeout = 3s)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_frames.size() >= count; });
        return m_frames;
    }
    Frames frames()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::vector<std::pair<std::uint32_t, std::int32_t>> comms()
    {
        std::lock_guard lock(m_mutex);
        return m_comms;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Frames m_frames;
    std::vector<std::pair<std::uint32_t, std::int32_t>> m_comms;
    std::vector<int> m_endings;
};

termios lineOf(int fd)
{
    termios tio{};
    EXPECT_EQ(::tcgetattr(fd, &tio), 0);
    return tio;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3s)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

double processCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

TEST(ClosedSerialPort, EveryOperationReportsThePortClosed)
{
    CSerialMFC port;
    char buffer[8] = {};
    std::size_t count = 99;
    struct Case {
        const char* name;
        std::function<std::int32_t()> call;
    };
    const Case operations[] = {
        {"ConfigureLine", [&] { return port.ConfigureLine(9600, 8, kParityNone, kStopOne); }},
        {"SetEventCharacter", [&] { return port.SetEventCharacter('\n', true); }},
        {"SetEventMask", [&] { return port.SetEventMask(kCharReceived); }},
        {"AwaitEvent", [&] { return port.AwaitEvent(nullptr, 10); }},
        {"SetHandshake", [&] { return port.SetHandshake(kHandshakeHardware); }},
        {"SetHandshake out of range", [&] { return port.SetHandshake(3); }},
        {"SetReadMode", [&] { return port.SetReadMode(kReadBlocking); }},
        {"SetReadMode out of range", [&] { return port.SetReadMode(2); }},
        {"WriteText", [&] { count = 99; return port.WriteText("x", &count); }},
        {"Write", [&] { count = 99; return port.Write(buffer, sizeof buffer, &count); }},
        {"Read", [&] { count = 99; return port.Read(buffer, sizeof buffer, &count, nullptr, 10); }},
        {"Purge", [&] { return port.Purge(); }},
        {"RaiseDtr", [&] { return port.RaiseDtr(); }},
        {"RaiseRts", [&] { return port.RaiseRts(); }},
    };
    for (const Case& c : operations) {
        port.lastError = 0;
        EXPECT_EQ(c.call(), kResultPortClosed) << c.name;
        EXPECT_EQ(port.lastError, kResultPortClosed) << c.name;
    }
    EXPECT_EQ(count, 0u) << "transfer counts are cleared first";

    const std::pair<const char*, std::function<std::int32_t()>> getters[] = {
        {"GetBaudRate", [&] { return port.GetBaudRate(); }},
        {"GetDataBits", [&] { return port.GetDataBits(); }},
        {"GetParity", [&] { return port.GetParity(); }},
        {"GetStopBits", [&] { return port.GetStopBits(); }},
        {"GetHandshake", [&] { return port.GetHandshake(); }},
    };
    for (const auto& [name, call] : getters) {
        port.lastError = 0;
        EXPECT_EQ(call(), -1) << name;
        EXPECT_EQ(port.lastError, kResultPortClosed) << name;
    }
    port.lastError = 0;
    EXPECT_EQ(port.GetEventMask(), 0u);
    EXPECT_EQ(port.lastError, kResultPortClosed);
    port.lastError = 0;
    EXPECT_EQ(port.GetEventCharacter(), 0);
    EXPECT_EQ(port.lastError, kResultPortClosed);

    port.lastError = kResultPortClosed;
    EXPECT_EQ(port.Close(), kResultOk);
    EXPECT_EQ(port.lastError, kResultOk);
    EXPECT_EQ(port.StopListening(100), kResultOk);
}

TEST(SerialPortOpen, MissingDeviceAndNonTerminalAreRefused)
{
    CSerialMFC port;
    EXPECT_EQ(port.Open("/nonexistent/ttyUSB9"), ENOENT);
    EXPECT_EQ(port.Open("TCP/IP"), ENOENT);
    EXPECT_EQ(port.Open("/dev/null"), ENOTTY);
    EXPECT_FALSE(port.IsOpen());
    Recorder recorder;
    EXPECT_NE(port.OpenForWindow("/dev/null", recorder.target()), kResultOk);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.ListenerRecorded());
    EXPECT_FALSE(port.HasTarget());
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setPauseScale(0);
        ASSERT_TRUE(pty.ok());
    }
    void TearDown() override { setPauseScale(1); }

    PtyPair pty;
    Recorder recorder;
};

TEST_F(SerialPortTest, OpensInRawModeAndRefusesEveryOtherOpener)
{
    CSerialMFC port;
    ASSERT_EQ(port.Open(pty.path.c_str()), kResultOk);
    const termios tio = lineOf(pty.slave);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(port.GetEventMask(), kCharReceived | kBreakReceived | kLineError);

    // Opening an open port leaves it as it was.
    EXPECT_EQ(port.Open(pty.path.c_str()), kResultAlreadyOpen);
    EXPECT_EQ(port.lastError, kResultAlreadyOpen);
    ASSERT_TRUE(port.IsOpen());
    ASSERT_EQ(port.WriteText("still open"), kResultOk);
    EXPECT_EQ(pty.read(10), "still open");

    // Another opener is refused while we hold the device, even as root.
    CSerialMFC other;
    EXPECT_EQ(other.Open(pty.path.c_str()), EBUSY);
    EXPECT_FALSE(other.IsOpen());

    EXPECT_EQ(port.Close(), kResultOk);
    EXPECT_FALSE(port.IsOpen());
    // ... and admitted once we let go of it.
    EXPECT_EQ(other.Open(pty.path.c_str()), kResultOk);
}

// errno of a plain open() of `path` by an unprivileged process that takes no
// lock, 0 when it opens.
int openWithoutLockAsNobody(const std::string& path)
{
    auto attempt = [&] {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        ::close(fd);
        return 0;
    };
    if (::geteuid() != 0)
        return attempt();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(200);
        ::_exit(attempt());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SerialPortTest, ExclusiveFlagKeepsOutOpenersThatDoNotLockUntilWeClose)
{
    ASSERT_EQ(::fchmod(pty.slave, 0666), 0);
    ASSERT_EQ(openWithoutLockAsNobody(pty.path), 0);
    CSerial port;
    ASSERT_EQ(port.Open(pty.path.c_str()), kResultOk);
    EXPECT_EQ(openWithoutLockAsNobody(pty.path), EBUSY);
    port.Close();
    // The device outlives our descriptor here: it must not stay exclusive.
    EXPECT_EQ(openWithoutLockAsNobody(pty.path), 0);
}

TEST_F(SerialPortTest, OpeningSequenceSetsTheRateAnd8N1WithoutFlowControl)
{
    const std::pair<std::uint32_t, speed_t> rates[] = {
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {115200, B115200}};
    for (const auto& [rate, code] : rates) {
        CSerialMFC port;
        // A pseudo-terminal refuses to raise DTR and RTS: the sequence goes on.
        ASSERT_EQ(openPort(port, pty.path.c_str(), recorder.target(), rate), kResultOk) << rate;
        const termios tio = lineOf(pty.slave);
        EXPECT_EQ(::cfgetospeed(&tio), code) << rate;
        EXPECT_EQ(::cfgetispeed(&tio), code) << rate;
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << rate;
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u) << rate;
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | INPCK), 0u) << rate;
        EXPECT_EQ(port.GetBaudRate(), static_cast<std::int32_t>(rate));
        EXPECT_TRUE(port.ListenerRunning());
        EXPECT_EQ(port.NotifyMessage(), CSerialWnd::defaultComMessage());
    }
}

TEST(LineSettings, ATermiosRecordHoldsWhatWasSet)
{
    struct Case {
        std::uint32_t rate;
        std::uint8_t bits, parity, stop;
    };
    const Case cases[] = {
        {115200, 8, kParityNone, kStopOne}, {19200, 7, kParityEven, kStopTwo},   {9600, 5, kParityOdd, kStopOneAndHalf},
        {38400, 6, kParityMark, kStopTwo},  {57600, 8, kParitySpace, kStopOne},
    };
    termios tio{};
    ::cfmakeraw(&tio);
    for (const Case& c : cases) {
        ASSERT_EQ(setLine(tio, c.rate, c.bits, c.parity, c.stop), 0) << c.rate;
        EXPECT_EQ(baudRateOf(tio), static_cast<std::int32_t>(c.rate));
        EXPECT_EQ(::cfgetispeed(&tio), ::cfgetospeed(&tio)) << c.rate;
        EXPECT_EQ(dataBitsOf(tio), c.bits) << c.rate;
        EXPECT_EQ(parityOf(tio), c.parity) << c.rate;
        EXPECT_EQ(stopBitsOf(tio), c.stop) << c.rate;
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parity != kParityNone) << "parity checking, " << c.rate;
    }
    for (int mode : {kHandshakeHardware, kHandshakeSoftware, kHandshakeOff}) {
        ASSERT_TRUE(setHandshake(tio, mode));
        EXPECT_EQ(handshakeOf(tio), mode);
    }

    const termios before = tio;
    const Case refused[] = {{12345, 8, kParityNone, kStopOne}, {9600, 9, kParityNone, kStopOne},
                            {9600, 8, 5, kStopOne},            {9600, 8, kParityNone, 3}};
    for (const Case& c : refused)
        EXPECT_EQ(setLine(tio, c.rate, c.bits, c.parity, c.stop), EINVAL) << c.rate << "/" << int(c.bits);
    EXPECT_FALSE(setHandshake(tio, 3));
    EXPECT_EQ(std::memcmp(&before, &tio, sizeof tio), 0);
}

// A pseudo-terminal keeps the rate, the stop bits and the flow control, and
// forces 8 data bits without parity.
TEST_F(SerialPortTest, LineSettingsReachTheDriver)
{
    CSerialMFC port;
    ASSERT_EQ(port.Open(pty.path.c_str()), kResultOk);
    ASSERT_EQ(port.ConfigureLine(19200, 8, kParityNone, kStopTwo), kResultOk);
    EXPECT_EQ(port.GetBaudRate(), 19200);
    EXPECT_EQ(port.GetDataBits(), 8);
    EXPECT_EQ(port.GetParity(), kParityNone);
    EXPECT_EQ(port.GetStopBits(), kStopTwo);
    EXPECT_EQ(port.lastError, kResultOk);
    EXPECT_EQ(port.ConfigureLine(12345, 8, kParityNone, kStopOne), EINVAL);
    EXPECT_EQ(port.GetBaudRate(), 19200);
    for (int mode : {kHandshakeHardware, kHandshakeSoftware, kHandshakeOff}) {
        ASSERT_EQ(port.SetHandshake(mode), kResultOk);
        EXPECT_EQ(port.GetHandshake(), mode);
    }

    // Out-of-range modes change nothing.
    ASSERT_EQ(port.SetHandshake(kHandshakeSoftware), kResultOk);
    const termios before = lineOf(pty.slave);
    EXPECT_EQ(port.SetHandshake(3), kResultInvalidArgument);
    EXPECT_EQ(port.SetReadMode(2), kResultInvalidArgument);
    EXPECT_EQ(port.lastError, kResultInvalidArgument);
    const termios after = lineOf(pty.slave);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(port.GetHandshake(), kHandshakeSoftware);
    char byte = 0;
    std::size_t count = 1;
    EXPECT_EQ(port.Read(&byte, 1, &count, nullptr, 5000), kResultOk) << "reads stay non-blocking";
    EXPECT_EQ(count, 0u);

    EXPECT_EQ(port.SetEventCharacter('\r', true), kResultOk);
    EXPECT_EQ(port.GetEventCharacter(), '\r');
    EXPECT_EQ(port.GetEventMask(), kCharReceived | kEventCharReceived | kBreakReceived | kLineError);
}

TEST_F(SerialPortTest, TransfersAndWaitsHonourTheirTimeouts)
{
    CSerialMFC port;
    ASSERT_EQ(port.Open(pty.path.c_str()), kResultOk);
    std::size_t count = 0;
    ASSERT_EQ(port.WriteText("hello", &count, nullptr, 1000), kResultOk);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(pty.read(5), "hello");

    // Nothing queued: the wait times out, a non-blocking read returns at once.
    EXPECT_EQ(port.AwaitEvent(nullptr, 30), kResultTimeout);
    char buffer[16] = {};
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count), kResultOk);
    EXPECT_EQ(count, 0u);

    ASSERT_TRUE(pty.write("abc"));
    EXPECT_EQ(port.AwaitEvent(nullptr, 2000), kResultOk);
    EXPECT_EQ(port.EventWord(), kCharReceived);

    // Blocking: waits for the whole count, gives up with what came.
    ASSERT_EQ(port.SetReadMode(kReadBlocking), kResultOk);
    EXPECT_EQ(port.Read(buffer, 5, &count, nullptr, 50), kResultTimeout);
    EXPECT_EQ(std::string(buffer, count), "abc");
    std::thread late([&] {
        std::this_thread::sleep_for(20ms);
        pty.write("defgh");
    });
    EXPECT_EQ(port.Read(buffer, 5, &count, nullptr, 3000), kResultOk);
    late.join();
    EXPECT_EQ(std::string(buffer, count), "defgh");

    // A caller's stop descriptor ends a wait without a limit.
    const int stop = ::eventfd(0, EFD_CLOEXEC);
    ASSERT_GE(stop, 0);
    Overlapped overlapped{stop, false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        ::eventfd_write(stop, 1);
    });
    EXPECT_EQ(port.Read(buffer, 5, &count, &overlapped, kNoTimeout), kResultOk);
    EXPECT_TRUE(overlapped.stopped);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.AwaitEvent(&overlapped, kNoTimeout), kResultOk);
    EXPECT_TRUE(overlapped.stopped);
    stopper.join();
    ::close(stop);
}

TEST_F(SerialPortTest, ListenerPostsEveryFrameOfAStreamSplitAcrossManyWrites)
{
    CSerialMFC port;
    ASSERT_EQ(openPort(port, pty.path.c_str(), recorder.target(), 115200), kResultOk);
    const std::string stream =
        "noise\r\n[960A1B2CABCD]\r\n5A 3C +1E 0A1B2C\r\n[5A0A1B2CAB]\r\n[5A0A1BAB]\r\n5A 7F -25 0A1B2C\r\n";
    const Frames expected = {{FRAME_KIND_READER, "960A1B2CABCD"},
                             {FRAME_KIND_DEBUG, "5A 3C +1E 0A1B2C"},
                             {FRAME_KIND_READER, "5A0A1B2CAB"},
                             {FRAME_KIND_READER, "5A0A1BAB"},
                             {FRAME_KIND_DEBUG, "5A 7F -25 0A1B2C"}};
    // The assembler keeps its state from one read to the next, whatever the cut.
    Frames all;
    for (std::size_t piece : {1, 2, 3, 5, 7, 13}) {
        ASSERT_TRUE(pty.write(stream, piece, 300));
        all.insert(all.end(), expected.begin(), expected.end());
        EXPECT_EQ(recorder.waitFor(all.size()), all) << "pieces of " << piece;
    }
    // Nothing else came: frames are posted once each.
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(recorder.frames().size(), all.size());
}

TEST_F(SerialPortTest, ListenerStampsEveryReadWithItsClockAndPostsTheWakeUpItOwes)
{
    // A clock that moves on by one millisecond at each reading: each read of
    // the listener is one reading, whatever number of frames it completes.
    struct CountingClock final : log::Clock {
        std::int64_t nowSeconds() const override { return 1'700'000'000; }
        log::ClockReading nowMillis() const override
        {
            return {1'700'000'000, static_cast<std::uint16_t>(readings.fetch_add(1) % 1000)};
        }
        bool toLocal(std::int64_t, std::tm&) const override { return false; }
        mutable std::atomic<int> readings{0};
    } clock;
    testing::TakingWindow window;  // outlives the port, whose listener wakes it
    CSerialMFC port;
    NotifyTarget target{handOverSink(window.handOver), {}, window.handOver, {}, &clock};
    ASSERT_EQ(openPort(port, pty.path.c_str(), std::move(target), 115200), kResultOk);

    // Two frames in one write; the first wakes the window at once.
    ASSERT_TRUE(pty.write("[5A0A1B2CABCD]\r\n[960A1B2CABCD]\r\n"));
    ASSERT_TRUE(window.answerWakeUp());
    // Another soon after, and then silence: the listener's wait for bytes ends
    // in time to post the wake-up it owes for it.
    ASSERT_TRUE(pty.write("[640A1B2CABCD]\r\n"));
    while (window.taken.size() < 3 && window.answerWakeUp()) {
    }
    ASSERT_EQ(window.taken, (std::vector<std::string>{"351:5A0A1B2CABCD", "351:960A1B2CABCD", "351:640A1B2CABCD"}));
    const int readings = clock.readings.load();
    EXPECT_GE(readings, 2);
    EXPECT_LE(readings, 4);  // one per read, and a write may come in more than one
    EXPECT_LT(window.stamps[0] % 1000, window.stamps[2] % 1000);
    EXPECT_EQ(window.stamps[2] % 1000, readings - 1) << "the last read's reading";
    port.Close();
}

TEST_F(SerialPortTest, OpenForWindowKeepsTheMessageAndPostsLineEventNotices)
{
    CSerialMFC port;
    ASSERT_EQ(port.OpenForWindow(pty.path.c_str(), recorder.target(), 0, 7), kResultOk);
    EXPECT_GE(CSerialWnd::defaultComMessage(), 0xC000u);
    EXPECT_EQ(port.NotifyMessage(), CSerialWnd::defaultComMessage());
    EXPECT_EQ(registerWindowMessage("CSerialWnd_DefaultComMsg"), CSerialWnd::defaultComMessage());
    EXPECT_NE(registerWindowMessage("another name"), CSerialWnd::defaultComMessage());

    port.PostCommEvent(0x10041, 0x12345);
    const auto comms = recorder.comms();
    ASSERT_EQ(comms.size(), 1u);
    EXPECT_EQ(comms[0].first, 0x23450041u);
    EXPECT_EQ(comms[0].second, 7);

    EXPECT_EQ(port.Close(), kResultOk);
    EXPECT_FALSE(port.HasTarget());
    EXPECT_EQ(port.NotifyMessage(), 0u);
    ASSERT_EQ(port.OpenForWindow(pty.path.c_str(), recorder.target(), 1234), kResultOk);
    EXPECT_EQ(port.NotifyMessage(), 1234u);
}

TEST_F(SerialPortTest, StopListeningWithoutTimeToWaitStillEndsTheThread)
{
    CSerialMFC port;
    ASSERT_EQ(port.OpenForWindow(pty.path.c_str(), recorder.target()), kResultOk);
    ASSERT_TRUE(port.ListenerRunning());
    EXPECT_EQ(port.StopListening(0), kResultOk);
    EXPECT_FALSE(port.ListenerRecorded());
    EXPECT_TRUE(port.IsOpen());
    // No thread reads the port any more: the bytes stay queued for us.
    ASSERT_TRUE(pty.write("[AB]"));
    char buffer[8] = {};
    std::size_t count = 0;
    ASSERT_EQ(port.AwaitEvent(nullptr, 2000), kResultOk);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count), kResultOk);
    EXPECT_EQ(std::string(buffer, count), "[AB]");
    EXPECT_TRUE(recorder.frames().empty());

    // Listening again works on the same open port.
    ASSERT_EQ(port.StartListening(), kResultOk);
    ASSERT_TRUE(pty.write("[CD]"));
    EXPECT_EQ(recorder.waitFor(1), (Frames{{FRAME_KIND_READER, "CD"}}));
    EXPECT_EQ(port.Close(), kResultOk);
}

TEST_F(SerialPortTest, VanishingDeviceEndsTheListenerWithoutSpinningAndSaysSo)
{
    CSerialMFC port;
    ASSERT_EQ(openPort(port, pty.path.c_str(), recorder.target(), 9600), kResultOk);
    ASSERT_TRUE(pty.write("[960A1B2CABCD]"));
    // Unread bytes die with the master: let the frame through first.
    ASSERT_EQ(recorder.waitFor(1).size(), 1u);

    const double cpuBefore = processCpuSeconds();
    pty.closeMaster();
    EXPECT_TRUE(waitUntil([&] { return !port.ListenerRunning(); })) << "the listener ends by itself";
    std::this_thread::sleep_for(200ms);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.1) << "no busy loop";
    EXPECT_EQ(recorder.endings(), std::vector<int>{EIO}) << "the window hears of it once";

    // The port stays open with its finished listener until the owner closes it.
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.ListenerRecorded());
    runPortShutdown(port);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.ListenerRecorded());
    EXPECT_EQ(recorder.frames().size(), 1u);
}

TEST_F(SerialPortTest, ShutdownAndDestructionReleaseTheDevice)
{
    {
        CSerialMFC port;
        ASSERT_EQ(openPort(port, pty.path.c_str(), recorder.target(), 9600), kResultOk);
        ASSERT_TRUE(pty.write("[AB]"));
        ASSERT_EQ(recorder.waitFor(1).size(), 1u);
        runPortShutdown(port);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.ListenerRecorded());
        EXPECT_EQ(port.lastError, kResultOk);
        EXPECT_TRUE(recorder.endings().empty()) << "a stop is no ending by itself";

        // Reopened after a shutdown, it listens again.
        ASSERT_EQ(openPort(port, pty.path.c_str(), recorder.target(), 9600), kResultOk);
        ASSERT_TRUE(pty.write("[CD]"));
        EXPECT_EQ(recorder.waitFor(2).size(), 2u);
        // Destroyed while its listener waits and frames keep coming.
        ASSERT_TRUE(pty.write("[EF][GH]"));
    }
    CSerialMFC next;
    EXPECT_EQ(next.Open(pty.path.c_str()), kResultOk);
}

TEST(LineCounters, ReportBreaksAndLineErrorsBetweenTwoReadings)
{
    const LineCounters base{true, 1, 2, 3, 4, 5};
    struct Case {
        const char* name;
        LineCounters after;
        std::uint32_t events;
    };
    const Case cases[] = {
        {"unchanged", base, 0},
        {"break", {true, 2, 2, 3, 4, 5}, kBreakReceived},
        {"framing error", {true, 1, 3, 3, 4, 5}, kLineError},
        {"overrun", {true, 1, 2, 4, 4, 5}, kLineError},
        {"parity error", {true, 1, 2, 3, 5, 5}, kLineError},
        {"buffer overrun", {true, 1, 2, 3, 4, 6}, kLineError},
        {"break and framing error", {true, 2, 3, 3, 4, 5}, kBreakReceived | kLineError},
        {"driver without counters", {false, 9, 9, 9, 9, 9}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lineEventsBetween(base, c.after), c.events) << c.name;
    EXPECT_EQ(lineEventsBetween(LineCounters{}, base), 0u) << "no earlier reading";
}

TEST(BaudRateRule, OnlyTheListedRatesAreTakenAsWritten)
{
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"115200", 115200},
        {"57600", 9600}, {"", 9600},      {"19200 ", 9600}, {"abc", 9600},
    };
    for (const auto& [text, rate] : cases)
        EXPECT_EQ(baudRateFromText(text), rate) << '"' << text << '"';
}

}  // namespace
}  // namespace varno::link
