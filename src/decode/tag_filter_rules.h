#pragma once
// How the "Lo" and "Hi" texts of the tag identifier filter become its bounds.
// Texts are the Windows-1252 bytes the edits hold.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varno::decode {

// A bound is typed as this many hexadecimal digits.
inline constexpr std::size_t kBoundDigits = 6;

// True when every byte is 0-9, A-F or a-f; the empty text counts. Bytes above
// 127 (accented letters and the like) are never digits.
bool isHexText(std::string_view text);

// Upper case of the ASCII letters; every other byte unchanged.
std::string toUpperAscii(std::string text);

// One of the two bounds: what it falls back to on a bad or inconsistent entry.
struct BoundSide {
    const char* fallbackText;
    std::uint32_t fallbackValue;
    bool isLow;  // "Lo" must not exceed the other bound, "Hi" must not go below it
};
inline constexpr BoundSide kLowBound{"000000", 0, true};
inline constexpr BoundSide kHighBound{"FFFFFF", 0xFFFFFF, false};

// The text of a bound edit after the operator changed it.
struct TypedBound {
    std::string text;       // what the edit shows next
    bool complete = false;  // six hexadecimal digits: the operator moves on
    bool rejected = false;  // six characters, not all hexadecimal: message, fallback
};
// Only a six-character text is judged; any other length stays as typed.
TypedBound checkTypedBound(std::string_view typed, const BoundSide& side);

// A bound as the edit leaves it.
struct LeftBound {
    std::string text;  // six upper-case hexadecimal digits
    std::uint32_t value = 0;
    bool rejected = false;  // the text was not hexadecimal: message, fallback
};
// The last six digits of a longer text, zeros on the left of a shorter one; a
// bound that crosses `otherBound` silently falls back.
LeftBound normaliseLeftBound(std::string_view typed, const BoundSide& side, std::uint32_t otherBound);

}  // namespace varno::decode
