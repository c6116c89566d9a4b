#pragma once
// The main window's chart, looked at pixel by pixel.

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <cstdint>

#include "chart/oscope_ctrl.h"
#include "chart/scope_geometry.h"
#include "support/window_fixture.h"

namespace varno::testing {

inline constexpr QRgb kBlack = 0xFF000000, kWhite = 0xFFFFFFFF, kYellow = 0xFFFFFF00, kGrey = 0xFF808080;

inline QRgb pixelOf(std::uint32_t colorref)
{
    return chart::colourrefToPixel(colorref);
}

// The bounding rectangle of the pixels in `area` other than `background`
// (an empty rectangle when there are none).
inline QRect litBounds(const QImage& image, QRect area, QRgb background = kBlack)
{
    QRect bounds;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

inline int countPixels(const QImage& image, QRect area, QRgb colour)
{
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

class ChartTest : public WindowTest {
protected:
    chart::COScopeCtrl& chart() { return *window->chart; }
    const chart::Rect& plot() { return chart().plotRect; }
    // The x of the newest dot's centre.
    int newestX() { return plot().right - chart().currentDotInset; }
    QRgb point(int x, int y) { return chart().pointLayer().pixel(x, y); }
    QRgb background(int x, int y) { return chart().backgroundLayer.pixel(x, y); }
    // What the screen shows of the client area, through a real paint.
    QImage screenClient()
    {
        const int edge = chart::COScopeCtrl::kEdge;
        return chart()
            .grab()
            .toImage()
            .convertToFormat(QImage::Format_RGB32)
            .copy(edge, edge, chart().clientWidth, chart().clientHeight);
    }
    // The colour of the newest dot in the point layer (black when there is none).
    QRgb newestDotColour()
    {
        const QImage& layer = chart().pointLayer();
        for (int y = 0; y < layer.height(); ++y)
            if (layer.pixel(newestX(), y) != kBlack)
                return layer.pixel(newestX(), y);
        return kBlack;
    }
    // A reader frame of `tag` (six hexadecimal digits) with P1 = `value`.
    void postReader(const char* tag, int value)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%02X%sAB", value, tag);
        postFrame(link::FRAME_KIND_READER, text);
    }
};

}  // namespace varno::testing
