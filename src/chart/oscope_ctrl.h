#pragma once
// The scrolling scope chart drawn over frame 1006 of the main window: every
// value moves the plot left by a few pixels and puts one coloured dot at its
// right edge. The pixel arithmetic lives in scope_geometry.h.
//
// Two layers of the client size: the background (frame, grid, labels, trigger
// line, legend) and the points (the dots, the only layer that scrolls). A paint
// ORs the points over the background and copies the result once.
//
// A new size lays everything out again for that size and keeps what was
// plotted: the chart remembers its last steps (values and colours) since the
// last Rebuild and draws them again, the newest at the plot's right edge, as
// if they had been plotted at the new size.
//
// GUI thread only.

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chart/scope_geometry.h"

class QPainter;

namespace varno::chart {

class ChartOwner;

class COScopeCtrl : public QWidget {
    Q_OBJECT
public:
    explicit COScopeCtrl(QWidget* parent = nullptr);

    // Takes `rect` (in the parent's coordinates) as its window, its edge
    // included, and draws itself empty. The parent, when it is a ChartOwner,
    // supplies the trigger level and the legend.
    bool CreateChart(const QRect& rect, QWidget* parent);

    void SetLimits(double lower, double upper, int decimals);
    void SetXAxisText(const QString& text);
    void SetYAxisText(const QString& text);
    // Colours are COLORREF values (0x00BBGGRR).
    void SetBackColour(std::uint32_t colour);
    void SetGridColour(std::uint32_t colour);
    void SetPenColour(std::uint32_t colour);

    // Redraws the background and empties the plot.
    void Rebuild();
    // One step with a dot of `colour` at `value`, then the legend.
    void AppendPoint(std::uint32_t colour, double value);
    // One step drawn with the chart's own pen, without the legend.
    void AddGap(double value);

    // The picture a paint shows in the client area: the background with the
    // points ORed over it. Null before the first Rebuild.
    const QImage& composedImage();

    // Width of the client and static edges around the client area.
    static constexpr int kEdge = 3;

    // Pixels the plot moves per step; also the divisor of the step count under it.
    int shiftPixels = 4;
    int decimalPlaces = 3;  // of the five value labels
    QString xAxisText = QStringLiteral("Samples");
    QString yAxisText = QStringLiteral("Y units");
    std::uint32_t backColour = 0x000000;  // both layers' background
    std::uint32_t gridColour = 0xFFFF00;  // frame, grid and labels
    std::uint32_t penColour = 0xFFFFFF;   // the dots of AddGap
    double currentValue = 0.0;            // of the newest step
    double previousValue = 0.0;           // of the step before, whatever its tag
    int currentDotInset = 2;              // the newest dot is centred at plot right - 2
    int previousDotInset = 6;             // where the step before's dot lies after the scroll
    // From the size handler: the client area inside the edge and the plot in it.
    int clientHeight = 0;
    int clientWidth = 0;
    int plotHeight = 0;
    int plotWidth = 0;
    double lowerLimit = -10.0;  // value on the plot's bottom line
    double upperLimit = 10.0;   // value on its top line
    double limitSpan = 20.0;
    double verticalScale = 0.0;  // pixels per value unit
    Rect clientRect;
    Rect plotRect;  // its left follows the widest value label (Rebuild)
    // Null until the first Rebuild; made again at each new client size.
    QImage backgroundLayer;
    // The scrolled dots, brought up to date first: steps are applied together
    // when the layer is next looked at (a paint, usually).
    const QImage& pointLayer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnSize();
    // The background layer without the legend: frame, grid, trigger line, labels.
    void DrawBackground();
    void Step(std::uint32_t dotColour, double value, bool withLegend);
    // Applies the steps taken since the layer was last brought up to date: one
    // scroll for all of them, then their dots, oldest first. The same pixels
    // as scrolling and drawing at every step, without moving the whole plot
    // once per value.
    void FlushSteps();
    // Draws the picture with its top left at `origin`; false while there is none.
    bool compose(QPainter& painter, QPoint origin);
    void DrawLegend();
    void DrawEdge(QPainter& painter) const;

    const ChartOwner* m_owner = nullptr;
    QFont m_font;

    // The legend on the background layer since the last Rebuild. The owner's
    // keys and colours as last read: while they stay the same, so does the legend.
    struct SeenKey {
        std::string id;
        std::uint32_t colour = 0;
        QString text;   // the key as drawn
        int width = 0;  // of its text, 0 for a free slot
    };
    std::vector<SeenKey> m_legendSeen;
    struct DrawnKey {
        int slot = 0;
        std::string id;
        std::uint32_t colour = 0;
        Point origin;
        int width = 0;
        bool operator==(const DrawnKey&) const = default;
    };
    std::vector<DrawnKey> m_legendDrawn;
    std::optional<Point> m_legendEllipsis;  // where it says that some keys are hidden
    int m_ellipsisWidth = 0;
    // The background layer's rows under the legend, without the legend.
    QImage m_legendBand;
    int m_legendBandTop = 0;
    // Puts the background back under a key's text cell.
    void eraseLegendCell(Point origin, int width, int height);
    // For each row of the background layer: whether it holds anything but
    // black inside the plot (a grid line, the trigger line, the legend).
    std::vector<char> m_backgroundRowLit;
    void findLitBackgroundRows(int top, int bottom);
    bool m_legendShown = false;     // a legend was drawn since the last Rebuild

    QImage m_composed;
    QImage m_pointLayer;

    // The last steps since the Rebuild, oldest first, in a ring: enough for a
    // plot 16384 pixels wide, so that a larger chart shows more of them.
    struct PlottedStep {
        std::uint32_t pixel;
        double value;
    };
    static constexpr std::size_t kKeptSteps = 4096;
    std::vector<PlottedStep> m_steps;
    std::size_t m_stepsEnd = 0;    // where the next step goes
    std::size_t m_stepCount = 0;   // steps kept
    std::size_t m_unapplied = 0;   // the newest steps not yet in m_pointLayer
};

}  // namespace varno::chart
