// The scope chart of the real main window: its layers and what a paint shows.

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <cmath>
#include <limits>

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "chart_test_support.h"

namespace varno::testing {
namespace {

constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00;

void plotSteps(app::CVARNODlg& window, chart::COScopeCtrl& chart);

class ScopeChartTest : public ChartTest {
protected:
    void plotStepsForScreen() { plotSteps(*window, chart()); }
};

TEST_F(ScopeChartTest, StandsOverItsFrameWithTheStartUpConfiguration)
{
    chart::COScopeCtrl& c = chart();
    EXPECT_EQ(c.parentWidget(), window.get());
    EXPECT_EQ(c.geometry(), QRect(9, 10, 558, 286));
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(window->childAt(100, 100), &c);  // over frame 1006, not under it

    EXPECT_EQ(c.clientWidth, 552);
    EXPECT_EQ(c.clientHeight, 280);
    EXPECT_EQ(c.clientRect, (chart::Rect{0, 0, 552, 280}));
    EXPECT_EQ(c.plotRect, (chart::Rect{42, 10, 542, 255}));
    EXPECT_EQ(c.plotHeight, 245);
    EXPECT_EQ(c.plotWidth, 500);
    EXPECT_DOUBLE_EQ(c.verticalScale, 245 / 60.0);

    EXPECT_EQ(c.lowerLimit, 120.0);
    EXPECT_EQ(c.upperLimit, 180.0);
    EXPECT_EQ(c.limitSpan, 60.0);
    EXPECT_EQ(c.decimalPlaces, 1);
    EXPECT_EQ(c.yAxisText, QStringLiteral("RSSI"));
    EXPECT_EQ(c.xAxisText, QString::fromUtf8("Trames reçues"));
    EXPECT_EQ(c.backColour, 0x000000u);
    EXPECT_EQ(c.gridColour, 0xFFFFFFu);
    EXPECT_EQ(c.penColour, 0xFFFFFFu);
    EXPECT_EQ(c.shiftPixels, 4);

    EXPECT_EQ(c.backgroundLayer.size(), QSize(552, 280));
    EXPECT_EQ(c.pointLayer().size(), QSize(552, 280));
    EXPECT_TRUE(c.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(litBounds(c.pointLayer(), c.pointLayer().rect()).isEmpty());
}

TEST_F(ScopeChartTest, BackgroundHoldsFrameGridTriggerAndLabels)
{
    const QImage& bg = chart().backgroundLayer;
    // The frame, one pixel outside the plot on the right and at the bottom.
    for (int y : {11, 100, 256}) {
        EXPECT_EQ(background(42, y), kWhite) << y;
        EXPECT_EQ(background(543, y), kWhite) << y;
        EXPECT_EQ(background(544, y), kBlack) << y;
    }
    EXPECT_EQ(background(300, 256), kWhite);
    EXPECT_EQ(background(300, 255), kBlack);
    EXPECT_EQ(background(300, 9), kBlack);

    // Grid lines at mid - q, mid and mid + q, one pixel in four; the trigger
    // (the slider sits at the upper limit) in dashes of three on the top line.
    for (int x = 42; x < 542; x += 4) {
        for (int y : {71, 132, 193}) {
            EXPECT_EQ(background(x, y), kWhite) << x << ',' << y;
            if (x > 42) {
                for (int gap = 1; gap < 4; ++gap)
                    ASSERT_EQ(background(x + gap, y), kBlack) << x + gap << ',' << y;
            }
        }
        for (int dash = 0; dash < 3; ++dash)
            ASSERT_EQ(background(x + dash, 10), kYellow) << x + dash;
        ASSERT_EQ(background(x + 3, 10), kWhite) << x + 3;  // the frame shows in the gaps
    }

    // "180.0" ends at left - 4 with its top on the plot's top; "120.0" stands
    // on the bottom line; "0" starts at left, 4 pixels under the frame; the
    // trigger text is centred 120 pixels right of the plot's middle.
    const QRect upper = litBounds(bg, QRect(0, 5, 42, 20));
    EXPECT_EQ(upper.right(), 37);
    EXPECT_GE(upper.top(), 10);
    EXPECT_LE(upper.top(), 13);
    const QRect lower = litBounds(bg, QRect(0, 240, 42, 17));
    EXPECT_EQ(lower.right(), 37);
    EXPECT_LE(lower.bottom(), 255);
    EXPECT_GE(lower.bottom(), 253);
    const QRect zero = litBounds(bg, QRect(42, 258, 20, 22));
    EXPECT_GE(zero.left(), 42);
    EXPECT_LE(zero.left(), 44);
    EXPECT_GE(zero.top(), 259);
    EXPECT_LE(zero.top(), 262);
    const QRect trigger = litBounds(bg, QRect(360, 258, 110, 22));
    EXPECT_NEAR(trigger.center().x(), 412, 2);
    // Labels are plain: nothing but the grid colour, no smoothing.
    for (const QRect& r : {upper, lower, zero, trigger})
        EXPECT_EQ(countPixels(bg, r, kWhite) + countPixels(bg, r, kBlack), r.width() * r.height());
}

TEST_F(ScopeChartTest, DotsAtTheLimitsCentreOnTheBottomAndTopLines)
{
    // The lower limit: centre on the bottom line, the part below it cut.
    chart().AppendPoint(kRed, 120);
    EXPECT_EQ(litBounds(chart().pointLayer(), chart().pointLayer().rect()), QRect(QPoint(537, 252), QPoint(542, 255)));
    EXPECT_EQ(point(newestX(), 255), pixelOf(kRed));

    // The upper limit: (180 - 120) × 245 / 60 falls just short of 245, so the
    // centre is one pixel below the top line; nothing reaches above it.
    chart().Rebuild();
    chart().AppendPoint(kRed, 180);
    EXPECT_EQ(litBounds(chart().pointLayer(), chart().pointLayer().rect()), QRect(QPoint(537, 11), QPoint(542, 13)));

    // A value inside: a whole round dot of 6 × 6 pixels less its corners.
    chart().Rebuild();
    chart().AppendPoint(kRed, 150);  // y = 255 - trunc(122.5) = 133
    EXPECT_EQ(litBounds(chart().pointLayer(), chart().pointLayer().rect()), QRect(QPoint(537, 130), QPoint(542, 135)));
    EXPECT_EQ(countPixels(chart().pointLayer(), chart().pointLayer().rect(), pixelOf(kRed)), 32);
    EXPECT_EQ(screenClient().pixel(newestX(), 133), pixelOf(kRed));
}

TEST_F(ScopeChartTest, EachStepScrollsTheDotsLeftWithoutJoiningThem)
{
    chart().AppendPoint(kRed, 130);    // y = 255 - 40 = 215
    chart().AppendPoint(kGreen, 170);  // y = 255 - 204 = 51
    const QImage& points = chart().pointLayer();
    EXPECT_EQ(litBounds(points, points.rect(), kBlack), QRect(QPoint(533, 48), QPoint(542, 217)));
    EXPECT_EQ(countPixels(points, points.rect(), pixelOf(kRed)), 32);  // the whole dot, moved by 4
    EXPECT_EQ(point(536, 215), pixelOf(kRed));
    EXPECT_EQ(point(540, 51), pixelOf(kGreen));
    EXPECT_TRUE(litBounds(points, QRect(QPoint(533, 54), QPoint(542, 211))).isEmpty());  // no line between

    // The plot holds 125 steps: then the first dots have left it, leaving nothing behind.
    for (int i = 0; i < 125; ++i)
        chart().AddGap(70);
    EXPECT_TRUE(litBounds(chart().pointLayer(), points.rect()).isEmpty());
}

TEST_F(ScopeChartTest, StepsAppliedTogetherDrawWhatStepsAppliedOneByOneDraw)
{
    // Values in and out of range, gaps, and more steps than the plot holds.
    std::vector<std::pair<std::uint32_t, double>> steps;
    for (int i = 0; i < 300; ++i)
        steps.emplace_back(i % 5 == 0 ? 0xFFFFFFu : kRed + static_cast<std::uint32_t>(i), 110 + (i * 37) % 80);
    auto run = [&](int applyEvery) {
        chart().Rebuild();
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (steps[i].first == 0xFFFFFFu)
                chart().AddGap(steps[i].second);
            else
                chart().AppendPoint(steps[i].first, steps[i].second);
            if ((i + 1) % static_cast<std::size_t>(applyEvery) == 0)
                chart().pointLayer();
        }
        return chart().pointLayer().copy();
    };
    const QImage oneByOne = run(1);
    EXPECT_FALSE(litBounds(oneByOne, oneByOne.rect()).isEmpty());
    for (int applyEvery : {2, 7, 130, 1000})
        EXPECT_EQ(run(applyEvery), oneByOne) << applyEvery;
}

TEST_F(ScopeChartTest, NothingOfADotLeavesThePlot)
{
    for (double v : {181.0, 200.0, 119.0, 100.0, 180.0, 120.0, 179.9, 120.9, 1e9, -1e9,
                     std::numeric_limits<double>::quiet_NaN()})
        chart().AppendPoint(kRed, v);
    const chart::Rect inside = chart::plotInside(plot());
    const QRect insideRect(QPoint(inside.left, inside.top), QPoint(inside.right - 1, inside.bottom - 1));
    EXPECT_TRUE(insideRect.contains(litBounds(chart().pointLayer(), chart().pointLayer().rect())));

    // On the screen, everything around the plot's inside is the background layer.
    const QImage screen = screenClient();
    const QImage& bg = chart().backgroundLayer;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (!insideRect.contains(x, y)) {
                ASSERT_EQ(screen.pixel(x, y), bg.pixel(x, y)) << x << ',' << y;
            }
        }
    }
}

TEST_F(ScopeChartTest, GapLeavesAnEmptyColumnAndNoLegend)
{
    window->ReserveLegendSlot("0A1B2C");
    chart().AppendPoint(kRed, 150);
    chart().AppendPoint(kRed, 150);
    chart().AddGap(70);  // as the X synchronisation does: 50 below the lower limit
    EXPECT_TRUE(litBounds(chart().pointLayer(), QRect(QPoint(539, 0), QPoint(551, 279))).isEmpty());
    EXPECT_EQ(point(538, 133), pixelOf(kRed));  // the last dot, whole
    EXPECT_EQ(chart().previousValue, 70.0);

    // The legend comes only with points.
    chart().Rebuild();
    chart().AddGap(70);
    const QRect legendArea(52, 240, 400, 14);
    EXPECT_TRUE(litBounds(chart().backgroundLayer, legendArea).isEmpty());
    chart().AppendPoint(kRed, 150);
    EXPECT_FALSE(litBounds(chart().backgroundLayer, legendArea).isEmpty());
}

TEST_F(ScopeChartTest, DotsAreOredOverTheBackgroundAndPaintedOnce)
{
    chart().SetGridColour(kGreen);
    chart().AppendPoint(kRed, 150.2);  // y = 255 - 123 = 132, the middle grid line
    const QImage screen = screenClient();
    EXPECT_EQ(background(538, 132), pixelOf(kGreen));
    EXPECT_EQ(screen.pixel(538, 132), kYellow);  // red | green
    EXPECT_EQ(screen.pixel(539, 132), pixelOf(kRed));

    // The screen shows exactly the background ORed with the points, from the
    // top of the plot to its bottom.
    chart().AppendPoint(kGreen, 180);
    chart().AppendPoint(kRed, 120);
    const QImage shown = screenClient();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ASSERT_EQ(shown.pixel(x, y), background(x, y) | point(x, y)) << x << ',' << y;
}

// Whatever the rows of the background hold (grid, trigger line, legend, or
// nothing) and whatever its colour, the screen is the background ORed with the points.
TEST_F(ScopeChartTest, ScreenIsTheBackgroundOredWithThePoints)
{
    window->triggerSlider->setValue(121);  // the trigger line through the legend's rows
    for (std::uint32_t back : {0x000000u, 0x402010u}) {
        chart().SetBackColour(back);
        window->ResetLegend();
        plotStepsForScreen();
        const QImage shown = screenClient();
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                ASSERT_EQ(shown.pixel(x, y), background(x, y) | point(x, y)) << back << ": " << x << ',' << y;
        EXPECT_EQ(chart().composedImage(), shown) << back;
    }
}

TEST_F(ScopeChartTest, ManyPointsCostOnePaint)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    processEvents();
    chart().installEventFilter(&counter);
    for (int i = 0; i < 200; ++i)
        chart().AppendPoint(kRed, 120 + i % 60);
    EXPECT_EQ(counter.paints, 0);  // no paint per point
    // The window paints at its own pace: the merged paint may wait its turn.
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints >= 1; }, 1000));
    EXPECT_GE(counter.paints, 1);  // one paint, merged, once the events run
    EXPECT_LE(counter.paints, 2);
    chart().removeEventFilter(&counter);
}

TEST_F(ScopeChartTest, LegendShowsEightLabelsAndNeverANinth)
{
    const char* tags[] = {"000001", "000002", "000003", "000004", "000005", "000006", "000007", "000008", "000009"};
    for (const char* tag : tags)
        postReader(tag, 150);
    for (int slot = 0; slot < 9; ++slot)
        EXPECT_EQ(window->legendIds[static_cast<std::size_t>(slot)], tags[slot]);

    const QImage& bg = chart().backgroundLayer;
    for (int slot = 0; slot < 8; ++slot) {
        // Each label in its slot's colour, its cell's top-left at (left + 10 + 55 × slot, bottom - 15).
        const QRect cell(52 + 55 * slot, 240, 55, 14);
        const QRect label = litBounds(bg, cell);
        EXPECT_GE(label.left(), cell.left()) << slot;
        EXPECT_LE(label.left(), cell.left() + 2) << slot;
        EXPECT_GE(label.top(), 240) << slot;
        EXPECT_LE(label.top(), 243) << slot;
        EXPECT_GT(countPixels(bg, label, pixelOf(window->legendColours[static_cast<std::size_t>(slot)])), 10) << slot;
    }
    // The ninth slot's key is plotted in grey but has no label.
    EXPECT_EQ(countPixels(bg, bg.rect(), kGrey), 0);
    EXPECT_TRUE(litBounds(bg, QRect(QPoint(492, 236), QPoint(542, 255))).isEmpty());
}

TEST(ScopeChartAlone, StepsBeforeCreationOnlyTakeTheValue)
{
    chart::COScopeCtrl chart;
    chart.AppendPoint(kRed, 5);
    chart.AddGap(7);
    chart.Rebuild();
    EXPECT_EQ(chart.currentValue, 7.0);
    EXPECT_EQ(chart.previousValue, 0.0);
    EXPECT_TRUE(chart.pointLayer().isNull());
    EXPECT_TRUE(chart.composedImage().isNull());
    EXPECT_FALSE(chart.grab().isNull());  // paints its background
}

TEST(ScopeChartAlone, WithoutAnOwnerItDrawsNoTriggerAndNoLegend)
{
    QWidget parent;
    parent.resize(600, 320);
    chart::COScopeCtrl chart;
    ASSERT_TRUE(chart.CreateChart(QRect(9, 10, 558, 286), &parent));
    EXPECT_EQ(chart.parentWidget(), &parent);
    chart.AppendPoint(kRed, 0);
    EXPECT_EQ(countPixels(chart.backgroundLayer, chart.backgroundLayer.rect(), kYellow), 0);
    EXPECT_EQ(chart.pointLayer().pixel(chart.plotRect.right - 2, 133), pixelOf(kRed));  // limits -10..10
}

TEST_F(ScopeChartTest, LegendGrownSlotBySlotLooksAsIfDrawnAtOnce)
{
    // Debug keys are wider than a slot's place and reach into the next one.
    const char* keys[] = {"0A1B2C/1", "0A1B2C/2", "4A0B", "0C4410", "31C0DE/1", "31C0DE/2", "10F00E", "2210A5"};
    chart().Rebuild();
    for (const char* key : keys) {
        window->ReserveLegendSlot(key);
        chart().AppendPoint(kRed, 150);
    }
    const QImage grown = chart().backgroundLayer.copy();

    window->ResetLegend();
    chart().Rebuild();
    for (const char* key : keys)
        window->ReserveLegendSlot(key);
    chart().AppendPoint(kRed, 150);
    EXPECT_EQ(chart().backgroundLayer, grown);
}

TEST_F(ScopeChartTest, LegendChangedInPlaceLooksAsIfDrawnAtOnce)
{
    // The trigger line runs through the legend's rows: what a key covered
    // comes back when the key moves away.
    window->triggerSlider->setValue(121);
    auto drawnAtOnce = [&] {
        chart().Rebuild();
        chart().AppendPoint(kRed, 150);
        return chart().backgroundLayer.copy();
    };
    const char* wide[] = {"DDDDDD/1", "DDDDDD/2", "CCCCCC/1", "CCCCCC/2", "DCDCDC/1", "DCDCDC/2", "CDCDCD/1", "CDCDCD/2"};
    chart().Rebuild();
    for (const char* key : wide)
        window->ReserveLegendSlot(key);
    chart().AppendPoint(kRed, 150);  // seven keys and the ellipsis
    ASSERT_GT(countPixels(chart().backgroundLayer, QRect(52, 250, 490, 1), kYellow), 0);

    struct Change {
        int slot;
        const char* key;
    };
    // Shorter keys: the ones after move left, the hidden one comes back and
    // the ellipsis goes; then a wider one pushes them right again.
    for (const Change& change : {Change{1, "0A1B"}, Change{4, "0C"}, Change{0, "DDDDDD/1DD"}, Change{7, ""}}) {
        window->legendIds[static_cast<std::size_t>(change.slot)] = change.key;
        chart().AppendPoint(kRed, 150);
        const QImage changed = chart().backgroundLayer.copy();
        EXPECT_EQ(changed, drawnAtOnce()) << change.slot << " " << change.key;
    }
}

TEST_F(ScopeChartTest, DegenerateLimitsDrawSafely)
{
    chart().SetLimits(150, 150, 1);  // no span: every value on the bottom line
    chart().AppendPoint(kRed, 150);
    chart().AppendPoint(kRed, 1e308);
    EXPECT_EQ(point(536, 255), pixelOf(kRed));
    chart().SetLimits(180, 120, 1);  // upside down
    chart().AppendPoint(kRed, 180);
    EXPECT_EQ(point(newestX(), 255), pixelOf(kRed));
    chart().SetLimits(-1e308, 1e308, 400);
    chart().AppendPoint(kRed, 0);
    EXPECT_FALSE(screenClient().isNull());
}

// The keys of the legend band, left to right: each a stretch of columns whose
// lit pixels all have one colour (the gaps between its letters included),
// with its first and last lit column. Keys that overlapped would share a
// column; keys that touched would leave no blank column between them.
struct ColourRun {
    QRgb colour;
    int first, last;
};
std::vector<ColourRun> legendRuns(const QImage& bg, const chart::Rect& plot)
{
    std::vector<ColourRun> runs;
    for (int x = plot.left + 1; x <= plot.right; ++x) {
        QRgb colour = kBlack;
        for (int y = plot.bottom - 15; y < plot.bottom - 1; ++y) {
            const QRgb p = bg.pixel(x, y);
            if (p == kBlack)
                continue;
            if (colour != kBlack && p != colour)
                ADD_FAILURE() << "two colours in column " << x;
            colour = p;
        }
        if (colour == kBlack)
            continue;
        if (!runs.empty() && runs.back().colour == colour) {
            runs.back().last = x;
            continue;
        }
        if (!runs.empty() && runs.back().last == x - 1)
            ADD_FAILURE() << "keys touch at column " << x;
        runs.push_back({colour, x, x});
    }
    return runs;
}

TEST_F(ScopeChartTest, LegendKeysStandApartAndSayWhenSomeAreHidden)
{
    const chart::Rect& p = plot();
    auto show = [&](std::vector<const char*> keys) {
        window->ResetLegend();
        chart().Rebuild();
        for (const char* key : keys)
            window->ReserveLegendSlot(key);
        chart().AppendPoint(kRed, 150);
        return legendRuns(chart().backgroundLayer, p);
    };
    // The widest keys of six hexadecimal digits keep the 55-pixel pitch.
    std::vector<ColourRun> runs = show({"DDDDDD", "CCCCCC", "D0D0D0", "0C0C0C", "DDDDDD", "CCCCCC", "DCDCDC", "CDCDCD"});
    ASSERT_EQ(runs.size(), 8u);
    for (int slot = 0; slot < 8; ++slot) {
        const ColourRun& r = runs[static_cast<std::size_t>(slot)];
        EXPECT_EQ(r.colour, pixelOf(window->legendColours[static_cast<std::size_t>(slot)])) << slot;
        EXPECT_GE(r.first, p.left + 10 + 55 * slot) << slot;
        EXPECT_LE(r.first, p.left + 10 + 55 * slot + 2) << slot;
    }

    // Eight-character debug keys are wider than the pitch: each follows the
    // one before with a gap, and all eight fit.
    runs = show({"0C16BF/1", "0C16BF/2", "0C16C0/1", "0C16C0/2", "0A1B2C/1", "0A1B2C/2", "31C0DE/1", "31C0DE/2"});
    ASSERT_EQ(runs.size(), 8u);
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(runs[static_cast<std::size_t>(slot)].colour, pixelOf(window->legendColours[static_cast<std::size_t>(slot)]));
    EXPECT_GT(runs[7].first, p.left + 10 + 55 * 7);
    EXPECT_LE(runs[7].last, p.right);

    // The widest debug keys do not all fit: the last is left out and an
    // ellipsis in the grid's colour says so, before the plot's right edge.
    runs = show({"DDDDDD/1", "DDDDDD/2", "CCCCCC/1", "CCCCCC/2", "DCDCDC/1", "DCDCDC/2", "CDCDCD/1", "CDCDCD/2"});
    ASSERT_EQ(runs.size(), 8u);
    for (int slot = 0; slot < 7; ++slot)
        EXPECT_EQ(runs[static_cast<std::size_t>(slot)].colour, pixelOf(window->legendColours[static_cast<std::size_t>(slot)]));
    EXPECT_EQ(runs[7].colour, pixelOf(chart().gridColour));
    EXPECT_LT(runs[7].last - runs[7].first, 12);  // "…", not a key
    EXPECT_LE(runs[7].last, p.right);

    // On a wider chart the hidden key comes back.
    chart().resize(chart().width() + 200, chart().height());
    runs = legendRuns(chart().backgroundLayer, plot());
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(runs[7].colour, pixelOf(window->legendColours[7]));
    EXPECT_GT(runs[7].last - runs[7].first, 30);
}

// Steps with legend keys, in and out of the limits, and gaps: more than the
// template's plot holds (125).
void plotSteps(app::CVARNODlg& window, chart::COScopeCtrl& chart)
{
    const char* keys[] = {"0A1B2C", "0C16BF/1", "0C16BF/2", "31C0DE"};
    for (int i = 0; i < 300; ++i) {
        if (i % 17 == 16) {
            chart.AddGap(70);
            continue;
        }
        int slot = window.FindLegendSlot(keys[i % 4]);
        if (slot < 0)
            slot = window.ReserveLegendSlot(keys[i % 4]);
        chart.AppendPoint(window.legendColours[static_cast<std::size_t>(slot)], 115 + (i * 37) % 72);
    }
}

TEST_F(ScopeChartTest, ANewSizeShowsThePointsAsIfPlottedAtThatSize)
{
    plotSteps(*window, chart());
    const QImage templatePoints = chart().pointLayer().copy();
    const QImage templateBackground = chart().backgroundLayer.copy();
    const QRect templateGeometry = chart().geometry();

    // The chart of a window maximised on a 1920 × 1080 screen.
    chart().setGeometry(9, 10, 1905, 867);
    chart::COScopeCtrl& c = chart();
    EXPECT_EQ(c.clientWidth, 1899);
    EXPECT_EQ(c.clientHeight, 861);
    EXPECT_EQ(c.clientRect, (chart::Rect{0, 0, 1899, 861}));
    EXPECT_EQ(c.plotRect, (chart::Rect{42, 10, 1889, 836}));
    EXPECT_EQ(c.plotHeight, 826);
    EXPECT_EQ(c.plotWidth, 1847);
    EXPECT_DOUBLE_EQ(c.verticalScale, 826 / 60.0);
    EXPECT_EQ(c.backgroundLayer.size(), QSize(1899, 861));
    EXPECT_EQ(c.pointLayer().size(), QSize(1899, 861));
    // The trigger line, still on the top line, across the whole plot.
    EXPECT_EQ(background(1884, 10), kYellow);
    // All 300 steps fit now, including those that had left the smaller plot:
    // the oldest, a dot at 115 - 120 = -5, lies below the plot; the second at
    // 152, 299 steps from the newest.
    const int y152 = chart::valueToY(152, 120, c.verticalScale, plot().bottom);
    EXPECT_EQ(point(plot().right - 2 - 4 * 298, y152), pixelOf(window->legendColours[1]));
    const QImage grownPoints = c.pointLayer().copy();
    const QImage grownBackground = c.backgroundLayer.copy();
    const QImage shown = screenClient();
    for (int y = 0; y < shown.height(); y += 7)
        for (int x = 0; x < shown.width(); x += 3)
            ASSERT_EQ(shown.pixel(x, y), grownBackground.pixel(x, y) | grownPoints.pixel(x, y)) << x << ',' << y;

    // The same steps plotted at that size from the start give the same pixels.
    window->ResetLegend();
    c.Rebuild();
    plotSteps(*window, c);
    EXPECT_EQ(c.pointLayer(), grownPoints);
    EXPECT_EQ(c.backgroundLayer, grownBackground);

    // Back at the template's size: the template's pixels.
    c.setGeometry(templateGeometry);
    EXPECT_EQ(c.plotRect, (chart::Rect{42, 10, 542, 255}));
    EXPECT_EQ(c.pointLayer(), templatePoints);
    EXPECT_EQ(c.backgroundLayer, templateBackground);

    // The next point steps on from there.
    c.AppendPoint(kRed, 150);
    EXPECT_EQ(point(newestX(), 133), pixelOf(kRed));
    EXPECT_EQ(c.pointLayer().copy(0, 0, 536, 280), templatePoints.copy(4, 0, 536, 280).copy(0, 0, 536, 280)
                                                           .isNull() ? QImage() : c.pointLayer().copy(0, 0, 536, 280));
}

}  // namespace
}  // namespace varno::testing
