// Recording a frame in the CSV log: the time columns, the line and its one
// write() to a real file, through the main window's RecordFrame and through the
// core alone. Prints microseconds per line.

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>

#include <chrono>
#include <string>

#include "app/main_window.h"
#include "log/log_file.h"
#include "log/log_lines.h"
#include "support/temp_dir.h"
#include "ui/alerts.h"

namespace {

using namespace varno;

using testing::TempDir;

template <class Body>
void timeLines(benchmark::State& state, Body body)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        body();
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    state.SetItemsProcessed(state.iterations());
    state.counters["us_per_line"] = elapsed.count() / static_cast<double>(state.iterations());
}

void BM_RecordFrame(benchmark::State& state)
{
    TempDir dir;
    app::CVARNODlg window;
    window.workingDirectory = dir.path();
    window.button(app::idc::Log)->click();
    if (window.loggingOn != 1) {
        state.SkipWithError("the log file did not open");
        return;
    }
    const std::string frame = "[5A0A1B2CABCD]";
    const decode::ReaderFields fields{"5A", 90, "0A1B2C", "ABCD"};
    // Each line goes by its frame's stamp, read here as a reception thread reads it.
    timeLines(state, [&] {
        window.frameArrivalTime = window.clock->nowMillis();
        window.RecordFrame(frame, fields);
    });
    if (window.loggingOn != 1)
        state.SkipWithError("a line could not be written");
}
BENCHMARK(BM_RecordFrame);

void BM_LineAndAppend(benchmark::State& state)
{
    TempDir dir;
    log::LogFile file;
    if (file.open(dir.path() + "/bench.csv") != log::LogResult::Ok) {
        state.SkipWithError("the log file did not open");
        return;
    }
    const log::Clock& clock = log::systemClock();
    std::int64_t firstTime = 0, lastTime = -1;
    std::uint16_t firstMillis = 0, lastMillis = 0;
    timeLines(state, [&] {
        const log::ClockReading now = clock.nowMillis();
        const log::TimeColumns times = log::stepFrameTimes(firstTime, firstMillis, lastTime, lastMillis, now);
        const std::string dateTime = log::formatLocalTime(clock, now.seconds, log::kDateTimeFormat);
        const std::string line =
            log::readerLine("[5A0A1B2CABCD]", dateTime, now.milliseconds, "ABCD", "0A1B2C", times, 90);
        if (file.append(line) != log::LogResult::Ok)
            state.SkipWithError("a line could not be written");
    });
}
BENCHMARK(BM_LineAndAppend);

}  // namespace

