// A reader frame that never closes: a gibibyte of bytes after '[' through a
// pseudo-terminal into the serial listener and its assembler.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "decode/frame_fields.h"
#include "frame_tally.h"
#include "link/frame_assembler.h"
#include "link/serial_wnd.h"
#include "process_figures.h"
#include "support/pty_pair.h"

namespace varno::testing {
namespace {

using namespace std::chrono_literals;

// A sanitizer's allocator keeps freed blocks in quarantine and maps shadow
// memory for what the process touches, so its resident set says little about
// ours: there the bound only catches growth with the bytes received.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long long kAllowance = 64ll << 20;
constexpr const char* kAllowanceName = "growth bound (cap + 64 MiB under a sanitizer)";
#else
constexpr long long kAllowance = 1ll << 20;
constexpr const char* kAllowanceName = "growth bound (cap + 1 MiB)";
#endif

TEST(NeverClosedFrame, AGibibyteAfterTheBracketCostsNoMoreMemoryThanTheCap)
{
    InstantPauses instant;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    FrameTally tally;
    link::CSerialMFC port;
    ASSERT_EQ(link::openPort(port, pty.path.c_str(), tally.target(), 115200), link::kResultOk);

    // A first frame through every step, so that what the listener allocates
    // once is in the baseline.
    ASSERT_TRUE(pty.write(numberedFrame(0)));
    ASSERT_TRUE(tally.waitFor(1));

    // Every byte value but the four the assembler acts on: NUL, CR, LF and high
    // bytes included.
    std::string block;
    block.reserve(1 << 20);
    for (unsigned i = 0; block.size() < (1u << 20); ++i) {
        const char c = static_cast<char>(i & 0xFF);
        if (c != '[' && c != ']' && c != '+' && c != '-')
            block.push_back(c);
    }
    constexpr std::size_t kBlocks = 1024;  // 1 GiB
    std::atomic<bool> go{false};
    std::atomic<bool> written{false};
    std::thread reader([&] {
        while (!go.load())
            std::this_thread::sleep_for(1ms);
        bool ok = pty.write("[");
        for (std::size_t i = 0; ok && i < kBlocks; ++i)
            ok = pty.write(block);
        ok = ok && pty.write("][960A1B2CABCD]");
        written.store(ok);
    });

    const long long rssBefore = statusBytes("VmRSS");
    const bool peakReset = resetPeakResidentSet();
    const double cpuBefore = processCpuSeconds();
    const auto start = Clock::now();
    go.store(true);
    long long rssMax = rssBefore;
    // The frame cut out of the noise at ']', then the frame after it.
    while (!tally.waitFor(3, 100ms) && Clock::now() - start < 10min)
        rssMax = std::max(rssMax, statusBytes("VmRSS"));
    reader.join();
    const double seconds = millisecondsBetween(start, Clock::now()) / 1000;
    rssMax = std::max(rssMax, statusBytes("VmRSS"));
    const long long peak = peakReset ? std::max(rssMax, statusBytes("VmHWM")) : rssMax;
    const long long growth = peak - rssBefore;
    const long long bound = static_cast<long long>(link::FrameAssembler::kPendingCap) + kAllowance;

    figure("bytes after the bracket", static_cast<long long>(kBlocks) * (1 << 20));
    figure("transfer time", seconds, "s");
    figure("throughput", static_cast<double>(kBlocks) / seconds, "MiB/s");
    figure("process CPU during the transfer", processCpuSeconds() - cpuBefore, "s");
    figure("resident set before", rssBefore, "bytes");
    figure(peakReset ? "resident set growth (peak)" : "resident set growth (sampled every 100 ms)", growth, "bytes");
    figure(kAllowanceName, bound, "bytes");

    EXPECT_TRUE(written.load());
    EXPECT_LE(growth, bound);
    const auto last = tally.last();
    ASSERT_EQ(tally.count(), 3u);
    ASSERT_EQ(last.size(), 3u);
    // At ']' the frame was long abandoned: what closes is the idle window.
    EXPECT_EQ(last[1].first, link::FRAME_KIND_READER);
    EXPECT_LE(last[1].second.size(), 6u);
    EXPECT_EQ(last[2], (std::pair<int, std::string>{link::FRAME_KIND_READER, "960A1B2CABCD"}));
    const auto fields = decode::cutReaderFrame("[" + last[2].second + "]");
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->p1Value, 150);
    EXPECT_EQ(fields->tagId, "0A1B2C");
    EXPECT_EQ(fields->readerId, "ABCD");
    figure("frame after ']' '[' decodes", fields ? "P1 150, tag 0A1B2C, reader ABCD" : "no");
}

}  // namespace
}  // namespace varno::testing
