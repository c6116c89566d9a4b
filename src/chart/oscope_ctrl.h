#pragma once
// The scrolling scope chart drawn over frame 1006 of the main window: every
// value moves the plot left by a few pixels and puts one coloured dot at its
// right edge. The pixel arithmetic lives in scope_geometry.h.
//
// Two layers of the client size: the background (frame, grid, labels, trigger
// line, legend) and the points (the dots, the only layer that scrolls). A paint
// ORs the points over the background and copies the result once.
//
// GUI thread only.

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
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
    // points ORed over it.
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
    // Null until the first Rebuild; never re-created afterwards.
    QImage backgroundLayer;
    // The scrolled dots, brought up to date first: steps are applied together
    // when the layer is next looked at (a paint, usually).
    const QImage& pointLayer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnSize();
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
    // The labels on the background layer since the last Rebuild, slot by slot:
    // drawing the same ones again would change no pixel.
    struct DrawnLabel {
        std::string id;
        std::uint32_t colour = 0;
        bool operator==(const DrawnLabel&) const = default;
    };
    std::vector<DrawnLabel> m_drawnLegend;
    bool m_legendDrawn = false;
    QImage m_composed;
    QImage m_pointLayer;
    // Steps not yet applied to m_pointLayer: each dot's pixel and row.
    struct PendingDot {
        std::uint32_t pixel;
        int y;
    };
    std::vector<PendingDot> m_pendingDots;
};

}  // namespace varno::chart
