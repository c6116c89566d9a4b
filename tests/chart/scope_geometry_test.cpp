// The chart's pixel arithmetic, without a display.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "chart/scope_geometry.h"

namespace varno::chart {

void PrintTo(const Rect& r, std::ostream* os)
{
    *os << '(' << r.left << ',' << r.top << ")-(" << r.right << ',' << r.bottom << ')';
}
void PrintTo(const Point& p, std::ostream* os)
{
    *os << '(' << p.x << ',' << p.y << ')';
}
void PrintTo(const Label& l, std::ostream* os)
{
    *os << '"' << l.text << "\" align " << l.align << " at (" << l.ref.x << ',' << l.ref.y << ')';
}

namespace {

// The chart over frame 1006: a 552 × 280 client area, limits 120..180, one decimal.
constexpr Rect kPlot{42, 10, 542, 255};
constexpr double kScale = 245 / 60.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ScopeGeometry, SizeHandlerLayoutOfTheDefaultClient)
{
    const SizeLayout l = layoutForClient(552, 280);
    EXPECT_EQ(l.clientRect, (Rect{0, 0, 552, 280}));
    EXPECT_EQ(l.plotRect, (Rect{20, 10, 542, 255}));
    EXPECT_EQ(l.plotHeight, 245);
    EXPECT_EQ(l.plotWidth, 522);
    EXPECT_DOUBLE_EQ(verticalScaleFor(245, 60.0), kScale);
    // No division by zero for an empty span.
    EXPECT_EQ(verticalScaleFor(245, 0.0), 0.0);
    EXPECT_EQ(verticalScaleFor(245, kInf), 0.0);
}

TEST(ScopeGeometry, LeftMarginMakesRoomForTheWidestLabel)
{
    struct Case {
        double lower, upper;
        int decimals;
        int left;
    };
    const Case cases[] = {
        {120, 180, 1, 42},     // n = 2: 6 × (2 + 1 + 4)
        {-10, 10, 3, 48},      // the constructor's limits: n = 1
        {0, 255, 1, 42},       // a limit of 0 counts as 0 digits
        {0, 9, 0, 24},
        {0.5, 0.01, 1, 42},    // |trunc(log10 0.01)| = 2
        {-1000, 5, 2, 54},     // the sign does not count
        {0, kInf, 1, 6 * 405}, // absurd limits give a wide margin, not undefined behaviour
        {kNaN, 1, 1, 30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plotLeft(0, c.lower, c.upper, c.decimals), c.left) << c.lower << ".." << c.upper;
    EXPECT_EQ(plotLeft(5, 120, 180, 1), 47);
    EXPECT_EQ(limitDigits(0), 0);
    EXPECT_EQ(limitDigits(99.9), 1);
    EXPECT_EQ(limitDigits(100), 2);
}

TEST(ScopeGeometry, ValueToPixelTruncatesTowardsZero)
{
    struct Case {
        double value;
        int y;
    };
    const Case cases[] = {
        {120, 255},          // the lower limit on the bottom line
        {180, 11},           // 60 × 245 / 60 = 244.999…: one pixel below the top line
        {150, 255 - 122},    // 122.5 truncated
        {119.9, 255},        // -0.41 truncates to 0, not -1
        {119, 259},
        {70, 255 + 204},     // an empty step, far below the plot
    };
    for (const Case& c : cases)
        EXPECT_EQ(valueToY(c.value, 120, kScale, 255), c.y) << c.value;
    // Values no image could hold end far away, without overflow.
    EXPECT_EQ(valueToY(1e300, 120, kScale, 255), 255 - kFarAway);
    EXPECT_EQ(valueToY(-kInf, 120, kScale, 255), 255 + kFarAway);
    EXPECT_EQ(valueToY(kNaN, 120, kScale, 255), 255 + kFarAway);
}

TEST(ScopeGeometry, TriggerLineFallsBetweenTheLimits)
{
    EXPECT_EQ(triggerToY(180, 120, 180, 10, 255), 10);   // on the top line
    EXPECT_EQ(triggerToY(120, 120, 180, 10, 255), 255);  // on the bottom line
    EXPECT_EQ(triggerToY(150, 120, 180, 10, 255), 132);  // 122.5 + 10, truncated after adding top
    EXPECT_EQ(triggerToY(255, 0, 255, 10, 255), 10);
    // Equal limits leave the line off the layer instead of dividing by zero.
    EXPECT_EQ(triggerToY(150, 150, 150, 10, 255), -kFarAway);
}

TEST(ScopeGeometry, FrameGridAndSteps)
{
    const auto frame = frameRects(kPlot);
    EXPECT_EQ(frame[0], (Rect{42, 10, 544, 11}));    // top line, to right + 1
    EXPECT_EQ(frame[1], (Rect{543, 10, 544, 257}));  // right line, to bottom + 1
    EXPECT_EQ(frame[2], (Rect{42, 256, 544, 257}));  // bottom line
    EXPECT_EQ(frame[3], (Rect{42, 10, 43, 257}));    // left line

    EXPECT_EQ(gridRows(kPlot, 245), (std::array<int, 3>{71, 132, 193}));

    EXPECT_EQ(plotInside(kPlot), (Rect{43, 11, 543, 256}));
    EXPECT_EQ(scrollSource(kPlot, 4), (Rect{47, 11, 543, 256}));
    EXPECT_EQ(scrollDestination(kPlot), (Point{43, 11}));
    EXPECT_EQ(clearedStrip(kPlot, 4), (Rect{539, 11, 543, 256}));
    // The step before's dot, centred at right - 2 - 4, keeps its last column.
    const int previousLastColumn = kPlot.right - 2 - 4 + 2;
    EXPECT_EQ(previousLastColumn + 1, clearedStrip(kPlot, 4).left);

    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(legendOrigin(kPlot, slot), (Point{42 + 10 + 55 * slot, 240})) << slot;
    EXPECT_EQ(legendOrigin(kPlot, 7).x, kPlot.left + 395);
}

TEST(ScopeGeometry, LabelTableOfTheStartUpChart)
{
    LabelInputs in;
    in.plot = kPlot;
    in.plotWidth = 500;
    in.lowerLimit = 120;
    in.upperLimit = 180;
    in.limitSpan = 60;
    in.decimalPlaces = 1;
    in.shiftPixels = 4;
    in.xAxisText = "Trames reçues";
    in.yAxisText = "RSSI";
    in.hasTrigger = true;
    in.triggerLevel = 180;
    const std::vector<Label> expected = {
        {"180.0", AlignRight | AlignTop, {38, 10}},
        {"165.0", AlignRight | AlignTop, {38, 65}},
        {"150.0", AlignRight | AlignTop, {38, 128}},
        {"135.0", AlignRight | AlignTop, {38, 190}},
        {"120.0", AlignRight | AlignBaseline, {38, 255}},
        {"RSSI", AlignRight | AlignBaseline, {27, 270}},
        {"0", AlignLeft | AlignTop, {42, 259}},
        {"125", AlignRight | AlignTop, {542, 259}},
        {"Trames reçues", AlignCenter | AlignTop, {292, 259}},
        {"Trigger=180", AlignCenter | AlignTop, {412, 259}},
    };
    EXPECT_EQ(labelTable(in), expected);

    // Without an owner there is no trigger text; a zero step shows 0 steps.
    in.hasTrigger = false;
    in.shiftPixels = 0;
    const std::vector<Label> labels = labelTable(in);
    ASSERT_EQ(labels.size(), 9u);
    EXPECT_EQ(labels[7].text, "0");
}

// The chart at the window's template size, in a 1024 × 768 window and in a
// window maximised on a 1920 × 1080 screen: the size handler's rules give the
// plot, the labels follow it, the trigger line falls between the limits.
TEST(ScopeGeometry, EverythingFollowsTheClientSize)
{
    struct Case {
        const char* window;
        int clientWidth, clientHeight;
        Rect sizeHandlerPlot;  // before the rebuild moves its left edge
        Rect plot;
        int steps;                      // the label under the plot's right end
        std::array<int, 3> gridRows;    // mid - q, mid, mid + q
        std::array<int, 3> middleTops;  // the tops of "165.0", "150.0" and "135.0"
        int trigger150, trigger135;     // the trigger line's row at 150 and at 135
    };
    const Case cases[] = {
        {"573 x 499", 552, 280, {20, 10, 542, 255}, {42, 10, 542, 255}, 125, {71, 132, 193}, {65, 128, 190}, 132, 193},
        {"1024 x 768", 1003, 549, {20, 10, 993, 524}, {42, 10, 993, 524}, 237, {139, 267, 395}, {133, 263, 392}, 267, 395},
        {"1920 x 1080", 1899, 861, {20, 10, 1889, 836}, {42, 10, 1889, 836}, 461, {217, 423, 629}, {211, 419, 626}, 423, 629},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        const SizeLayout l = layoutForClient(c.clientWidth, c.clientHeight);
        EXPECT_EQ(l.clientRect, (Rect{0, 0, c.clientWidth, c.clientHeight}));
        EXPECT_EQ(l.plotRect, c.sizeHandlerPlot);
        EXPECT_EQ(l.plotHeight, c.clientHeight - 35);
        EXPECT_EQ(l.plotWidth, c.clientWidth - 30);

        Rect plot = l.plotRect;
        plot.left = plotLeft(l.clientRect.left, 120, 180, 1);
        ASSERT_EQ(plot, c.plot);
        EXPECT_EQ(gridRows(plot, l.plotHeight), c.gridRows);
        EXPECT_EQ(triggerToY(180, 120, 180, plot.top, plot.bottom), plot.top);
        EXPECT_EQ(triggerToY(150, 120, 180, plot.top, plot.bottom), c.trigger150);
        EXPECT_EQ(triggerToY(135, 120, 180, plot.top, plot.bottom), c.trigger135);
        EXPECT_EQ(triggerToY(120, 120, 180, plot.top, plot.bottom), plot.bottom);

        LabelInputs in;
        in.plot = plot;
        in.plotWidth = plot.width();
        in.lowerLimit = 120;
        in.upperLimit = 180;
        in.limitSpan = 60;
        in.decimalPlaces = 1;
        in.shiftPixels = 4;
        in.xAxisText = "Trames reçues";
        in.yAxisText = "RSSI";
        in.hasTrigger = true;
        in.triggerLevel = 150;
        const int under = plot.bottom + 4, centre = (plot.left + plot.right) / 2;
        const std::vector<Label> expected = {
            {"180.0", AlignRight | AlignTop, {38, 10}},
            {"165.0", AlignRight | AlignTop, {38, c.middleTops[0]}},
            {"150.0", AlignRight | AlignTop, {38, c.middleTops[1]}},
            {"135.0", AlignRight | AlignTop, {38, c.middleTops[2]}},
            {"120.0", AlignRight | AlignBaseline, {38, plot.bottom}},
            {"RSSI", AlignRight | AlignBaseline, {27, plot.bottom + 15}},
            {"0", AlignLeft | AlignTop, {42, under}},
            {std::to_string(c.steps), AlignRight | AlignTop, {plot.right, under}},
            {"Trames reçues", AlignCenter | AlignTop, {centre, under}},
            {"Trigger=150", AlignCenter | AlignTop, {centre + 120, under}},
        };
        EXPECT_EQ(labelTable(in), expected);
        for (int slot = 0; slot < 8; ++slot)
            EXPECT_EQ(legendOrigin(plot, slot), (Point{52 + 55 * slot, plot.bottom - 15})) << slot;
    }
}

// Key widths as the legend font draws them: six hexadecimal digits take 40 to
// 52 pixels, a debug key such as "0C16BF/1" 54, the ellipsis 12.
TEST(ScopeGeometry, LegendKeysNeverOverlap)
{
    using Places = std::vector<LegendKeyPlace>;
    constexpr int kEllipsis = 12;
    struct Case {
        const char* what;
        Rect plot;
        std::vector<int> widths;  // of slots 0 to 7; 0 = free
        Places keys;
        bool hidden;
        Point ellipsis;
    };
    const Case cases[] = {
        {"six-digit reader keys: each at its slot's place",
         kPlot,
         {45, 52, 40, 52, 45, 45, 52, 40},
         {{0, {52, 240}}, {1, {107, 240}}, {2, {162, 240}}, {3, {217, 240}},
          {4, {272, 240}}, {5, {327, 240}}, {6, {382, 240}}, {7, {437, 240}}},
         false,
         {}},
        {"free slots keep their place",
         kPlot,
         {45, 0, 0, 52, 0, 0, 0, 0},
         {{0, {52, 240}}, {3, {217, 240}}},
         false,
         {}},
        {"eight-character debug keys: each just after the one before",
         kPlot,
         {54, 54, 54, 54, 54, 54, 54, 54},
         {{0, {52, 240}}, {1, {109, 240}}, {2, {166, 240}}, {3, {223, 240}},
          {4, {280, 240}}, {5, {337, 240}}, {6, {394, 240}}, {7, {451, 240}}},
         false,
         {}},
        {"a wide key pushes only its neighbours that it would touch",
         kPlot,
         {54, 45, 45, 45, 0, 0, 0, 0},
         {{0, {52, 240}}, {1, {109, 240}}, {2, {162, 240}}, {3, {217, 240}}},
         false,
         {}},
        {"more keys than fit: the ellipsis after the last that fits",
         kPlot,
         {62, 62, 62, 62, 62, 62, 62, 62},
         {{0, {52, 240}}, {1, {117, 240}}, {2, {182, 240}}, {3, {247, 240}},
          {4, {312, 240}}, {5, {377, 240}}, {6, {442, 240}}},
         true,
         {507, 240}},
        {"the ellipsis needs room: the last key that fits gives way",
         kPlot,
         {62, 62, 62, 62, 62, 62, 90, 62},
         {{0, {52, 240}}, {1, {117, 240}}, {2, {182, 240}}, {3, {247, 240}}, {4, {312, 240}}, {5, {377, 240}}},
         true,
         {442, 240}},
        {"keys after one that does not fit stay hidden, even short ones",
         kPlot,
         {45, 45, 45, 45, 45, 45, 200, 8},
         {{0, {52, 240}}, {1, {107, 240}}, {2, {162, 240}}, {3, {217, 240}}, {4, {272, 240}}, {5, {327, 240}}},
         true,
         {375, 240}},
        {"a key that ends on the plot's right edge fits",
         {42, 10, 113, 255},
         {61},
         {{0, {52, 240}}},
         false,
         {}},
        {"no room for any key",
         {42, 10, 60, 255},
         {45},
         {},
         true,
         {52, 240}},
    };
    for (const Case& c : cases) {
        const LegendLayout l = legendLayout(c.plot, c.widths, kEllipsis);
        EXPECT_EQ(l.keys, c.keys) << c.what;
        EXPECT_EQ(l.keysHidden, c.hidden) << c.what;
        if (c.hidden) {
            EXPECT_EQ(l.ellipsis, c.ellipsis) << c.what;
        }
        // Whatever the widths: no two keys overlap, none passes the plot's right edge.
        for (std::size_t i = 0; i < l.keys.size(); ++i) {
            const int end = l.keys[i].origin.x + c.widths[static_cast<std::size_t>(l.keys[i].slot)];
            EXPECT_LE(end, c.plot.right) << c.what;
            if (i + 1 < l.keys.size()) {
                EXPECT_LE(end + kLegendGap, l.keys[i + 1].origin.x) << c.what;
            }
        }
    }
}

TEST(ScopeGeometry, FixedPointFormatting)
{
    EXPECT_EQ(formatFixed(165, 1), "165.0");
    EXPECT_EQ(formatFixed(-10, 3), "-10.000");
    EXPECT_EQ(formatFixed(2.5, 0), "2");  // printf rounds half to even
    EXPECT_EQ(formatFixed(1, 80).size(), 82u);
}

TEST(ScopeGeometry, TextAlignmentPlacesTheCell)
{
    struct Case {
        unsigned align;
        Point origin;
    };
    // A text 30 pixels wide, 11 above its baseline, placed at (100, 50).
    const Case cases[] = {
        {AlignLeft | AlignTop, {100, 50}},
        {AlignRight | AlignTop, {70, 50}},
        {AlignCenter | AlignTop, {85, 50}},
        {AlignRight | AlignBaseline, {70, 39}},
        {AlignLeft | AlignBaseline, {100, 39}},
        {AlignCenter | AlignBaseline, {85, 39}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textCellOrigin(c.align, {100, 50}, 30, 11), c.origin) << c.align;
    EXPECT_EQ(textCellOrigin(AlignCenter, {100, 50}, 31, 11).x, 85);  // half the width, truncated
}

TEST(ScopeGeometry, ColourrefBecomesAnOpaquePixel)
{
    EXPECT_EQ(colourrefToPixel(0x0000FF), 0xFFFF0000u);  // red
    EXPECT_EQ(colourrefToPixel(0xFF6060), 0xFF6060FFu);  // light blue
    EXPECT_EQ(colourrefToPixel(0x0080FF), 0xFFFF8000u);  // orange
    EXPECT_EQ(colourrefToPixel(0xFFFFFFFF), 0xFFFFFFFFu);
}

// A small image of 32-bit pixels for the raster operations.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * (h + 2)), 0xDEAD)
    {
        // One guard row above and below: nothing may be written there.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at(x, y) = 0;
    }
    PixelBuffer buffer() { return {pixels.data() + width, width, height, width}; }
    std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>((y + 1) * width + x)]; }
    int count(std::uint32_t value)
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                n += at(x, y) == value;
        return n;
    }
    bool guardsIntact() const
    {
        for (int x = 0; x < width; ++x) {
            if (pixels[static_cast<std::size_t>(x)] != 0xDEAD
                || pixels[static_cast<std::size_t>((height + 1) * width + x)] != 0xDEAD)
                return false;
        }
        return true;
    }
    int width, height;
    std::vector<std::uint32_t> pixels;
};

TEST(ScopeRaster, DotIsARoundSixPixelDiscClippedToItsRectangle)
{
    Canvas c(20, 20);
    drawDot(c.buffer(), {10, 10}, 7, {0, 0, 20, 20});
    // Columns 7..12 and rows 7..12, corners cut.
    const char* expected[] = {
        ".XXXX.",
        "XXXXXX",
        "XXXXXX",
        "XXXXXX",
        "XXXXXX",
        ".XXXX.",
    };
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(c.at(7 + x, 7 + y) == 7, expected[y][x] == 'X') << x << ',' << y;
    EXPECT_EQ(c.count(7), 32);

    // Clipped: only the rows inside the clip rectangle are drawn.
    Canvas d(20, 20);
    drawDot(d.buffer(), {10, 10}, 7, {0, 0, 20, 10});
    EXPECT_EQ(d.count(7), 4 + 6 + 6);
    // Far off or half off the buffer: nothing outside it is touched.
    Canvas e(8, 8);
    for (Point p : {Point{0, 0}, Point{8, 8}, Point{-2, 4}, Point{kFarAway, -kFarAway}})
        drawDot(e.buffer(), p, 7, {-100, -100, 100, 100});
    EXPECT_TRUE(e.guardsIntact());
}

TEST(ScopeRaster, CopyWithinMovesOverlappingRowsLeft)
{
    Canvas c(10, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            c.at(x, y) = static_cast<std::uint32_t>(100 * y + x);
    copyWithin(c.buffer(), {4, 1, 10, 3}, {1, 1});
    for (int x = 1; x < 7; ++x) {
        EXPECT_EQ(c.at(x, 1), static_cast<std::uint32_t>(100 + x + 3));
        EXPECT_EQ(c.at(x, 2), static_cast<std::uint32_t>(200 + x + 3));
    }
    EXPECT_EQ(c.at(0, 1), 100u);  // left of the destination: unchanged
    EXPECT_EQ(c.at(7, 1), 107u);  // right of it: unchanged
    EXPECT_EQ(c.at(3, 0), 3u);    // rows outside the source: unchanged

    // Downwards and rightwards overlaps too.
    copyWithin(c.buffer(), {0, 0, 5, 2}, {2, 1});
    EXPECT_EQ(c.at(2, 1), 0u);
    EXPECT_EQ(c.at(6, 2), 107u);

    // Rectangles reaching past the buffer are clipped on both sides.
    Canvas d(6, 4);
    copyWithin(d.buffer(), {-5, -5, 20, 20}, {3, 2});
    copyWithin(d.buffer(), {2, 0, 6, 4}, {-10, 3});
    fillRect(d.buffer(), {-3, -3, 9, 9}, 5);
    setPixel(d.buffer(), 6, 0, 9);
    setPixel(d.buffer(), -1, 0, 9);
    EXPECT_TRUE(d.guardsIntact());
    EXPECT_EQ(d.count(5), 24);
}

}  // namespace
}  // namespace varno::chart
