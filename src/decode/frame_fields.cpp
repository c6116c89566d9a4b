#include "decode/frame_fields.h"

#include "decode/conversions.h"

namespace varno::decode {

namespace {

std::string cut(std::string_view text, std::size_t pos, std::size_t count)
{
    if (pos >= text.size())
        return {};
    return std::string(text.substr(pos, count));
}

std::int32_t hexValue(std::string_view text)
{
    return static_cast<std::int32_t>(lenientToUInt32(text, 16));
}

}  // namespace

bool holdsSign(std::string_view text)
{
    for (char c : text) {
        if (c == '+' || c == '-')
            return true;
    }
    return false;
}

std::optional<ReaderFields> cutReaderFrame(std::string_view bracketed)
{
    std::size_t tagLength = 0;
    std::size_t readerLength = 0;
    switch (bracketed.size()) {
    case 14: tagLength = 6; readerLength = 4; break;
    case 12: tagLength = 6; readerLength = 2; break;
    case 10: tagLength = 4; readerLength = 2; break;
    default: return std::nullopt;
    }
    ReaderFields fields;
    fields.p1Text = std::string(bracketed.substr(1, 2));
    fields.p1Value = hexValue(fields.p1Text);
    fields.tagId = std::string(bracketed.substr(3, tagLength));
    fields.readerId = std::string(bracketed.substr(3 + tagLength, readerLength));
    return fields;
}

DebugFields cutDebugFrame(std::string_view bracketed)
{
    DebugFields fields;
    fields.p1Text = cut(bracketed, 1, 2);
    fields.p2Text = cut(bracketed, 4, 2);
    fields.dpText = cut(bracketed, 7, 3);
    fields.tagId = cut(bracketed, 11, 6);
    fields.p1Value = hexValue(fields.p1Text);
    fields.p2Value = hexValue(fields.p2Text);
    return fields;
}

}  // namespace varno::decode
