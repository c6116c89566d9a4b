#include "decode/tag_filter_rules.h"

#include "decode/conversions.h"

namespace varno::decode {

bool isHexText(std::string_view text)
{
    for (const char c : text) {
        const bool digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!digit)
            return false;
    }
    return true;
}

std::string toUpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

TypedBound checkTypedBound(std::string_view typed, const BoundSide& side)
{
    TypedBound result;
    result.text = typed;
    if (typed.size() != kBoundDigits)
        return result;
    if (isHexText(typed)) {
        result.complete = true;
    } else {
        result.rejected = true;
        result.text = side.fallbackText;
    }
    result.text = toUpperAscii(std::move(result.text));
    return result;
}

LeftBound normaliseLeftBound(std::string_view typed, const BoundSide& side, std::uint32_t otherBound)
{
    LeftBound result;
    if (isHexText(typed)) {
        if (typed.size() > kBoundDigits)
            result.text = typed.substr(typed.size() - kBoundDigits);
        else
            result.text = std::string(kBoundDigits - typed.size(), '0').append(typed);
    } else {
        result.rejected = true;
        result.text = side.fallbackText;
    }
    result.text = toUpperAscii(std::move(result.text));
    result.value = decode::lenientToUInt32(result.text, 16);

    const bool crosses = side.isLow ? result.value > otherBound : otherBound > result.value;
    if (crosses) {
        result.text = side.fallbackText;
        result.value = side.fallbackValue;
    }
    return result;
}

}  // namespace varno::decode
