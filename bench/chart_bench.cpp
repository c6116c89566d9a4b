// The chart's cost per value: one step (scroll, dot, a legend of eight labels)
// and, for comparison, the composition a paint makes; at the window's template
// size (573 × 499) and maximised on a 1920 × 1080 screen.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <array>
#include <ctime>
#include <string>

#include "chart/chart_owner.h"
#include "chart/oscope_ctrl.h"
#include "decode/legend.h"

namespace {

// A window size and the chart frame's place in it: the frame takes all that
// the window has over the template's size.
struct WindowSize {
    int width, height;
    QRect chart() const { return QRect(9, 10, 558 + width - 573, 286 + height - 499); }
};
constexpr WindowSize kTemplate{573, 499};
constexpr WindowSize kFullHd{1920, 1080};

// A window that owns the chart the way the main window does: trigger at the
// upper limit, all nine legend slots taken, so eight labels are drawn.
class Owner : public QWidget, public varno::chart::ChartOwner {
public:
    explicit Owner(WindowSize size)
    {
        resize(size.width, size.height);
        for (std::size_t i = 0; i < ids.size(); ++i)
            ids[i] = "0A1B2" + std::to_string(i);
    }
    int triggerLevel() const override { return 180; }
    int legendCount() const override { return varno::decode::kLegendSlots; }
    std::string_view legendId(int slot) const override { return ids[static_cast<std::size_t>(slot)]; }
    std::uint32_t legendColour(int slot) const override
    {
        return varno::decode::kLegendDefaultColours[static_cast<std::size_t>(slot)];
    }
    varno::decode::LegendIds ids;
};

// The chart as the main window configures it at start-up.
void configure(varno::chart::COScopeCtrl& chart, Owner& owner, WindowSize size)
{
    chart.CreateChart(size.chart(), &owner);
    chart.SetLimits(120.0, 180.0, 1);
    chart.SetYAxisText(QStringLiteral("RSSI"));
    chart.SetXAxisText(QString::fromUtf8("Trames reçues"));
    chart.SetBackColour(0x000000);
    chart.SetGridColour(0xFFFFFF);
    chart.SetPenColour(0xFFFFFF);
}

// CPU time of this thread: the machine's other cores may be busy.
double threadCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// `applyEvery`: the steps are brought into the point layer (as a paint does)
// after this many points; 1 is the cost of a step applied on its own.
void appendPoints(benchmark::State& state, WindowSize size, bool legendChangesEveryTime, int applyEvery = 1)
{
    Owner owner(size);
    varno::chart::COScopeCtrl chart;
    configure(chart, owner, size);
    int i = 0;
    const double start = threadCpuMicroseconds();
    for (auto _ : state) {
        if (legendChangesEveryTime)
            owner.ids[7][5] = static_cast<char>('0' + i % 10);  // the eighth label changes
        chart.AppendPoint(varno::decode::kLegendDefaultColours[static_cast<std::size_t>(i % 8)], 120 + (i * 7) % 61);
        if (++i % applyEvery == 0)
            benchmark::DoNotOptimize(chart.pointLayer().constBits());
    }
    const double elapsed = threadCpuMicroseconds() - start;
    state.counters["us_per_point"] = elapsed / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
}

// The usual step, applied on its own (a paint after every point): scroll and
// dot; the legend's eight labels are the ones already drawn.
void AppendPoint(benchmark::State& state, WindowSize size)
{
    appendPoints(state, size, false);
}
BENCHMARK_CAPTURE(AppendPoint, 573x499, kTemplate)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendPoint, 1920x1080, kFullHd)->Unit(benchmark::kMicrosecond);

// Points arriving faster than paints: one paint for every 16 points, their
// steps applied together.
void AppendPointSixteenPerPaint(benchmark::State& state, WindowSize size)
{
    appendPoints(state, size, false, 16);
}
BENCHMARK_CAPTURE(AppendPointSixteenPerPaint, 573x499, kTemplate)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendPointSixteenPerPaint, 1920x1080, kFullHd)->Unit(benchmark::kMicrosecond);

// The worst step: the legend has changed, its eight labels are drawn again
// (in operation this happens when a tag takes a slot).
void AppendPointNewLegend(benchmark::State& state, WindowSize size)
{
    appendPoints(state, size, true);
}
BENCHMARK_CAPTURE(AppendPointNewLegend, 573x499, kTemplate)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AppendPointNewLegend, 1920x1080, kFullHd)->Unit(benchmark::kMicrosecond);

// What a paint composes: the background with the points ORed over it.
void ComposeForPaint(benchmark::State& state, WindowSize size)
{
    Owner owner(size);
    varno::chart::COScopeCtrl chart;
    configure(chart, owner, size);
    for (int i = 0; i < 200; ++i)
        chart.AppendPoint(varno::decode::kLegendDefaultColours[static_cast<std::size_t>(i % 8)], 120 + (i * 7) % 61);
    for (auto _ : state)
        benchmark::DoNotOptimize(chart.composedImage().constBits());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(ComposeForPaint, 573x499, kTemplate)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ComposeForPaint, 1920x1080, kFullHd)->Unit(benchmark::kMicrosecond);

// A window resized while points are plotted: the chart laid out again at the
// other size, its kept steps drawn again.
void ResizeWithPoints(benchmark::State& state)
{
    Owner owner(kFullHd);
    owner.show();  // a hidden widget takes its new size only once shown
    varno::chart::COScopeCtrl chart;
    configure(chart, owner, kTemplate);
    for (int i = 0; i < 1000; ++i)
        chart.AppendPoint(varno::decode::kLegendDefaultColours[static_cast<std::size_t>(i % 8)], 120 + (i * 7) % 61);
    bool large = false;
    for (auto _ : state) {
        large = !large;
        chart.setGeometry((large ? kFullHd : kTemplate).chart());
        benchmark::DoNotOptimize(chart.composedImage().constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ResizeWithPoints)->Unit(benchmark::kMicrosecond);

}  // namespace
