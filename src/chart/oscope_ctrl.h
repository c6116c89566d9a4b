#pragma once
// The scrolling scope chart drawn over frame 1006 of the main window.
// GUI thread only.

#include <QString>
#include <QWidget>
#include <cstdint>

namespace varno::chart {

class COScopeCtrl : public QWidget {
    Q_OBJECT
public:
    explicit COScopeCtrl(QWidget* parent = nullptr);

    // Takes `rect` (in the parent's coordinates) as its window.
    bool CreateChart(const QRect& rect, QWidget* parent);
    void SetLimits(double lower, double upper, int decimals);
    void SetXAxisText(const QString& text);
    void SetYAxisText(const QString& text);
    void SetBackColour(std::uint32_t colour);
    void SetGridColour(std::uint32_t colour);
    void SetPenColour(std::uint32_t colour);
    void Rebuild();
    void AppendPoint(std::uint32_t colour, double value);
    void AddGap(double value);

    double lowerLimit = -10.0;
    double upperLimit = 10.0;
    int decimalPlaces = 3;
    QString xAxisText = QStringLiteral("Samples");
    QString yAxisText = QStringLiteral("Y units");
};

}  // namespace varno::chart
