// The serial device goes away (the pseudo-terminal's master is closed) while
// numbered frames flow into the listener.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "frame_tally.h"
#include "link/serial_wnd.h"
#include "process_figures.h"
#include "support/pty_pair.h"

namespace varno::testing {
namespace {

using namespace std::chrono_literals;

// Frames whose ']' lies within the first `bytes` of a numbered stream.
std::size_t framesWithin(long long bytes, std::size_t total)
{
    if (bytes < static_cast<long long>(kNumberedFrameEnd))
        return 0;
    const auto whole = static_cast<std::size_t>(bytes - kNumberedFrameEnd) / kNumberedFrameSize + 1;
    return std::min(whole, total);
}

TEST(SerialDeviceVanishes, ListenerEndsAtOnceStaysQuietAndHandsOverEveryFrameItRead)
{
    InstantPauses instant;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    FrameTally tally;
    link::CSerialMFC port;
    ASSERT_EQ(link::openPort(port, pty.path.c_str(), tally.target(), 115200), link::kResultOk);

    // A first frame through every step: what is read once (the time zone for
    // the arrival time) is read before the count starts.
    ASSERT_TRUE(pty.write(numberedFrame(0)));
    ASSERT_TRUE(tally.waitFor(1));

    constexpr std::size_t kFrames = 40000;
    std::string stream;
    for (unsigned i = 1; i <= kFrames; ++i)
        stream += numberedFrame(i);

    // What the listener reads is what the process reads meanwhile: nothing
    // else here calls read(), except these readings of the count itself.
    const long long countBefore = bytesRead();
    const long long readBefore = bytesRead();
    const long long countCost = readBefore - countBefore;

    Clock::time_point hangUp;
    double cpuAtHangUp = 0;
    std::thread reader([&] {
        // Small writes, so the listener reads while the stream flows, and the
        // hang-up right after the last one.
        pty.write(stream, 64);
        cpuAtHangUp = processCpuSeconds();
        hangUp = Clock::now();
        pty.closeMaster();
    });
    reader.join();

    ASSERT_TRUE(waitFor([&] { return !port.ListenerRunning(); }, 5s)) << "the listener did not end";
    const double endedMs = millisecondsBetween(hangUp, Clock::now());
    std::this_thread::sleep_until(hangUp + 5s);
    const double cpuPercent = (processCpuSeconds() - cpuAtHangUp) / 5.0 * 100.0;

    const long long listenerBytes = bytesRead() - readBefore - countCost;
    // The count's own cost may differ by a digit or two from one reading to the next.
    const std::size_t readAtLeast = framesWithin(listenerBytes - 4, kFrames);
    const std::size_t readAtMost = framesWithin(listenerBytes + 4, kFrames);
    const std::size_t handed = tally.count() - 1;

    figure("frames written before the hang-up", kFrames);
    figure("bytes read by the listener", listenerBytes);
    figure("frames read by the listener", framesWithin(listenerBytes, kFrames));
    figure("frames handed over", handed);
    figure("frames handed over out of order", tally.outOfOrder());
    figure("frames thrown away unread by the hang-up", kFrames - framesWithin(listenerBytes, kFrames));
    figure("listener ended after the hang-up", endedMs, "ms");
    figure("process CPU over the 5 s after the hang-up", cpuPercent, "%");

    EXPECT_LE(endedMs, 100.0);
    EXPECT_LE(cpuPercent, 5.0);
    EXPECT_GE(handed, readAtLeast);
    EXPECT_LE(handed, readAtMost);
    EXPECT_EQ(tally.outOfOrder(), 0u);

    // The port stays open with its ended listener until the owner closes it.
    EXPECT_TRUE(port.IsOpen());
    link::runPortShutdown(port);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace varno::testing
