#include <gtest/gtest.h>

#include "decode/conversions.h"
#include "decode/cp1252.h"

namespace varno::decode {
namespace {

TEST(LenientToUInt32, ReadsLikeStrtoulWithThirtyTwoBits)
{
    struct Case {
        const char* text;
        int base;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"5A", 16, 0x5A},
        {"5a", 16, 0x5A},
        {"  \t\n5A", 16, 0x5A},
        {"+5A", 16, 0x5A},
        {"-1", 16, 0xFFFFFFFFu},
        {"-5", 10, 0xFFFFFFFBu},
        {"ZZ", 16, 0},
        {"", 16, 0},
        {"-", 16, 0},
        {"5G", 16, 5},
        {"0x1F", 16, 0x1F},
        {"0X1f", 16, 0x1F},
        {"0x", 16, 0},
        {"0xZ", 16, 0},
        {"FFFFFFFF", 16, 0xFFFFFFFFu},
        {"100000000", 16, 0xFFFFFFFFu},     // overflow saturates
        {"-100000000", 16, 0xFFFFFFFFu},    // and ignores the sign
        {"123abc", 10, 123},
        {"0x10", 10, 0},
        {"4294967296", 10, 0xFFFFFFFFu},
        {" 255 ", 10, 255},
        {"\xe9" "12", 16, 0},  // a high byte is no blank and no digit
    };
    for (const Case& c : cases)
        EXPECT_EQ(lenientToUInt32(c.text, c.base), c.expected) << '"' << c.text << "\" base " << c.base;
}

TEST(Cp1252, EveryByteSurvivesARoundTrip)
{
    for (int b = 0; b < 256; ++b) {
        const char16_t u = cp1252ToUnicode(static_cast<unsigned char>(b));
        EXPECT_EQ(unicodeToCp1252(u), b) << b;
    }
}

TEST(Cp1252, DiffersFromLatin1WhereTheCodePageDoes)
{
    EXPECT_EQ(cp1252ToUnicode(0x80), u'\u20AC');  // euro sign
    EXPECT_EQ(cp1252ToUnicode(0x9C), u'\u0153');  // oe ligature
    EXPECT_EQ(cp1252ToUnicode(0x81), u'\u0081');  // undefined: kept as the C1 control
    EXPECT_EQ(cp1252ToUnicode(0xE9), u'\u00E9');
    EXPECT_EQ(unicodeToCp1252(u'\u4E2D'), '?');
    EXPECT_EQ(utf8ToCp1252("reçue é €"), "re\xe7ue \xe9 \x80");
}

}  // namespace
}  // namespace varno::decode
