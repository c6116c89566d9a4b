#include "decode/conversions.h"

namespace varno::decode {

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

bool isCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::uint32_t lenientToUInt32(std::string_view text, int base)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (base == 16 && i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')
        && i + 2 < n && digitValue(text[i + 2]) < 16)
        i += 2;

    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < n; ++i) {
        const int d = digitValue(text[i]);
        if (d >= base)
            break;
        if (!overflow) {
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFull)
                overflow = true;
        }
    }
    if (overflow)
        return 0xFFFFFFFFu;
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

}  // namespace varno::decode
