// The log's times against the simulator's record: the window receives a
// reader's pace of frames (820 a second, one every 1.22 ms) over loopback TCP
// and over a pseudo-terminal, and logs each frame at the time it arrived, not
// at the time the window got round to it. The bounds are loose, for a loaded
// machine or a sanitizer; bench/arrival_time_bench.cpp prints the figures.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <string>

#include "sim_process.h"
#include "support/log_record_times.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;

constexpr int kFrames = 1200;

struct Transport {
    const char* name;
    bool pty;
};

void PrintTo(const Transport& t, std::ostream* os)
{
    *os << t.name;
}

class ArrivalTimes : public WindowTest, public ::testing::WithParamInterface<Transport> {};

TEST_P(ArrivalTimes, EveryLoggedTimeIsItsFramesArrivalAtAReadersPace)
{
    const Transport transport = GetParam();
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string record = dir.file("record.txt");
    // --hold: the simulator stays until the window lets go of the link.
    sim::testing::SimProcess sim({transport.pty ? "--pty" : "--listen=127.0.0.1:0", "--rate", "820", "--count",
                                  std::to_string(kFrames), "--record", record, "--hold", "--quiet"});
    const std::string where = sim.readLine();
    ASSERT_FALSE(where.empty()) << sim.errors();

    FakePortTree tree(dir.path());
    if (transport.pty) {
        tree.addLinkTo("ttyUSB0", where);
        window->portRoots = {tree.sysfs.string(), tree.dev.string()};
        window->FillPortList();
        window->portCombo->setCurrentIndex(window->portCombo->findText(QString::fromStdString((tree.dev / "ttyUSB0").string())));
        window->baudCombo->setCurrentIndex(window->baudCombo->findText("115200"));
    } else {
        ASSERT_EQ(where.rfind("127.0.0.1:", 0), 0u) << where;
        window->portRoots = {tree.sysfs.string(), tree.dev.string()};
        window->FillPortList();
        window->portCombo->setEditText(QStringLiteral("TCP/IP"));
        window->tcpSelected = true;
        window->tcpHostAddress = 0x7F000001;
        window->tcpPort = static_cast<std::uint32_t>(std::stoi(where.substr(10)));
    }
    window->workingDirectory = dir.path();
    window->button(idc::Log)->click();
    ASSERT_EQ(window->loggingOn, 1);
    clickOpen();
    ASSERT_EQ(window->linkOpen, 1) << alerts.texts().join("|").toStdString();

    ASSERT_TRUE(waitUntil([&] { return window->frameHandOver->taken() >= kFrames; }, 60000))
        << window->frameHandOver->taken() << " frames handled";
    processEvents();
    clickOpen();
    EXPECT_EQ(sim.wait(), 0) << sim.errors();
    EXPECT_TRUE(alerts.shown.empty()) << alerts.texts().join("|").toStdString();

    const LogTimes times = readLogTimes(window->logFilePath, record);
    std::printf("%s: %zu lines, logged - sent: min %lld, median %lld, p99 %lld, max %lld ms; dt 0.000 on %.1f %%\n",
                transport.name, times.lines, static_cast<long long>(times.lateMin()),
                static_cast<long long>(times.lateQuantile(0.5)), static_cast<long long>(times.lateQuantile(0.99)),
                static_cast<long long>(times.lateMax()), 100 * times.dtZeroShare());
    ASSERT_EQ(times.recorded, static_cast<std::size_t>(kFrames));
    ASSERT_EQ(times.lines, static_cast<std::size_t>(kFrames));
    EXPECT_EQ(times.mismatched, 0u);
    EXPECT_EQ(times.unreadable, 0u);
    // The same clock on both sides: no frame arrives before it was sent.
    EXPECT_GE(times.lateMin(), 0);
    EXPECT_LE(times.lateQuantile(0.5), 5);
    EXPECT_LE(times.lateQuantile(0.9), 20);
    // Frames 1.22 ms apart: dt 0.001 or 0.002, not runs of 0.000 (when frames
    // shared the time of their batch, nine lines in ten had it).
    EXPECT_LE(times.dtZeroShare(), 0.3);
}

INSTANTIATE_TEST_SUITE_P(Links, ArrivalTimes,
                         ::testing::Values(Transport{"TCP", false}, Transport{"pty", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varno::testing
