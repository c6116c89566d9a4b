// How close the log's times are to the frames' arrival: the reader simulator
// sends 20,000 frames at a reader's pace (820 a second, one every 1.22 ms) into
// the real main window (offscreen), logging on and the chart drawing, once over
// loopback TCP and once over a pseudo-terminal. Its record says when each frame
// went out; the log says when the frame arrived. Prints, per link, the median,
// 99th percentile and maximum of (logged time - send time) and the share of the
// log's lines with dt 0.000, against the targets: median at most 2 ms, p99 at
// most 5 ms, dt 0.000 on at most 10 % of lines. Exits 1 when a target is
// missed or a frame is missing.
//
// Usage: bench_arrival_time [frames]   (default 20,000)

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "link/pause.h"
#include "sim_process.h"
#include "support/log_record_times.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "support/window_watch.h"
#include "ui/alerts.h"

namespace {

using namespace varno;
using Clock = std::chrono::steady_clock;

constexpr double kRate = 820;
constexpr std::int64_t kMedianTargetMs = 2;
constexpr std::int64_t kP99TargetMs = 5;
constexpr double kDtZeroTarget = 0.10;

std::uintmax_t sizeOf(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// One run over one link; false when it could not be made or a target was missed.
bool run(bool pty, long frames)
{
    const char* name = pty ? "pseudo-terminal" : "loopback TCP";
    testing::TempDir dir;
    const std::string record = dir.file("record.txt");
    sim::testing::SimProcess sim({pty ? "--pty" : "--listen=127.0.0.1:0", "--rate", std::to_string(kRate), "--count",
                                  std::to_string(frames), "--record", record, "--hold", "--quiet"});
    const std::string where = sim.readLine();
    if (where.empty()) {
        std::fprintf(stderr, "%s: the simulator did not start: %s\n", name, sim.errors().c_str());
        return false;
    }

    bench::CountingAlerts alerts;
    ui::setAlerts(&alerts);
    testing::FakePortTree tree(dir.path());
    auto window = std::make_unique<app::CVARNODlg>();
    window->workingDirectory = dir.path();
    if (pty) {
        tree.addLinkTo("ttyUSB0", where);
        window->portRoots = {tree.sysfs.string(), tree.dev.string()};
        window->FillPortList();
        window->portCombo->setCurrentIndex(window->portCombo->findText(QString::fromStdString((tree.dev / "ttyUSB0").string())));
        window->baudCombo->setCurrentIndex(window->baudCombo->findText("115200"));
    } else {
        window->portCombo->setEditText(QStringLiteral("TCP/IP"));
        window->tcpSelected = true;
        window->tcpHostAddress = 0x7F000001;
        window->tcpPort = static_cast<std::uint32_t>(std::stoi(where.substr(where.find(':') + 1)));
    }
    window->show();
    window->button(app::idc::Log)->click();
    window->button(app::idc::Open)->click();
    if (window->linkOpen != 1 || window->loggingOn != 1) {
        std::fprintf(stderr, "%s: the link or the log did not open\n", name);
        ui::setAlerts(nullptr);
        return false;
    }

    // The frames take their time to come; then the log stops growing. The
    // event loop runs as the program's own does, and only the file's size is
    // looked at, five times a second.
    const auto start = Clock::now();
    const auto sending = std::chrono::duration<double>(static_cast<double>(frames) / kRate + 1);
    std::uintmax_t size = 0;
    auto grew = start;
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (const std::uintmax_t s = sizeOf(window->logFilePath); s != size) {
            size = s;
            grew = now;
        }
        if ((now - start > sending && now - grew > std::chrono::seconds(1))
            || now - start > sending + std::chrono::seconds(120))
            loop.quit();
    });
    look.start(200);
    loop.exec();
    const std::string logPath = window->logFilePath;
    window->button(app::idc::Open)->click();
    window.reset();
    QCoreApplication::processEvents();
    ui::setAlerts(nullptr);
    sim.wait(std::chrono::seconds(10));

    const testing::LogTimes times = testing::readLogTimes(logPath, record);
    const std::int64_t median = times.lateQuantile(0.5);
    const std::int64_t p99 = times.lateQuantile(0.99);
    const double dtZero = times.dtZeroShare();
    const bool whole = times.lines == static_cast<std::size_t>(frames) && times.recorded == times.lines
                       && times.mismatched == 0 && times.unreadable == 0;
    auto verdict = [](bool ok) { return ok ? "within" : "ABOVE"; };
    std::printf("%s, %zu frames at %g frames/s, logging and chart on:\n", name, times.lines, kRate);
    std::printf("  logged time - send time   median %lld ms (%s the %lld ms target), p99 %lld ms (%s the %lld ms "
                "target), max %lld ms, min %lld ms\n",
                static_cast<long long>(median), verdict(median <= kMedianTargetMs),
                static_cast<long long>(kMedianTargetMs), static_cast<long long>(p99), verdict(p99 <= kP99TargetMs),
                static_cast<long long>(kP99TargetMs), static_cast<long long>(times.lateMax()),
                static_cast<long long>(times.lateMin()));
    std::printf("  dt 0.000                  %.1f %% of lines (%s the %.0f %% target)\n", 100 * dtZero,
                verdict(dtZero <= kDtZeroTarget), 100 * kDtZeroTarget);
    if (!whole)
        std::printf("  INCOMPLETE: %zu frames recorded, %zu lines logged, %zu not matching, %zu unreadable\n",
                    times.recorded, times.lines, times.mismatched, times.unreadable);
    if (alerts.shown != 0)
        std::printf("  %d message boxes\n", alerts.shown);
    std::fflush(stdout);
    return whole && alerts.shown == 0 && median <= kMedianTargetMs && p99 <= kP99TargetMs && dtZero <= kDtZeroTarget;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const long frames = argc > 1 ? std::atol(argv[1]) : 20000;
    link::setPauseScale(0);
    const bool tcp = run(false, frames);
    const bool pty = run(true, frames);
    return tcp && pty ? 0 : 1;
}
