// The text rules of the "Lo" and "Hi" bounds, without a window.

#include <gtest/gtest.h>

#include "decode/tag_filter_rules.h"

namespace varno::decode {
namespace {

TEST(TagFilterRules, HexTextIsDigitsAndBothCasesOfAToF)
{
    for (const char* text : {"", "0", "0123456789", "abcdef", "ABCDEF", "00a1B2", "1234567"})
        EXPECT_TRUE(isHexText(text)) << text;
    // Bytes above 127 are never digits, even where a sign extension or a locale
    // could make them look like one.
    for (const char* text : {"12345G", " 12345", "-1", "0x12", "g", "\xe9", "A\xc1", "\xff", "12\x80"})
        EXPECT_FALSE(isHexText(text)) << text;
    EXPECT_FALSE(isHexText(std::string_view("12\0" "4", 4)));
}

TEST(TagFilterRules, UpperCaseTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(toUpperAscii("00a1b2"), "00A1B2");
    EXPECT_EQ(toUpperAscii("xyz\xe9\xff"), "XYZ\xe9\xff");
}

TEST(TagFilterRules, TypedTextIsJudgedAtSixCharacters)
{
    struct Case {
        const char* typed;
        const BoundSide* side;
        const char* text;
        bool complete, rejected;
    };
    const Case cases[] = {
        {"00a1b2", &kLowBound, "00A1B2", true, false},
        {"ffffff", &kHighBound, "FFFFFF", true, false},
        {"12345G", &kLowBound, "000000", false, true},
        {"12345G", &kHighBound, "FFFFFF", false, true},
        {"12345\xe9", &kHighBound, "FFFFFF", false, true},
        // Other lengths stay as typed, not even upper-cased.
        {"", &kLowBound, "", false, false},
        {"1a", &kLowBound, "1a", false, false},
        {"zz", &kHighBound, "zz", false, false},
        {"1234567", &kLowBound, "1234567", false, false},
    };
    for (const Case& c : cases) {
        const TypedBound r = checkTypedBound(c.typed, *c.side);
        EXPECT_EQ(r.text, c.text) << c.typed;
        EXPECT_EQ(r.complete, c.complete) << c.typed;
        EXPECT_EQ(r.rejected, c.rejected) << c.typed;
    }
}

TEST(TagFilterRules, LeftTextBecomesSixDigitsAndItsValue)
{
    struct Case {
        const char* typed;
        const BoundSide* side;
        std::uint32_t other;
        const char* text;
        std::uint32_t value;
        bool rejected;
    };
    const Case cases[] = {
        {"00a1b2", &kLowBound, 0xFFFFFF, "00A1B2", 0xA1B2, false},
        {"1a", &kLowBound, 0xFFFFFF, "00001A", 0x1A, false},
        {"", &kLowBound, 0xFFFFFF, "000000", 0, false},
        {"", &kHighBound, 0, "000000", 0, false},
        {"1234567", &kLowBound, 0xFFFFFF, "234567", 0x234567, false},
        {"abcdef0123", &kHighBound, 0, "EF0123", 0xEF0123, false},
        {"12", &kHighBound, 0, "000012", 0x12, false},
        // Bounds are inclusive: equal bounds are consistent.
        {"12", &kHighBound, 0x12, "000012", 0x12, false},
        {"20", &kLowBound, 0x20, "000020", 0x20, false},
        // Crossing the other bound falls back without a message.
        {"12", &kHighBound, 0x13, "FFFFFF", 0xFFFFFF, false},
        {"", &kHighBound, 0x10, "FFFFFF", 0xFFFFFF, false},
        {"000021", &kLowBound, 0x20, "000000", 0, false},
        // Anything not hexadecimal, of any length, falls back with a message.
        {"1g", &kLowBound, 0xFFFFFF, "000000", 0, true},
        {"12345G", &kHighBound, 0, "FFFFFF", 0xFFFFFF, true},
        {" 12", &kLowBound, 0xFFFFFF, "000000", 0, true},
        {"0x12", &kHighBound, 0, "FFFFFF", 0xFFFFFF, true},
        {"1234\xe9", &kLowBound, 0xFFFFFF, "000000", 0, true},
    };
    for (const Case& c : cases) {
        const LeftBound r = normaliseLeftBound(c.typed, *c.side, c.other);
        EXPECT_EQ(r.text, c.text) << c.typed;
        EXPECT_EQ(r.value, c.value) << c.typed;
        EXPECT_EQ(r.rejected, c.rejected) << c.typed;
    }
}

}  // namespace
}  // namespace varno::decode
