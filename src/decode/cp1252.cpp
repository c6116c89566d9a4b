#include "decode/cp1252.h"

#include <cstdint>

namespace varno::decode {

namespace {

// 0x80-0x9F; 0 marks the undefined bytes.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

char16_t cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0)
        return kHigh[byte - 0x80];
    return byte;
}

unsigned char unicodeToCp1252(char16_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == codePoint && codePoint != 0)
            return static_cast<unsigned char>(0x80 + i);
        if (kHigh[i] == 0 && codePoint == 0x80 + i)
            return static_cast<unsigned char>(codePoint);
    }
    return '?';
}

std::string utf8ToCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = b;
        std::size_t len = 1;
        if (b >= 0xF0 && i + 3 < utf8.size()) {
            cp = ((b & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6)
                 | (utf8[i + 3] & 0x3Fu);
            len = 4;
        } else if (b >= 0xE0 && i + 2 < utf8.size()) {
            cp = ((b & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            len = 3;
        } else if (b >= 0xC0 && i + 1 < utf8.size()) {
            cp = ((b & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            len = 2;
        }
        out.push_back(static_cast<char>(cp > 0xFFFF ? '?' : unicodeToCp1252(static_cast<char16_t>(cp))));
        i += len;
    }
    return out;
}

}  // namespace varno::decode
