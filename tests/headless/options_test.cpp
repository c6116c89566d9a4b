// The values a headless run takes from its command line.

#include <gtest/gtest.h>

#include <string>

#include "headless/options.h"

namespace varno::headless {
namespace {

TEST(HeadlessOptions, OnlyTheListedBaudRates)
{
    for (const char* rate : {"9600", "19200", "38400", "115200"})
        EXPECT_EQ(parseBaudRate(rate).value, std::stoul(rate)) << rate;
    for (const char* rate : {"", "57600", "9600 ", "0x2580", "-9600", "115200x"}) {
        const auto parsed = parseBaudRate(rate);
        EXPECT_FALSE(parsed.value) << rate;
        EXPECT_EQ(parsed.error, "the rate '" + std::string(rate) + "' is not one of 9600, 19200, 38400 and 115200");
    }
}

TEST(HeadlessOptions, ATcpServerIsHostColonPort)
{
    const struct {
        const char* text;
        const char* host;
        int port;  // 0: refused
        const char* error;
    } cases[] = {
        {"127.0.0.1:10001", "127.0.0.1", 10001, ""},
        {"gateway.local:1", "gateway.local", 1, ""},
        {"localhost:65535", "localhost", 65535, ""},
        {"127.0.0.1", nullptr, 0, "the server '127.0.0.1' is not HOST:PORT"},
        {":10001", nullptr, 0, "the server ':10001' is not HOST:PORT"},
        {"127.0.0.1:", nullptr, 0, "the port of '127.0.0.1:' is not a number from 1 to 65535"},
        {"127.0.0.1:0", nullptr, 0, "the port of '127.0.0.1:0' is not a number from 1 to 65535"},
        {"127.0.0.1:65536", nullptr, 0, "the port of '127.0.0.1:65536' is not a number from 1 to 65535"},
        {"127.0.0.1:10001x", nullptr, 0, "the port of '127.0.0.1:10001x' is not a number from 1 to 65535"},
        {"127.0.0.1:+1", nullptr, 0, "the port of '127.0.0.1:+1' is not a number from 1 to 65535"},
        {"[::1]:10001", nullptr, 0, "the host of '[::1]:10001' is not an IPv4 address or a host name"},
        {"a b:10001", nullptr, 0, "the host of 'a b:10001' is not an IPv4 address or a host name"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseTcpTarget(c.text);
        if (c.port == 0) {
            EXPECT_FALSE(parsed.value) << c.text;
            EXPECT_EQ(parsed.error, c.error);
            continue;
        }
        ASSERT_TRUE(parsed.value) << c.text << ": " << parsed.error;
        EXPECT_EQ(parsed.value->host, c.host);
        EXPECT_EQ(parsed.value->port, c.port);
    }
}

TEST(HeadlessOptions, TheFilterIsTwoBoundsOfSixHexadecimalDigits)
{
    const struct {
        const char* text;
        std::uint32_t low, high;
        const char* error;  // "" when taken
    } cases[] = {
        {"000000:FFFFFF", 0, 0xFFFFFF, ""},
        {"0a1b2c:0A1B2C", 0x0A1B2C, 0x0A1B2C, ""},
        {"000100:0001ff", 0x100, 0x1FF, ""},
        {"000200:000100", 0, 0, "the filter '000200:000100' has its low bound above its high bound"},
        {"100:200", 0, 0, "the bounds of '100:200' are not six hexadecimal digits each"},
        {"00000G:FFFFFF", 0, 0, "the bounds of '00000G:FFFFFF' are not six hexadecimal digits each"},
        {"0000000:FFFFFF", 0, 0, "the bounds of '0000000:FFFFFF' are not six hexadecimal digits each"},
        {"000000-FFFFFF", 0, 0, "the filter '000000-FFFFFF' is not LO:HI"},
        {"000000:FFFFFF:1", 0, 0, "the bounds of '000000:FFFFFF:1' are not six hexadecimal digits each"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseFilterRange(c.text);
        EXPECT_EQ(parsed.error, c.error) << c.text;
        if (*c.error == '\0') {
            ASSERT_TRUE(parsed.value) << c.text;
            EXPECT_EQ(parsed.value->low, c.low);
            EXPECT_EQ(parsed.value->high, c.high);
        }
    }
}

}  // namespace
}  // namespace varno::headless
