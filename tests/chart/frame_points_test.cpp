// The dots the frame decoders hand to the chart: debug frames give one dot per
// value in range, P1 first; rejected frames give none.

#include <QAbstractButton>
#include <QSlider>

#include "chart_test_support.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using link::FRAME_KIND_DEBUG;
using link::FRAME_KIND_READER;

class FramePointsTest : public ChartTest {
protected:
    int yOf(int value) { return chart::valueToY(value, chart().lowerLimit, chart().verticalScale, plot().bottom); }
    QRgb dotAt(int x, int value) { return point(x, yOf(value)); }
    // True when nothing is drawn in the point layer's column `x` inside the plot.
    bool columnEmpty(int x)
    {
        return litBounds(chart().pointLayer(), QRect(x, plot().top, 1, plot().bottom - plot().top)).isEmpty();
    }
    QRgb slotColour(int slot) { return pixelOf(window->legendColours[static_cast<std::size_t>(slot)]); }
};

TEST_F(FramePointsTest, DebugFramePlotsP1ThenP2InTheirKeysColours)
{
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");  // P1 150, P2 160
    EXPECT_EQ(dotAt(newestX() - 4, 150), slotColour(0));  // key /1 took slot 0
    EXPECT_EQ(dotAt(newestX(), 160), slotColour(1));      // key /2 slot 1
    EXPECT_EQ(window->legendIds[0], "0A1B2C/1");
    EXPECT_EQ(window->legendIds[1], "0A1B2C/2");
}

TEST_F(FramePointsTest, DebugValueOutOfRangeIsNotPlotted)
{
    postFrame(FRAME_KIND_DEBUG, "5A A0 -46 0A1B2C");  // P1 90 below Pmin, P2 160
    EXPECT_EQ(dotAt(newestX(), 160), slotColour(0));  // key /2 reserved first
    EXPECT_TRUE(columnEmpty(newestX() - 4));           // one step only
    EXPECT_EQ(window->legendIds[0], "0A1B2C/2");
    EXPECT_EQ(window->legendIds[1], "0A1B2C/1");
}

TEST_F(FramePointsTest, DebugValuesBothAboveTheTriggerAreGrey)
{
    window->triggerSlider->setValue(140);
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");
    EXPECT_EQ(dotAt(newestX() - 4, 150), kGrey);
    EXPECT_EQ(dotAt(newestX(), 160), kGrey);
    EXPECT_EQ(window->legendIds[0], "");
}

TEST_F(FramePointsTest, FilteredFramesAddNoPoint)
{
    window->filterLow = 0x10;
    window->filterHigh = 0x20;
    window->button(idc::FilterOn)->setChecked(true);
    postReader("000015", 150);
    EXPECT_EQ(dotAt(newestX(), 150), slotColour(0));

    const QImage before = chart().pointLayer();
    postReader("000021", 160);
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 000021");
    EXPECT_EQ(chart().pointLayer(), before);
}

}  // namespace
}  // namespace varno::testing
