#include "chart/oscope_ctrl.h"

#include <algorithm>
#include <optional>

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include "chart/chart_owner.h"
#include "ui/qt_text.h"

namespace varno::chart {

namespace {

constexpr std::uint32_t kTriggerColour = 0x00FFFF;  // yellow
constexpr std::uint32_t kBlackPixel = 0xFF000000;
constexpr int kFontCellHeight = 14;

QColor toQColor(std::uint32_t colorref)
{
    return QColor::fromRgb(colourrefToPixel(colorref));
}

PixelBuffer bufferOf(QImage& image)
{
    return {reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
            image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t))};
}

// The axis and legend font: a light sans serif whose character cell, internal
// leading included, is 14 pixels high, drawn without smoothing so that the
// layers hold nothing but exact colours.
QFont axisFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Light);
    font.setStyleStrategy(QFont::NoAntialias);
    // A pixel size is the em, which is smaller than the cell: take the largest
    // em whose cell fits.
    for (int em = kFontCellHeight; em > 1; --em) {
        font.setPixelSize(em);
        const QFontMetrics metrics(font);
        if (metrics.ascent() + metrics.descent() <= kFontCellHeight)
            break;
    }
    return font;
}

QPainter& prepare(QPainter& painter, const QFont& font)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font);
    return painter;
}

// Text on an opaque cell of the background colour: a text drawn over another
// hides it, as far as the new one reaches. `metrics` are those of the painter's font.
void drawOpaqueText(QPainter& painter, const QFontMetrics& metrics, const QString& text, unsigned align, Point ref,
                    const QColor& colour, const QColor& back)
{
    const int advance = metrics.horizontalAdvance(text);
    const Point cell = textCellOrigin(align, ref, advance, metrics.ascent());
    painter.fillRect(QRect(cell.x, cell.y, advance, metrics.ascent() + metrics.descent()), back);
    painter.setPen(colour);
    painter.drawText(QPoint(cell.x, cell.y + metrics.ascent()), text);
}

}  // namespace

COScopeCtrl::COScopeCtrl(QWidget* parent) : QWidget(parent), m_font(axisFont())
{
    // Every paint covers the whole window: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

bool COScopeCtrl::CreateChart(const QRect& rect, QWidget* parent)
{
    if (parent != parentWidget())
        setParent(parent);
    m_owner = dynamic_cast<const ChartOwner*>(parent);
    setGeometry(rect);
    OnSize();
    show();
    Rebuild();
    return true;
}

void COScopeCtrl::resizeEvent(QResizeEvent* event)
{
    // Qt also delivers the size a widget was given before it was first shown;
    // only a real change of the client area is a new layout.
    const QSize client = event->size() - QSize(2 * kEdge, 2 * kEdge);
    if (client.width() != clientWidth || client.height() != clientHeight)
        OnSize();
}

void COScopeCtrl::OnSize()
{
    const SizeLayout layout = layoutForClient(std::max(0, width() - 2 * kEdge), std::max(0, height() - 2 * kEdge));
    clientRect = layout.clientRect;
    clientWidth = layout.clientWidth;
    clientHeight = layout.clientHeight;
    plotRect = layout.plotRect;
    plotHeight = layout.plotHeight;
    plotWidth = layout.plotWidth;
    verticalScale = verticalScaleFor(plotHeight, limitSpan);
    // Before the first Rebuild there is nothing to lay out again; without a
    // client area there is nothing to draw into, and the old picture waits.
    if (backgroundLayer.isNull() || clientWidth <= 0 || clientHeight <= 0)
        return;

    // Made again at the new size, keeping the steps and the legend: the steps
    // are drawn again at the new scale, the newest at the plot's right edge,
    // by the next paint; the legend in full, at its new place.
    const bool legendShown = m_legendShown;
    const auto kept = m_stepCount;
    Rebuild();
    m_stepCount = kept;
    m_unapplied = kept;
    if (legendShown)
        DrawLegend();
}

void COScopeCtrl::SetLimits(double lower, double upper, int decimals)
{
    decimalPlaces = decimals;
    lowerLimit = lower;
    upperLimit = upper;
    limitSpan = upper - lower;
    verticalScale = verticalScaleFor(plotHeight, limitSpan);
    Rebuild();
}

void COScopeCtrl::SetXAxisText(const QString& text)
{
    xAxisText = text;
    Rebuild();
}

void COScopeCtrl::SetYAxisText(const QString& text)
{
    yAxisText = text;
    Rebuild();
}

void COScopeCtrl::SetBackColour(std::uint32_t colour)
{
    backColour = colour;
    Rebuild();
}

void COScopeCtrl::SetGridColour(std::uint32_t colour)
{
    gridColour = colour;
    Rebuild();
}

void COScopeCtrl::SetPenColour(std::uint32_t colour)
{
    penColour = colour;
    Rebuild();
}

void COScopeCtrl::Rebuild()
{
    if (clientWidth <= 0 || clientHeight <= 0) {
        update();  // no client area to draw into yet
        return;
    }
    const QSize client(clientWidth, clientHeight);
    if (backgroundLayer.size() != client)
        backgroundLayer = QImage(client, QImage::Format_RGB32);
    if (m_pointLayer.size() != client)
        m_pointLayer = QImage(client, QImage::Format_RGB32);
    DrawBackground();
    m_legendDrawn.clear();
    m_legendEllipsis.reset();
    m_legendShown = false;

    m_pointLayer.fill(toQColor(backColour));
    m_stepCount = 0;
    m_unapplied = 0;
    update();
}

void COScopeCtrl::DrawBackground()
{
    const QColor back = toQColor(backColour);
    const QColor grid = toQColor(gridColour);
    const std::uint32_t gridPixel = colourrefToPixel(gridColour);
    backgroundLayer.fill(back);

    plotRect.left = plotLeft(clientRect.left, lowerLimit, upperLimit, decimalPlaces);
    plotWidth = plotRect.right - plotRect.left;

    PixelBuffer pixels = bufferOf(backgroundLayer);
    for (const Rect& line : frameRects(plotRect))
        fillRect(pixels, line, gridPixel);

    const bool hasTrigger = m_owner != nullptr;
    const int level = hasTrigger ? m_owner->triggerLevel() : 0;
    const int yT = triggerToY(level, lowerLimit, upperLimit, plotRect.top, plotRect.bottom);
    const std::array<int, 3> rows = gridRows(plotRect, plotHeight);
    const std::uint32_t trigger = colourrefToPixel(kTriggerColour);
    // Start no further left than the layer; the dots and dashes keep their phase.
    int x = plotRect.left;
    if (x < -kGridPitch)
        x += (-kGridPitch - x) / kGridPitch * kGridPitch;
    for (const int end = std::min(plotRect.right, clientWidth); x < end; x += kGridPitch) {
        for (int y : rows)
            setPixel(pixels, x, y, gridPixel);
        if (hasTrigger) {
            for (int i = 0; i < kTriggerDash; ++i)
                setPixel(pixels, x + i, yT, trigger);
        }
    }

    LabelInputs in;
    in.plot = plotRect;
    in.plotWidth = plotWidth;
    in.lowerLimit = lowerLimit;
    in.upperLimit = upperLimit;
    in.limitSpan = limitSpan;
    in.decimalPlaces = decimalPlaces;
    in.shiftPixels = shiftPixels;
    in.xAxisText = xAxisText.toStdString();
    in.yAxisText = yAxisText.toStdString();
    in.hasTrigger = hasTrigger;
    in.triggerLevel = level;
    QPainter painter(&backgroundLayer);
    prepare(painter, m_font);
    const QFontMetrics metrics = painter.fontMetrics();
    for (const Label& label : labelTable(in))
        drawOpaqueText(painter, metrics, QString::fromStdString(label.text), label.align, label.ref, grid, back);
    painter.end();

    // The rows the legend covers, as they are without it: a key is taken away
    // by putting them back.
    m_legendBandTop = legendOrigin(plotRect, 0).y;
    m_legendBand = backgroundLayer.copy(0, m_legendBandTop, clientWidth, metrics.ascent() + metrics.descent());
    m_backgroundRowLit.assign(static_cast<std::size_t>(backgroundLayer.height()), 1);
    findLitBackgroundRows(0, backgroundLayer.height());
}

void COScopeCtrl::eraseLegendCell(Point origin, int width, int height)
{
    // A pixel more on each side, where a letter may reach beyond its advance;
    // the gap between keys is wider than that.
    Rect cell{origin.x - 1, origin.y, origin.x + width + 1, origin.y + height};
    cell.left = std::max(cell.left, 0);
    cell.right = std::min(cell.right, clientWidth);
    cell.top = std::max(cell.top, m_legendBandTop);
    cell.bottom = std::min(cell.bottom, m_legendBandTop + m_legendBand.height());
    for (int y = cell.top; y < cell.bottom; ++y) {
        const auto* from = reinterpret_cast<const std::uint32_t*>(m_legendBand.constScanLine(y - m_legendBandTop));
        auto* to = reinterpret_cast<std::uint32_t*>(backgroundLayer.scanLine(y));
        std::copy(from + cell.left, from + std::max(cell.left, cell.right), to + cell.left);
    }
}

void COScopeCtrl::AppendPoint(std::uint32_t colour, double value)
{
    Step(colour, value, true);
}

void COScopeCtrl::AddGap(double value)
{
    Step(penColour, value, false);
}

void COScopeCtrl::Step(std::uint32_t dotColour, double value, bool withLegend)
{
    currentValue = value;
    if (!m_pointLayer.isNull()) {
        if (m_steps.empty())
            m_steps.resize(kKeptSteps);
        m_steps[m_stepsEnd] = {colourrefToPixel(dotColour), value};
        m_stepsEnd = (m_stepsEnd + 1) % kKeptSteps;
        m_stepCount = std::min(m_stepCount + 1, kKeptSteps);
        m_unapplied = std::min(m_unapplied + 1, kKeptSteps);
        if (withLegend)
            DrawLegend();
        previousValue = currentValue;
    }
    // Queued and merged by Qt: a burst of points costs one paint.
    update();
}

void COScopeCtrl::FlushSteps()
{
    if (m_unapplied == 0 || m_pointLayer.isNull())
        return;
    const int step = std::max(1, shiftPixels);
    // Steps beyond a plot's width have scrolled out of sight whole: scrolling
    // further and drawing them would change nothing.
    const std::size_t visible = static_cast<std::size_t>(std::max(0, plotWidth) / step + 2);
    const std::size_t scrolled = std::min(m_unapplied, visible);
    const std::size_t drawn = std::min(scrolled, m_stepCount);
    PixelBuffer points = bufferOf(m_pointLayer);
    const int shift = shiftPixels * static_cast<int>(scrolled);
    copyWithin(points, scrollSource(plotRect, shift), scrollDestination(plotRect));
    fillRect(points, clearedStrip(plotRect, shift), colourrefToPixel(backColour));
    // Each dot stands alone: nothing joins it to the previous one. A dot drawn
    // now where it would have scrolled to is clipped as the scroll clips it.
    const Rect inside = plotInside(plotRect);
    for (std::size_t i = 0; i < drawn; ++i) {
        const PlottedStep& s = m_steps[(m_stepsEnd + kKeptSteps - drawn + i) % kKeptSteps];
        const int x = plotRect.right - currentDotInset - shiftPixels * static_cast<int>(drawn - 1 - i);
        drawDot(points, Point{x, valueToY(s.value, lowerLimit, verticalScale, plotRect.bottom)}, s.pixel, inside);
    }
    m_unapplied = 0;
}

const QImage& COScopeCtrl::pointLayer()
{
    FlushSteps();
    return m_pointLayer;
}

void COScopeCtrl::DrawLegend()
{
    if (m_owner == nullptr || backgroundLayer.isNull())
        return;
    // The last slot has no key: its colour is also that of every tag without a slot.
    const std::size_t labelled = static_cast<std::size_t>(std::max(0, m_owner->legendCount() - 1));
    bool unchanged = m_legendShown && m_legendSeen.size() == labelled;
    for (std::size_t slot = 0; slot < labelled && unchanged; ++slot) {
        const SeenKey& seen = m_legendSeen[slot];
        unchanged = seen.id == m_owner->legendId(static_cast<int>(slot))
                    && seen.colour == m_owner->legendColour(static_cast<int>(slot));
    }
    if (unchanged)
        return;

    const QFontMetrics metrics(m_font, &backgroundLayer);
    m_legendSeen.resize(labelled);
    std::vector<int> widths(labelled, 0);
    for (std::size_t slot = 0; slot < labelled; ++slot) {
        SeenKey& seen = m_legendSeen[slot];
        seen.colour = m_owner->legendColour(static_cast<int>(slot));
        if (const std::string_view id = m_owner->legendId(static_cast<int>(slot)); id != seen.id) {
            // Measured once per key: the others keep their text and width.
            seen.id = id;
            seen.text = ui::fromCp1252(id);
            seen.width = id.empty() ? 0 : std::max(1, metrics.horizontalAdvance(seen.text));
        }
        widths[slot] = seen.width;
    }
    const QString ellipsis = QStringLiteral("\u2026");
    const LegendLayout layout = legendLayout(plotRect, widths, metrics.horizontalAdvance(ellipsis));
    std::vector<DrawnKey> keys;
    for (const LegendKeyPlace& place : layout.keys) {
        const SeenKey& seen = m_legendSeen[static_cast<std::size_t>(place.slot)];
        keys.push_back({place.slot, seen.id, seen.colour, place.origin, widths[static_cast<std::size_t>(place.slot)]});
    }

    const std::optional<Point> ellipsisAt = layout.keysHidden ? std::optional<Point>(layout.ellipsis) : std::nullopt;
    std::size_t first = 0;  // the first key that is not drawn as it should be
    while (first < keys.size() && first < m_legendDrawn.size() && keys[first] == m_legendDrawn[first])
        ++first;
    if (m_legendShown && first == keys.size() && first == m_legendDrawn.size() && ellipsisAt == m_legendEllipsis)
        return;  // only a hidden key changed

    // What changes is taken away first: the keys from the first changed one
    // on, and the ellipsis. The keys never overlap, so the others stay whole.
    const int cellHeight = metrics.ascent() + metrics.descent();
    for (std::size_t i = first; i < m_legendDrawn.size(); ++i)
        eraseLegendCell(m_legendDrawn[i].origin, m_legendDrawn[i].width, cellHeight);
    if (m_legendEllipsis)
        eraseLegendCell(*m_legendEllipsis, m_ellipsisWidth, cellHeight);
    QPainter painter(&backgroundLayer);
    prepare(painter, m_font);
    const QColor back = toQColor(backColour);
    for (std::size_t i = first; i < keys.size(); ++i) {
        drawOpaqueText(painter, metrics, m_legendSeen[static_cast<std::size_t>(keys[i].slot)].text, AlignLeft | AlignTop,
                       keys[i].origin, toQColor(keys[i].colour), back);
    }
    m_ellipsisWidth = metrics.horizontalAdvance(ellipsis);
    if (ellipsisAt)
        drawOpaqueText(painter, metrics, ellipsis, AlignLeft | AlignTop, *ellipsisAt, toQColor(gridColour), back);
    painter.end();
    findLitBackgroundRows(m_legendBandTop, m_legendBandTop + cellHeight);
    m_legendDrawn = std::move(keys);
    m_legendEllipsis = ellipsisAt;
    m_legendShown = true;
}

bool COScopeCtrl::compose(QPainter& painter, QPoint origin)
{
    if (backgroundLayer.isNull() || m_pointLayer.isNull())
        return false;
    FlushSteps();
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // In bands: a taller drawing is split over Qt's thread pool, and waking
    // its threads costs more than copying a few hundred short rows here.
    constexpr int kBand = 64;
    auto draw = [&](const QImage& layer, const QRect& area) {
        for (int top = area.top(); top <= area.bottom(); top += kBand) {
            const QRect band(area.left(), top, area.width(), std::min(kBand, area.bottom() + 1 - top));
            painter.drawImage(origin + band.topLeft(), layer, band);
        }
    };
    const Rect in = plotInside(plotRect);
    const QRect inside = QRect(in.left, in.top, in.width(), in.height()) & backgroundLayer.rect();
    if (colourrefToPixel(backColour) != kBlackPixel || inside.isEmpty()) {
        draw(backgroundLayer, backgroundLayer.rect());
        painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        draw(m_pointLayer, m_pointLayer.rect());
        painter.restore();
        return true;
    }
    // The points never leave the plot's inside: around it, the background.
    const QRect all = backgroundLayer.rect();
    draw(backgroundLayer, QRect(QPoint(0, 0), QPoint(all.right(), inside.top() - 1)));
    draw(backgroundLayer, QRect(QPoint(0, inside.bottom() + 1), all.bottomRight()));
    draw(backgroundLayer, QRect(QPoint(0, inside.top()), QPoint(inside.left() - 1, inside.bottom())));
    draw(backgroundLayer, QRect(QPoint(inside.right() + 1, inside.top()), QPoint(all.right(), inside.bottom())));
    // Inside, the background is black but for a few rows (grid, trigger,
    // legend): there a black background ORed with the points is the points
    // themselves, copied; the other rows are ORed.
    for (int top = inside.top(); top <= inside.bottom();) {
        const bool lit = m_backgroundRowLit[static_cast<std::size_t>(top)] != 0;
        int bottom = top;
        while (bottom < inside.bottom() && (m_backgroundRowLit[static_cast<std::size_t>(bottom + 1)] != 0) == lit)
            ++bottom;
        const QRect rows(inside.left(), top, inside.width(), bottom + 1 - top);
        if (lit) {
            draw(backgroundLayer, rows);
            painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            draw(m_pointLayer, rows);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
        } else {
            draw(m_pointLayer, rows);
        }
        top = bottom + 1;
    }
    painter.restore();
    return true;
}

void COScopeCtrl::findLitBackgroundRows(int top, int bottom)
{
    m_backgroundRowLit.resize(static_cast<std::size_t>(backgroundLayer.height()), 1);
    const Rect in = plotInside(plotRect);
    const int left = std::max(in.left, 0), right = std::min(in.right, backgroundLayer.width());
    for (int y = std::max(top, 0); y < std::min(bottom, backgroundLayer.height()); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(backgroundLayer.constScanLine(y));
        m_backgroundRowLit[static_cast<std::size_t>(y)] =
            left < right && std::any_of(row + left, row + right, [](std::uint32_t p) { return p != kBlackPixel; });
    }
}

const QImage& COScopeCtrl::composedImage()
{
    if (backgroundLayer.isNull() || m_pointLayer.isNull()) {
        m_composed = QImage();
        return m_composed;
    }
    if (m_composed.size() != backgroundLayer.size())
        m_composed = QImage(backgroundLayer.size(), QImage::Format_RGB32);
    QPainter painter(&m_composed);
    compose(painter, QPoint(0, 0));
    return m_composed;
}

void COScopeCtrl::paintEvent(QPaintEvent*)
{
    QPainter screen(this);
    DrawEdge(screen);
    const QRect client(kEdge, kEdge, width() - 2 * kEdge, height() - 2 * kEdge);
    if (backgroundLayer.isNull() || m_pointLayer.isNull() || backgroundLayer.size() != client.size())
        screen.fillRect(client, toQColor(backColour));
    // Composed straight onto the window's backing image: no intermediate copy.
    compose(screen, client.topLeft());
}

void COScopeCtrl::DrawEdge(QPainter& painter) const
{
    // A sunken client edge inside a static edge, outermost ring first.
    const QPalette& p = palette();
    const QColor shades[kEdge][2] = {
        {p.color(QPalette::Dark), p.color(QPalette::Light)},
        {p.color(QPalette::Dark), p.color(QPalette::Light)},
        {p.color(QPalette::Shadow), p.color(QPalette::Midlight)},
    };
    for (int i = 0; i < kEdge; ++i) {
        const QRect r = rect().adjusted(i, i, -i, -i);
        const QColor& upperLeft = shades[i][0];
        const QColor& lowerRight = shades[i][1];
        painter.fillRect(r.left(), r.top(), r.width() - 1, 1, upperLeft);
        painter.fillRect(r.left(), r.top(), 1, r.height() - 1, upperLeft);
        painter.fillRect(r.left(), r.bottom(), r.width(), 1, lowerRight);
        painter.fillRect(r.right(), r.top(), 1, r.height(), lowerRight);
    }
}

}  // namespace varno::chart
