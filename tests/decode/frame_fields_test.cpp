#include <gtest/gtest.h>

#include "decode/frame_fields.h"
#include "decode/legend.h"

namespace varno::decode {
namespace {

TEST(ReaderFrame, CutsTheThreeLengths)
{
    struct Case {
        const char* bracketed;
        const char* p1Text;
        int p1;
        const char* tag;
        const char* reader;
    };
    const Case cases[] = {
        {"[5A0A1B2CABCD]", "5A", 90, "0A1B2C", "ABCD"},
        {"[5A0A1B2CAB]", "5A", 90, "0A1B2C", "AB"},
        {"[5A0A1BAB]", "5A", 90, "0A1B", "AB"},
        {"[FF000000FFFF]", "FF", 255, "000000", "FFFF"},
        {"[ZZ0A1B2CABCD]", "ZZ", 0, "0A1B2C", "ABCD"},     // not hexadecimal: 0, still a frame
        {"[ 90A1B2CABCD]", " 9", 9, "0A1B2C", "ABCD"},     // leading blank allowed
    };
    for (const Case& c : cases) {
        const auto fields = cutReaderFrame(c.bracketed);
        ASSERT_TRUE(fields.has_value()) << c.bracketed;
        EXPECT_EQ(fields->p1Text, c.p1Text) << c.bracketed;
        EXPECT_EQ(fields->p1Value, c.p1) << c.bracketed;
        EXPECT_EQ(fields->tagId, c.tag) << c.bracketed;
        EXPECT_EQ(fields->readerId, c.reader) << c.bracketed;
    }
}

TEST(ReaderFrame, OtherLengthsAreNoReaderFrames)
{
    for (const char* text : {"[]", "[5A0A1BA]", "[5A0A1B2CA]", "[5A0A1B2CABC]", "[5A0A1B2CABCDE]"})
        EXPECT_FALSE(cutReaderFrame(text).has_value()) << text;
}

TEST(DebugFrame, CutsFieldsAtFixedPositions)
{
    const DebugFields f = cutDebugFrame("[5A 3C +1E 0A1B2C]");
    EXPECT_EQ(f.p1Text, "5A");
    EXPECT_EQ(f.p1Value, 90);
    EXPECT_EQ(f.p2Text, "3C");
    EXPECT_EQ(f.p2Value, 60);
    EXPECT_EQ(f.dpText, "+1E");
    EXPECT_EQ(f.tagId, "0A1B2C");
    EXPECT_EQ(f.key1(), "0A1B2C/1");
    EXPECT_EQ(f.key2(), "0A1B2C/2");
}

TEST(DebugFrame, ShortTextsGiveShortOrEmptyFields)
{
    const DebugFields f = cutDebugFrame("[12-45A]");
    EXPECT_EQ(f.p1Text, "12");
    EXPECT_EQ(f.p2Text, "45");
    EXPECT_EQ(f.dpText, "]");
    EXPECT_EQ(f.tagId, "");
    EXPECT_EQ(f.key1(), "/1");

    const DebugFields empty = cutDebugFrame("[");
    EXPECT_EQ(empty.p1Text, "");
    EXPECT_EQ(empty.p1Value, 0);
}

TEST(Signs, AnyPlusOrMinusMakesADebugFrame)
{
    EXPECT_TRUE(holdsSign("[12-45A]"));
    EXPECT_TRUE(holdsSign("[+]"));
    EXPECT_FALSE(holdsSign("[5A0A1B2CABCD]"));
}

TEST(Legend, SlotsGoInOrderOfFirstAppearance)
{
    LegendIds ids;
    LegendColours colours{};
    ResetLegend(ids, colours);
    EXPECT_EQ(colours, kLegendDefaultColours);
    EXPECT_EQ(FindLegendSlot(ids, "0A1B2C"), -1);
    for (int i = 0; i < kLegendSlots; ++i)
        EXPECT_EQ(ReserveLegendSlot(ids, "tag" + std::to_string(i)), i);
    EXPECT_EQ(ReserveLegendSlot(ids, "tenth"), -1);
    EXPECT_EQ(FindLegendSlot(ids, "tag5"), 5);
    EXPECT_EQ(FindLegendSlot(ids, "TAG5"), -1);  // keys compare as bytes

    ResetLegend(ids, colours);
    EXPECT_EQ(FindLegendSlot(ids, "tag5"), -1);
    EXPECT_EQ(ReserveLegendSlot(ids, "tag5"), 0);
}

}  // namespace
}  // namespace varno::decode
