// Tag colours, picked through reader frames posted to the real main window.

#include <QAbstractButton>
#include <QSlider>

#include "app/main_window.h"
#include "chart_test_support.h"

namespace varno::testing {
namespace {

// Yellow, light blue, green, red, cyan, magenta, orange, white, grey.
const std::uint32_t kColours[9] = {0x00FFFF, 0xFF6060, 0x00FF00, 0x0000FF, 0xFFFF00,
                                   0xFF00FF, 0x0080FF, 0xFFFFFF, 0x808080};

class LegendTest : public ChartTest {
protected:
    int slotOf(const std::string& key) { return window->FindLegendSlot(key); }
    bool legendEmpty()
    {
        for (const auto& id : window->legendIds)
            if (!id.empty())
                return false;
        return true;
    }
};

TEST_F(LegendTest, StartsEmptyWithTheNineColours)
{
    EXPECT_EQ(window->legendSlotCount, 9);
    EXPECT_TRUE(legendEmpty());
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(window->legendColours[static_cast<std::size_t>(i)], kColours[i]) << i;
    EXPECT_EQ(slotOf("0A1B2C"), -1);
}

TEST_F(LegendTest, TagsTakeColoursInOrderOfFirstAppearance)
{
    struct Step {
        const char* tag;
        int value;
        int slot;  // of the tag afterwards; the dot has that slot's colour
    };
    const Step steps[] = {
        {"0A1B2C", 150, 0}, {"0A1B3D", 140, 1}, {"0A1B2C", 130, 0}, {"0C4410", 160, 2},
        {"0a1b2c", 155, 3},  // keys compare as bytes
    };
    for (const Step& s : steps) {
        postReader(s.tag, s.value);
        EXPECT_EQ(slotOf(s.tag), s.slot) << s.tag;
        EXPECT_EQ(newestDotColour(), pixelOf(kColours[s.slot])) << s.tag;
    }
    EXPECT_EQ(window->legendIds[4], "");
    // Four-digit tags of short frames are keys as they are.
    postFrame(link::FRAME_KIND_READER, "960A1BAB");
    EXPECT_EQ(slotOf("0A1B"), 4);
}

TEST_F(LegendTest, TriggerDecidesWhetherANewTagTakesASlot)
{
    window->triggerSlider->setValue(150);

    postReader("0A1B2C", 160);  // above the trigger: grey, no slot
    EXPECT_TRUE(legendEmpty());
    EXPECT_EQ(newestDotColour(), kGrey);

    postReader("0A1B2C", 150);  // at the trigger: the first free slot
    EXPECT_EQ(slotOf("0A1B2C"), 0);
    EXPECT_EQ(newestDotColour(), pixelOf(kColours[0]));
    postReader("0A1B2C", 170);  // once it has a slot, it keeps its colour
    EXPECT_EQ(newestDotColour(), pixelOf(kColours[0]));

    postReader("0A1B3D", 151);
    postReader("0C4410", 120);
    EXPECT_EQ(slotOf("0A1B3D"), -1);
    EXPECT_EQ(slotOf("0C4410"), 1);
}

TEST_F(LegendTest, TheTenthTagIsGrey)
{
    for (int i = 1; i <= 9; ++i) {
        char tag[8];
        std::snprintf(tag, sizeof tag, "%06X", i);
        postReader(tag, 130);
        EXPECT_EQ(slotOf(tag), i - 1);
    }
    EXPECT_EQ(newestDotColour(), kGrey);  // the ninth slot's colour is grey
    postReader("00000A", 130);
    EXPECT_EQ(slotOf("00000A"), -1);
    EXPECT_EQ(newestDotColour(), kGrey);
    EXPECT_EQ(window->legendIds[8], "000009");
}

TEST_F(LegendTest, OnlyValuesWithinTheLimitsArePlottedAndTakeSlots)
{
    postReader("0A1B2C", 119);
    postReader("0A1B2C", 181);
    EXPECT_TRUE(legendEmpty());
    EXPECT_TRUE(litBounds(chart().pointLayer(), chart().pointLayer().rect()).isEmpty());
    EXPECT_EQ(fieldText(app::idc::P1), "181");  // shown all the same

    postReader("0A1B2C", 120);
    postReader("0A1B3D", 180);
    EXPECT_EQ(slotOf("0A1B2C"), 0);
    EXPECT_EQ(slotOf("0A1B3D"), 1);
}

TEST_F(LegendTest, ResetEmptiesTheLegendAndThePlot)
{
    postReader("0A1B2C", 150);
    postReader("0A1B3D", 150);
    window->legendColours[0] = 0x123456;
    window->button(app::idc::ResetLegend)->click();

    EXPECT_TRUE(legendEmpty());
    EXPECT_EQ(window->legendColours[0], kColours[0]);
    EXPECT_TRUE(litBounds(chart().pointLayer(), chart().pointLayer().rect()).isEmpty());
    EXPECT_TRUE(litBounds(chart().backgroundLayer, QRect(52, 240, 110, 14)).isEmpty());

    postReader("0A1B3D", 150);  // starts again at the first colour
    EXPECT_EQ(slotOf("0A1B3D"), 0);
    EXPECT_EQ(newestDotColour(), pixelOf(kColours[0]));
}

}  // namespace
}  // namespace varno::testing
