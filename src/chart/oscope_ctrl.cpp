#include "chart/oscope_ctrl.h"

namespace varno::chart {

COScopeCtrl::COScopeCtrl(QWidget* parent) : QWidget(parent) {}

bool COScopeCtrl::CreateChart(const QRect& rect, QWidget* parent)
{
    setParent(parent);
    setGeometry(rect);
    show();
    Rebuild();
    return true;
}

void COScopeCtrl::SetLimits(double lower, double upper, int decimals)
{
    decimalPlaces = decimals;
    lowerLimit = lower;
    upperLimit = upper;
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

void COScopeCtrl::SetBackColour(std::uint32_t) { Rebuild(); }
void COScopeCtrl::SetGridColour(std::uint32_t) { Rebuild(); }
void COScopeCtrl::SetPenColour(std::uint32_t) { Rebuild(); }
void COScopeCtrl::Rebuild() { update(); }
void COScopeCtrl::AppendPoint(std::uint32_t, double) { update(); }
void COScopeCtrl::AddGap(double) { update(); }

}  // namespace varno::chart
