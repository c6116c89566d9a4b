// Echoing frames into the event text view in raw text mode, the way a long run
// does: the real main window on the offscreen platform, the view shown, events
// (repaints among them) handled as the frames come.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/main_window.h"
#include "link/pause.h"
#include "support/process_stats.h"

namespace {

using varno::bench::cpuSeconds;
using varno::bench::residentKb;

constexpr int kFrames = 200000;
constexpr int kWindow = 20000;      // frames per measured stretch
constexpr int kEventsEvery = 50;    // frames between two turns of the event loop

void EchoInRawTextMode(benchmark::State& state)
{
    varno::link::setPauseScale(0);
    varno::app::CVARNODlg window;
    window.show();
    window.rawTextButton->setChecked(true);
    window.setRawTextMode(true);
    QCoreApplication::processEvents();

    char frame[32];
    double slowest = 1e30;
    long rssBefore = 0, rssAfterFirstTrim = 0, rssAfter = 0;
    int mostLines = 0;
    double cpuRate = 0;
    std::int64_t second = 1700000000;

    for (auto _ : state) {
        rssBefore = residentKb();
        const double cpuStart = cpuSeconds();
        QElapsedTimer total, stretch;
        total.start();
        stretch.start();
        for (int i = 0; i < kFrames; ++i) {
            std::snprintf(frame, sizeof frame, "[%02X%06X%04X]", i % 256, (i * 7919) % 0x1000000, i % 0x10000);
            if (i % 100 == 0)
                ++second;
            window.EchoFrame(second, frame);
            mostLines = std::max(mostLines, window.textView->document()->blockCount());
            if (i % kEventsEvery == 0)
                QCoreApplication::processEvents();
            if (i == 1100)
                rssAfterFirstTrim = residentKb();
            if ((i + 1) % kWindow == 0) {
                const double rate = kWindow / (static_cast<double>(stretch.nsecsElapsed()) / 1e9);
                slowest = std::min(slowest, rate);
                std::printf("  %6d frames: %6.0f echoes/s, RSS %ld kB\n", i + 1, rate, residentKb());
                stretch.restart();
            }
        }
        QCoreApplication::processEvents();
        const double seconds = static_cast<double>(total.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds() - cpuStart;
        rssAfter = residentKb();
        state.SetIterationTime(seconds);

        std::printf("echoed %d frames in %.2f s: %.0f echoes/s overall, %.0f echoes/s in the slowest stretch of %d\n",
                    kFrames, seconds, kFrames / seconds, slowest, kWindow);
        std::printf("CPU time %.2f s: %.0f echoes per CPU second\n", cpu, kFrames / cpu);
        cpuRate = kFrames / cpu;
        std::printf("RSS: %ld kB before, %ld kB after the first trim, %ld kB after %d frames; at most %d lines\n",
                    rssBefore, rssAfterFirstTrim, rssAfter, kFrames, mostLines);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kFrames);
    state.counters["slowest_stretch_echoes_per_second"] = slowest;
    state.counters["echoes_per_cpu_second"] = cpuRate;
    state.counters["rss_before_kB"] = static_cast<double>(rssBefore);
    state.counters["rss_after_first_trim_kB"] = static_cast<double>(rssAfterFirstTrim);
    state.counters["rss_after_kB"] = static_cast<double>(rssAfter);
    state.counters["most_lines"] = mostLines;
}
BENCHMARK(EchoInRawTextMode)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

