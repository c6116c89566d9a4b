#include "link/tcp_settings.h"

namespace varno::link {

PortTextCheck checkPortText(std::string_view text, std::uint32_t& value)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return PortTextCheck::NotAPositiveInteger;
    std::uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return PortTextCheck::NotAPositiveInteger;
        if (number <= kMaxPort)
            number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > kMaxPort)
        return PortTextCheck::OutOfRange;
    value = static_cast<std::uint32_t>(number);
    return PortTextCheck::Ok;
}

}  // namespace varno::link
