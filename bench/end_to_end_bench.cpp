// The whole road of a frame: a loopback server sends a long stream of reader
// frames as fast as the connection takes it, into the real main window over its
// TCP/IP link, with the chart drawing and logging on. Prints the frames handled
// per second and the resident memory along the way.

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "link/pause.h"
#include "support/loopback_server.h"
#include "support/process_stats.h"
#include "support/temp_dir.h"
#include "support/window_watch.h"
#include "ui/alerts.h"

namespace {

using namespace varno;

constexpr int kFrames = 200000;

// Reader frames of the three lengths from eight tags whose values stay in the
// plotting range, so every frame is drawn and logged.
std::string makeStream()
{
    std::string stream;
    char frame[32];
    for (int i = 0; i < kFrames; ++i) {
        const int tag = i % 8;
        const int value = 125 + (i * 7 + tag * 11) % 50;
        switch (i % 3) {
        case 0: std::snprintf(frame, sizeof frame, "[%02X0A1B%02X%04X]\r\n", value, tag, i & 0xFFFF); break;
        case 1: std::snprintf(frame, sizeof frame, "[%02X0C44%02X%02X]\r\n", value, tag, i & 0xFF); break;
        default: std::snprintf(frame, sizeof frame, "[%02X%04X%02X]\r\n", value, 0x4A00 + tag, i & 0xFF); break;
        }
        stream += frame;
    }
    return stream;
}

long countLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    long lines = 0;
    std::string line;
    while (std::getline(in, line))
        ++lines;
    return lines;
}

void TcpToLoggedAndPlotted(benchmark::State& state)
{
    const std::string stream = makeStream();
    for (auto _ : state) {
        testing::TempDir dir;
        bench::CountingAlerts alerts;
        ui::setAlerts(&alerts);
        link::setPauseScale(0);
        testing::LoopbackServer server;

        app::CVARNODlg window;
        window.workingDirectory = dir.path();
        window.show();
        window.button(app::idc::Log)->click();
        window.portCombo->setEditText(QStringLiteral("TCP/IP"));
        window.tcpSelected = true;
        window.tcpHostAddress = testing::LoopbackServer::kHost;
        window.tcpPort = server.port();

        std::atomic<bool> sent{false};
        std::thread sender([&] {
            if (server.accept())
                server.send(stream);
            sent = true;
        });
        window.button(app::idc::Open)->click();
        QCoreApplication::processEvents();

        const long rssStart = bench::residentKb();
        long rssQuarter = 0;
        const double cpuStart = bench::cpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const auto deadline = start + std::chrono::minutes(5);
        while (window.frameHandOver->taken() < kFrames && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (rssQuarter == 0 && window.frameHandOver->taken() >= kFrames / 4)
                rssQuarter = bench::residentKb();
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const double cpu = bench::cpuSeconds() - cpuStart;
        const long rssEnd = bench::residentKb();

        sender.join();
        window.button(app::idc::Open)->click();  // close the link before the window goes
        const std::string logPath = window.logFilePath;
        window.button(app::idc::Log)->click();
        const long loggedLines = countLines(logPath) - 1;  // less the header

        state.SetIterationTime(elapsed.count());
        state.counters["frames_handled"] = static_cast<double>(window.frameHandOver->taken());
        state.counters["frames_logged"] = static_cast<double>(loggedLines);
        state.counters["frames_lost"] = static_cast<double>(kFrames - loggedLines);
        state.counters["frames_per_second"] = static_cast<double>(window.frameHandOver->taken()) / elapsed.count();
        state.counters["frames_per_cpu_second"] = static_cast<double>(window.frameHandOver->taken()) / cpu;
        state.counters["rss_start_kB"] = static_cast<double>(rssStart);
        state.counters["rss_quarter_kB"] = static_cast<double>(rssQuarter);
        state.counters["rss_end_kB"] = static_cast<double>(rssEnd);
        state.counters["peak_rss_kB"] = static_cast<double>(bench::peakResidentKb());
        state.counters["messages"] = alerts.shown;
        state.counters["window_wake_ups"] = static_cast<double>(window.frameHandOver->wakeUps());
        if (loggedLines != kFrames || window.frameHandOver->taken() != kFrames)
            state.SkipWithError("frames were lost");

        ui::setAlerts(nullptr);
        link::setPauseScale(1);
    }
}
BENCHMARK(TcpToLoggedAndPlotted)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
