#include "headless/options.h"

#include <charconv>

#include "decode/conversions.h"
#include "decode/tag_filter_rules.h"

namespace varno::headless {

namespace {

std::string quote(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('\'');
    quoted.append(text);
    quoted.push_back('\'');
    return quoted;
}

}  // namespace

Parsed<std::uint32_t> parseBaudRate(std::string_view text)
{
    for (const std::uint32_t rate : {9600u, 19200u, 38400u, 115200u}) {
        if (text == std::to_string(rate))
            return {rate, {}};
    }
    return {std::nullopt, "the rate " + quote(text) + " is not one of 9600, 19200, 38400 and 115200"};
}

Parsed<TcpTarget> parseTcpTarget(std::string_view text)
{
    const std::string quoted = quote(text);
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return {std::nullopt, "the server " + quoted + " is not HOST:PORT"};
    const std::string_view host = text.substr(0, colon);
    const std::string_view portText = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || error != std::errc() || end != portText.data() + portText.size() || port == 0 ||
        port > 65535)
        return {std::nullopt, "the port of " + quoted + " is not a number from 1 to 65535"};
    for (const char c : host) {
        const bool allowed = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                             c == '-';
        if (!allowed)
            return {std::nullopt, "the host of " + quoted + " is not an IPv4 address or a host name"};
    }
    return {TcpTarget{std::string(host), static_cast<std::uint16_t>(port)}, {}};
}

Parsed<FilterRange> parseFilterRange(std::string_view text)
{
    const std::string quoted = quote(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return {std::nullopt, "the filter " + quoted + " is not LO:HI"};
    const std::string_view low = text.substr(0, colon);
    const std::string_view high = text.substr(colon + 1);
    for (const std::string_view bound : {low, high}) {
        if (bound.size() != decode::kBoundDigits || !decode::isHexText(bound))
            return {std::nullopt, "the bounds of " + quoted + " are not six hexadecimal digits each"};
    }
    const FilterRange range{decode::lenientToUInt32(low, 16), decode::lenientToUInt32(high, 16)};
    if (range.low > range.high)
        return {std::nullopt, "the filter " + quoted + " has its low bound above its high bound"};
    return {range, {}};
}

}  // namespace varno::headless
