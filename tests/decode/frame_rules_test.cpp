// The rules each frame is handled by, without a window: decoder choice, the
// tag filter, and the dots and legend slots of reader and debug frames.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decode/frame_rules.h"

namespace varno::decode {
namespace {

constexpr std::uint32_t kNoSlot = kLegendDefaultColours[kNoSlotColourIndex];
constexpr PlotRules kDefaults{120, 180, 180};  // the window's limits and trigger at start-up

std::vector<Dot> dotsOf(const FramePlot& plot)
{
    return {plot.dots.begin(), plot.dots.begin() + plot.count};
}

ReaderFields reader(const char* bracketed)
{
    return *cutReaderFrame(bracketed);
}

TEST(FrameRules, TheBracketedTextChoosesTheDecoder)
{
    EXPECT_EQ(bracketFrame("5A0A1B2CABCD"), "[5A0A1B2CABCD]");
    EXPECT_EQ(bracketFrame(""), "[]");
    EXPECT_EQ(classifyFrame("[5A0A1B2CABCD]"), FrameClass::Reader);
    EXPECT_EQ(classifyFrame("[5A 3C +1E 0A1B2C]"), FrameClass::Debug);
    EXPECT_EQ(classifyFrame("[12-45A]"), FrameClass::Debug);  // closed by ']', yet signed
    EXPECT_EQ(classifyFrame("[]"), FrameClass::Reader);
}

TEST(FrameRules, TheFilterReadsTheTagAsLenientHexadecimalWithinItsBounds)
{
    const struct {
        const char* tag;
        std::uint32_t low, high;
        bool passes;
    } cases[] = {
        {"0A1B2C", 0, 0xFFFFFF, true},    {"000100", 0x100, 0x1FF, true}, {"0001FF", 0x100, 0x1FF, true},
        {"000200", 0x100, 0x1FF, false},  {"0000FF", 0x100, 0x1FF, false},
        {"00G100", 0, 0x10, true},  // reading stops at G: 0
        {"ZZZZ", 1, 0xFFFFFF, false},     {"", 0, 0, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(passesTagFilter(c.tag, c.low, c.high), c.passes) << c.tag;
}

TEST(FrameRules, AReaderFrameDrawsOneDotInItsTagsColourWhenWithinTheLimits)
{
    const LegendColours& colours = kLegendDefaultColours;
    struct Case {
        const char* name;
        LegendIds before;
        const char* frame;
        PlotRules rules;
        std::vector<Dot> dots;
        LegendIds after;
    };
    const Case cases[] = {
        {"a new tag reserves the lowest free slot", {}, "[960A1B2CABCD]", kDefaults,
         {{colours[0], 150}}, {"0A1B2C"}},
        {"a known tag keeps its slot", {"000001", "0A1B2C"}, "[960A1B2CABCD]", kDefaults,
         {{colours[1], 150}}, {"000001", "0A1B2C"}},
        {"a free slot below a taken one is taken first", {"", "000001"}, "[960A1B2CABCD]", kDefaults,
         {{colours[0], 150}}, {"0A1B2C", "000001"}},
        {"above the trigger a new tag gets no slot", {}, "[960A1B2CABCD]", {120, 180, 149},
         {{kNoSlot, 150}}, {}},
        {"at the trigger it does", {}, "[960A1B2CABCD]", {120, 180, 150}, {{colours[0], 150}}, {"0A1B2C"}},
        {"above the trigger a known tag keeps its colour", {"0A1B2C"}, "[960A1B2CABCD]", {120, 180, 130},
         {{colours[0], 150}}, {"0A1B2C"}},
        {"the limits are inclusive", {}, "[780A1B2CABCD]", kDefaults, {{colours[0], 120}}, {"0A1B2C"}},
        {"below Pmin nothing is drawn or reserved", {}, "[770A1B2CABCD]", kDefaults, {}, {}},
        {"above Pmax likewise", {}, "[B50A1B2CABCD]", kDefaults, {}, {}},
        {"the short frame's four-digit tag is its key", {}, "[960A1BAB]", kDefaults, {{colours[0], 150}}, {"0A1B"}},
        {"a full table leaves the colour of no slot",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, "[960A1B2CABCD]", kDefaults, {{kNoSlot, 150}},
         {"1", "2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const Case& c : cases) {
        LegendIds legend = c.before;
        EXPECT_EQ(dotsOf(plotReaderFrame(reader(c.frame), c.rules, legend, colours)), c.dots) << c.name;
        EXPECT_EQ(legend, c.after) << c.name;
    }
}

TEST(FrameRules, ADebugFrameDrawsBothValuesAndReservesBothKeysAtOnce)
{
    const LegendColours& colours = kLegendDefaultColours;
    struct Case {
        const char* name;
        LegendIds before;
        const char* frame;
        PlotRules rules;
        std::vector<Dot> dots;
        LegendIds after;
    };
    const Case cases[] = {
        {"a new tag takes two slots", {}, "[96 A0 -0A 0A1B2C]", kDefaults,
         {{colours[0], 150}, {colours[1], 160}}, {"0A1B2C/1", "0A1B2C/2"}},
        {"known keys keep theirs", {"x", "0A1B2C/2", "0A1B2C/1"}, "[96 A0 -0A 0A1B2C]", kDefaults,
         {{colours[2], 150}, {colours[1], 160}}, {"x", "0A1B2C/2", "0A1B2C/1"}},
        {"both above the trigger: no slot", {}, "[96 A0 -0A 0A1B2C]", {120, 180, 140},
         {{kNoSlot, 150}, {kNoSlot, 160}}, {}},
        {"one at or below it is enough for both", {}, "[96 8C +0A 0A1B2C]", {120, 180, 140},
         {{colours[0], 150}, {colours[1], 140}}, {"0A1B2C/1", "0A1B2C/2"}},
        {"P1 out of range: P2's key comes first", {}, "[10 A0 +90 0A1B2C]", kDefaults,
         {{colours[0], 160}}, {"0A1B2C/2", "0A1B2C/1"}},
        {"neither in range: nothing", {}, "[10 FF +90 000001]", kDefaults, {}, {}},
        {"with eight slots taken the companion finds none",
         {"1", "2", "3", "4", "5", "6", "7", "8"}, "[96 A0 -0A 0A1B2C]", kDefaults,
         {{colours[8], 150}, {kNoSlot, 160}}, {"1", "2", "3", "4", "5", "6", "7", "8", "0A1B2C/1"}},
    };
    for (const Case& c : cases) {
        LegendIds legend = c.before;
        EXPECT_EQ(dotsOf(plotDebugFrame(cutDebugFrame(c.frame), c.rules, legend, colours)), c.dots) << c.name;
        EXPECT_EQ(legend, c.after) << c.name;
    }
}

TEST(FrameRules, ColoursComeFromTheTableGiven)
{
    LegendColours colours{};
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = 0x100 + static_cast<std::uint32_t>(i);
    LegendIds legend{"a", "b"};
    const FramePlot plot = plotReaderFrame(reader("[960A1B2CABCD]"), {120, 180, 100}, legend, colours);
    EXPECT_EQ(dotsOf(plot), (std::vector<Dot>{{0x108, 150}}));
}

}  // namespace
}  // namespace varno::decode
