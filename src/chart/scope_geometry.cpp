#include "chart/scope_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace varno::chart {

SizeLayout layoutForClient(int clientWidth, int clientHeight)
{
    SizeLayout l;
    l.clientRect = {0, 0, clientWidth, clientHeight};
    l.clientWidth = clientWidth;
    l.clientHeight = clientHeight;
    l.plotRect = {20, 10, clientWidth - 10, clientHeight - 25};
    l.plotHeight = clientHeight - 35;
    l.plotWidth = clientWidth - 30;
    return l;
}

double verticalScaleFor(int plotHeight, double limitSpan)
{
    if (limitSpan == 0.0 || !std::isfinite(limitSpan))
        return 0.0;
    return plotHeight / limitSpan;
}

int truncToPixel(double value)
{
    if (std::isnan(value))
        return -kFarAway;
    return static_cast<int>(std::clamp(std::trunc(value), double{-kFarAway}, double{kFarAway}));
}

int valueToY(double value, double lowerLimit, double verticalScale, int bottom)
{
    return bottom - truncToPixel((value - lowerLimit) * verticalScale);
}

int triggerToY(int level, double lowerLimit, double upperLimit, int top, int bottom)
{
    return truncToPixel((level - upperLimit) * (1.0 / (lowerLimit - upperLimit)) * (bottom - top) + top);
}

int limitDigits(double limit)
{
    if (limit == 0.0 || std::isnan(limit))
        return 0;
    const double digits = std::fabs(std::trunc(std::log10(std::fabs(limit))));
    return static_cast<int>(std::min(digits, 400.0));  // finite doubles stay below 330
}

int plotLeft(int clientLeft, double lowerLimit, double upperLimit, int decimalPlaces)
{
    const long long n = std::max(limitDigits(upperLimit), limitDigits(lowerLimit));
    const long long left = clientLeft + 6 * (n + decimalPlaces + 4LL);
    return static_cast<int>(std::clamp(left, -(1LL << 24), 1LL << 24));
}

std::array<Rect, 4> frameRects(const Rect& p)
{
    // The polyline (left, top) → (right + 1, top) → (right + 1, bottom + 1) →
    // (left, bottom + 1) → (left, top), one pixel wide, both ends lit.
    return {{
        {p.left, p.top, p.right + 2, p.top + 1},
        {p.right + 1, p.top, p.right + 2, p.bottom + 2},
        {p.left, p.bottom + 1, p.right + 2, p.bottom + 2},
        {p.left, p.top, p.left + 1, p.bottom + 2},
    }};
}

std::array<int, 3> gridRows(const Rect& plot, int plotHeight)
{
    const int mid = (plot.top + plot.bottom) / 2;
    const int q = plotHeight / 4;
    return {mid - q, mid, mid + q};
}

std::string formatFixed(double value, int decimalPlaces)
{
    char small[64];
    const int n = std::snprintf(small, sizeof small, "%.*f", decimalPlaces, value);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*f", decimalPlaces, value);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

std::vector<Label> labelTable(const LabelInputs& in)
{
    const Rect& p = in.plot;
    const double lower = in.lowerLimit, span = in.limitSpan;
    const int d = in.decimalPlaces;
    const int valueX = p.left - 4;
    const int underY = p.bottom + 4;
    const int centreX = (p.left + p.right) / 2;
    const int steps = in.shiftPixels > 0 ? in.plotWidth / in.shiftPixels : 0;
    const std::array<int, 3> rows = gridRows(p, p.height());

    std::vector<Label> labels = {
        {formatFixed(in.upperLimit, d), AlignRight | AlignTop, {valueX, p.top}},
        {formatFixed(lower + span * 3 * 0.25, d), AlignRight | AlignTop, {valueX, rows[0] - kMiddleLabelRise[0]}},
        {formatFixed(lower + span * 2 * 0.25, d), AlignRight | AlignTop, {valueX, rows[1] - kMiddleLabelRise[1]}},
        {formatFixed(lower + span * 0.25, d), AlignRight | AlignTop, {valueX, rows[2] - kMiddleLabelRise[2]}},
        {formatFixed(lower, d), AlignRight | AlignBaseline, {valueX, p.bottom}},
        {in.yAxisText, AlignRight | AlignBaseline, {p.left - 15, p.bottom + 15}},
        {"0", AlignLeft | AlignTop, {p.left, underY}},
        {std::to_string(steps), AlignRight | AlignTop, {p.right, underY}},
        {in.xAxisText, AlignCenter | AlignTop, {centreX, underY}},
    };
    if (in.hasTrigger)
        labels.push_back({"Trigger=" + std::to_string(in.triggerLevel), AlignCenter | AlignTop, {centreX + 120, underY}});
    return labels;
}

Point textCellOrigin(unsigned align, Point ref, int advance, int ascent)
{
    Point origin = ref;
    if ((align & AlignCenter) == AlignCenter)
        origin.x -= advance / 2;
    else if ((align & AlignCenter) == AlignRight)
        origin.x -= advance;
    if ((align & AlignBaseline) == AlignBaseline)
        origin.y -= ascent;
    return origin;
}

Rect plotInside(const Rect& plot)
{
    // The frame lines lie on the rows top and bottom + 1 and the columns left
    // and right + 1.
    return {plot.left + 1, plot.top + 1, plot.right + 1, plot.bottom + 1};
}

Rect scrollSource(const Rect& plot, int shiftPixels)
{
    const Rect inside = plotInside(plot);
    return {std::min(inside.left + shiftPixels, inside.right), inside.top, inside.right, inside.bottom};
}

Point scrollDestination(const Rect& plot)
{
    const Rect inside = plotInside(plot);
    return {inside.left, inside.top};
}

Rect clearedStrip(const Rect& plot, int shiftPixels)
{
    const Rect inside = plotInside(plot);
    return {std::max(inside.right - shiftPixels, inside.left), inside.top, inside.right, inside.bottom};
}

Point legendOrigin(const Rect& plot, int slot)
{
    return {plot.left + 10 + kLegendPitch * slot, plot.bottom - 15};
}

LegendLayout legendLayout(const Rect& plot, std::span<const int> widths, int ellipsisWidth)
{
    LegendLayout layout;
    std::vector<int> ends;  // where the text of each key placed so far ends
    for (std::size_t i = 0; i < widths.size(); ++i) {
        const int width = widths[i];
        if (width <= 0)
            continue;
        const int slot = static_cast<int>(i);
        Point origin = legendOrigin(plot, slot);
        if (!ends.empty())
            origin.x = std::max(origin.x, ends.back() + kLegendGap);
        if (origin.x + width > plot.right) {
            layout.keysHidden = true;
            break;
        }
        layout.keys.push_back({slot, origin});
        ends.push_back(origin.x + width);
    }
    if (!layout.keysHidden)
        return layout;
    for (;;) {
        const int x = ends.empty() ? legendOrigin(plot, 0).x : ends.back() + kLegendGap;
        layout.ellipsis = {x, plot.bottom - 15};
        if (ends.empty() || x + ellipsisWidth <= plot.right)
            return layout;
        layout.keys.pop_back();
        ends.pop_back();
    }
}

namespace {

Rect intersect(Rect a, Rect b)
{
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return {};
    return r;
}

Rect bounds(const PixelBuffer& b)
{
    return {0, 0, b.width, b.height};
}

std::uint32_t* row(const PixelBuffer& b, int y)
{
    return b.bits + static_cast<std::ptrdiff_t>(y) * b.stride;
}

}  // namespace

void fillRect(PixelBuffer buffer, Rect rect, std::uint32_t pixel)
{
    const Rect r = intersect(rect, bounds(buffer));
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(row(buffer, y) + r.left, row(buffer, y) + r.right, pixel);
}

void setPixel(PixelBuffer buffer, int x, int y, std::uint32_t pixel)
{
    if (x >= 0 && x < buffer.width && y >= 0 && y < buffer.height)
        row(buffer, y)[x] = pixel;
}

void copyWithin(PixelBuffer buffer, Rect source, Point destination)
{
    const int dx = destination.x - source.left, dy = destination.y - source.top;
    // Keep the part whose source and destination both lie in the buffer.
    Rect src = intersect(source, bounds(buffer));
    const Rect dst = intersect({src.left + dx, src.top + dy, src.right + dx, src.bottom + dy}, bounds(buffer));
    src = {dst.left - dx, dst.top - dy, dst.right - dx, dst.bottom - dy};
    if (dst.width() <= 0 || dst.height() <= 0)
        return;
    const std::size_t bytes = static_cast<std::size_t>(dst.width()) * sizeof(std::uint32_t);
    // Walk the rows away from the overlap; memmove handles each row's own.
    if (dy <= 0) {
        for (int y = 0; y < dst.height(); ++y)
            std::memmove(row(buffer, dst.top + y) + dst.left, row(buffer, src.top + y) + src.left, bytes);
    } else {
        for (int y = dst.height() - 1; y >= 0; --y)
            std::memmove(row(buffer, dst.top + y) + dst.left, row(buffer, src.top + y) + src.left, bytes);
    }
}

void drawDot(PixelBuffer buffer, Point c, std::uint32_t pixel, Rect clip)
{
    // Rows y-3 .. y+2; the first and last lose a pixel at each end.
    static constexpr int kInset[kDotDiameter] = {1, 0, 0, 0, 0, 1};
    for (int i = 0; i < kDotDiameter; ++i) {
        const int y = c.y - 3 + i;
        fillRect(buffer, intersect({c.x - 3 + kInset[i], y, c.x + 3 - kInset[i], y + 1}, clip), pixel);
    }
}

}  // namespace varno::chart
