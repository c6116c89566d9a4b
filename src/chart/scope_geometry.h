#pragma once
// The scope chart's pixel arithmetic: where the plot lies in the client area,
// where a value and the trigger level fall, where each text stands, and which
// rectangles one step scrolls and clears. Client coordinates throughout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varno::chart {

// A rectangle with its right and bottom edges excluded when it is filled.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// What the size handler derives from the client area.
struct SizeLayout {
    Rect clientRect;
    int clientWidth = 0, clientHeight = 0;
    Rect plotRect;  // its left is replaced by plotLeft() at every rebuild
    int plotHeight = 0, plotWidth = 0;
};
SizeLayout layoutForClient(int clientWidth, int clientHeight);

// Pixels per value unit. A zero or non-finite span gives 0: every value then
// sits on the bottom line instead of dividing by zero.
double verticalScaleFor(int plotHeight, double limitSpan);

// Truncates towards zero. Values beyond any image (including infinities and
// NaN) become a far-away pixel instead of an undefined conversion.
inline constexpr int kFarAway = 1 << 24;
int truncToPixel(double value);

// y(v) = bottom - trunc((v - lower) * scale).
int valueToY(double value, double lowerLimit, double verticalScale, int bottom);
// yT = trunc((T - upper) * (1 / (lower - upper)) * (bottom - top) + top).
int triggerToY(int level, double lowerLimit, double upperLimit, int top, int bottom);

// |trunc(log10 |limit|)|; 0 for a limit of 0.
int limitDigits(double limit);
// The plot's left edge: room for the widest value label.
int plotLeft(int clientLeft, double lowerLimit, double upperLimit, int decimalPlaces);

// The one-pixel frame around the plot: top, right, bottom and left lines.
std::array<Rect, 4> frameRects(const Rect& plot);

// The rows of the three dotted grid lines: mid - q, mid, mid + q.
std::array<int, 3> gridRows(const Rect& plot, int plotHeight);
inline constexpr int kGridPitch = 4;  // one lit pixel in four
inline constexpr int kTriggerDash = 3;  // three lit pixels, then a gap of one

// Text alignment flags, with the values of the drawing API the layout was made for.
enum TextAlign : unsigned {
    AlignLeft = 0,
    AlignTop = 0,
    AlignRight = 2,
    AlignCenter = 6,
    AlignBaseline = 24,
};

struct Label {
    std::string text;  // UTF-8
    unsigned align = AlignLeft | AlignTop;
    Point ref;
    bool operator==(const Label&) const = default;
};

struct LabelInputs {
    Rect plot;
    int plotWidth = 0;
    double lowerLimit = 0, upperLimit = 0, limitSpan = 0;
    int decimalPlaces = 0;
    int shiftPixels = 0;
    std::string xAxisText, yAxisText;  // UTF-8
    bool hasTrigger = false;
    int triggerLevel = 0;
};

// The texts around the plot, in drawing order: five value labels, the y-axis
// text, "0", the step count, the x-axis text and, with a trigger, "Trigger=%d".
// Each of the three middle value labels keeps the distance from its grid line
// that it has on the 245-pixel plot of the window's template (where its top
// stands 55, 118 and 180 pixels below the plot's top), so that on a taller plot
// it still names its line.
std::vector<Label> labelTable(const LabelInputs& in);
// How far above its grid line (mid - q, mid, mid + q) each middle label's top stands.
inline constexpr std::array<int, 3> kMiddleLabelRise = {6, 4, 3};

// printf's "%.*f".
std::string formatFixed(double value, int decimalPlaces);

// The top-left corner of the cell of a text `advance` pixels wide whose font
// rises `ascent` pixels above the baseline, placed at `ref` with `align`.
Point textCellOrigin(unsigned align, Point ref, int advance, int ascent);

// ---- One step of the chart ----

// The plot's inside, between the frame lines: the only pixels of the point
// layer that ever hold a dot. Dots are clipped to it, so nothing of a dot near
// or beyond a limit is left in the margins.
Rect plotInside(const Rect& plot);
// At each step the inside moves left by `shiftPixels`: this part of it goes to
// the inside's left edge...
Rect scrollSource(const Rect& plot, int shiftPixels);
Point scrollDestination(const Rect& plot);
// ... and the inside's last `shiftPixels` columns, which the scroll has left
// as they were, are cleared for the newest dot.
Rect clearedStrip(const Rect& plot, int shiftPixels);
// ---- The legend ----

// The place of the legend key of `slot` when nothing pushes it aside (left
// and top of its text).
Point legendOrigin(const Rect& plot, int slot);
inline constexpr int kLegendPitch = 55;
// Between the end of a key's text and the next key: about a space of the
// legend font. Small enough that keys of six hexadecimal digits (at most 52
// pixels wide) keep the 55-pixel pitch.
inline constexpr int kLegendGap = 3;

struct LegendKeyPlace {
    int slot = 0;
    Point origin;  // left and top of the key's text
    bool operator==(const LegendKeyPlace&) const = default;
};

struct LegendLayout {
    std::vector<LegendKeyPlace> keys;  // the keys drawn, in slot order
    // Some keys did not fit before the plot's right edge: an ellipsis after
    // the last key drawn says so.
    bool keysHidden = false;
    Point ellipsis;
    bool operator==(const LegendLayout&) const = default;
};

// Where the keys go: each at its slot's place, or just after the previous
// key's text (plus kLegendGap) when that is further right, so that no two keys
// ever overlap. From the first key whose text would pass the plot's right edge
// on, no key is drawn; the ellipsis, `ellipsisWidth` pixels wide, must fit
// there too, or the key before it gives way. `widths` holds the width of each
// labelled slot's text, 0 for a free slot.
LegendLayout legendLayout(const Rect& plot, std::span<const int> widths, int ellipsisWidth);

// ---- 32-bit pixels ----

// A view of 32-bit pixels; `stride` counts pixels per row.
struct PixelBuffer {
    std::uint32_t* bits = nullptr;
    int width = 0, height = 0;
    std::ptrdiff_t stride = 0;
};

// Every operation is clipped to the buffer (and to `clip` where given).
void fillRect(PixelBuffer buffer, Rect rect, std::uint32_t pixel);
void setPixel(PixelBuffer buffer, int x, int y, std::uint32_t pixel);
// Copies `source` to `destination` inside the same buffer; overlapping is fine.
void copyWithin(PixelBuffer buffer, Rect source, Point destination);

// The dot: a disc 6 pixels across centred on the corner between pixels x-1 and
// x, y-1 and y, so it covers columns x-3..x+2 and rows y-3..y+2, its four
// corners cut.
inline constexpr int kDotDiameter = 6;
void drawDot(PixelBuffer buffer, Point centre, std::uint32_t pixel, Rect clip);

// COLORREF (0x00BBGGRR) to an opaque 0xAARRGGBB pixel.
constexpr std::uint32_t colourrefToPixel(std::uint32_t colorref)
{
    return 0xFF000000u | ((colorref & 0xFFu) << 16) | (colorref & 0xFF00u) | ((colorref >> 16) & 0xFFu);
}

}  // namespace varno::chart
