#pragma once
// Cutting the fields of reader and debug frames out of their bracketed text
// ("[" + frame + "]"). Pure functions over bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varno::decode {

// True when the text holds a '+' or a '-' anywhere: such frames are debug frames,
// whatever closed them.
bool holdsSign(std::string_view text);

struct ReaderFields {
    std::string p1Text;    // two characters as received
    std::int32_t p1Value = 0;
    std::string tagId;     // 6 or 4 characters as received
    std::string readerId;  // 4 or 2 characters as received
};

// Bracketed lengths 14, 12 and 10 are reader frames; any other length gives nothing.
std::optional<ReaderFields> cutReaderFrame(std::string_view bracketed);

struct DebugFields {
    std::string p1Text;
    std::int32_t p1Value = 0;
    std::string p2Text;
    std::int32_t p2Value = 0;
    std::string dpText;  // sign and two digits, never converted
    std::string tagId;

    std::string key1() const { return tagId + "/1"; }  // legend key of P1
    std::string key2() const { return tagId + "/2"; }  // legend key of P2
};

// Fields at fixed bracketed positions, without a length check: on a short text
// each field is cut at the end of the text and may be short or empty.
DebugFields cutDebugFrame(std::string_view bracketed);

}  // namespace varno::decode
