#include <gtest/gtest.h>

#include "link/tcp_settings.h"

namespace varno::link {
namespace {

TEST(PortText, AcceptsOnlyUnsignedNumbersUpTo65535)
{
    struct Case {
        const char* text;
        PortTextCheck check;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"10001", PortTextCheck::Ok, 10001},
        {" 80 ", PortTextCheck::Ok, 80},
        {"0", PortTextCheck::Ok, 0},
        {"65535", PortTextCheck::Ok, 65535},
        {"65536", PortTextCheck::OutOfRange, 0},
        {"99999999999999999999", PortTextCheck::OutOfRange, 0},
        {"-1", PortTextCheck::NotAPositiveInteger, 0},
        {"+1", PortTextCheck::NotAPositiveInteger, 0},
        {"abc", PortTextCheck::NotAPositiveInteger, 0},
        {"12ab", PortTextCheck::NotAPositiveInteger, 0},
        {"", PortTextCheck::NotAPositiveInteger, 0},
        {"   ", PortTextCheck::NotAPositiveInteger, 0},
    };
    for (const Case& c : cases) {
        std::uint32_t value = 0;
        EXPECT_EQ(checkPortText(c.text, value), c.check) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

}  // namespace
}  // namespace varno::link
