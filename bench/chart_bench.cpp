// The chart's cost per value at the main window's size: one step (scroll, dot,
// a legend of eight labels) and, for comparison, the composition a paint makes.
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

// A window that owns the chart the way the main window does: trigger at the
// upper limit, all nine legend slots taken, so eight labels are drawn.
class Owner : public QWidget, public varno::chart::ChartOwner {
public:
    Owner()
    {
        resize(573, 499);
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
void configure(varno::chart::COScopeCtrl& chart, Owner& owner)
{
    chart.CreateChart(QRect(9, 10, 558, 286), &owner);
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
void appendPoints(benchmark::State& state, bool legendChangesEveryTime, int applyEvery = 1)
{
    Owner owner;
    varno::chart::COScopeCtrl chart;
    configure(chart, owner);
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
void AppendPoint(benchmark::State& state)
{
    appendPoints(state, false);
}
BENCHMARK(AppendPoint)->Unit(benchmark::kMicrosecond);

// Points arriving faster than paints: one paint for every 16 points, their
// steps applied together.
void AppendPointSixteenPerPaint(benchmark::State& state)
{
    appendPoints(state, false, 16);
}
BENCHMARK(AppendPointSixteenPerPaint)->Unit(benchmark::kMicrosecond);

// The worst step: the legend has changed, its eight labels are drawn again
// (in operation this happens when a tag takes a slot).
void AppendPointNewLegend(benchmark::State& state)
{
    appendPoints(state, true);
}
BENCHMARK(AppendPointNewLegend)->Unit(benchmark::kMicrosecond);

void ComposeForPaint(benchmark::State& state)
{
    Owner owner;
    varno::chart::COScopeCtrl chart;
    configure(chart, owner);
    for (int i = 0; i < 200; ++i)
        chart.AppendPoint(varno::decode::kLegendDefaultColours[static_cast<std::size_t>(i % 8)], 120 + (i * 7) % 61);
    for (auto _ : state)
        benchmark::DoNotOptimize(chart.composedImage().constBits());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ComposeForPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

