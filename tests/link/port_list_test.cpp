// The port list from a fake sysfs tree.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/port_list.h"
#include "support/pty_pair.h"

namespace varno::link {
namespace {

using testing::FakePortTree;
using testing::TempDir;

TEST(PortList, RealSerialDevicesAndTcpIpInTheListOrder)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    FakePortTree tree(dir.path());
    tree.addPlain("ttyUSB0");                  // USB adapter
    tree.addPlain("ttyACM0");                  // USB modem class device
    tree.addPlain("rfcomm0");
    tree.addUart("ttyAMA0", "83");
    tree.addUart("ttyS0", "4");                // a 16550A found
    tree.addUart("ttyS10", "4");
    tree.addUart("ttyS1", "0");                // placeholder: no UART there
    tree.addUart("ttyS2", "4", false);         // no hardware behind it
    tree.addWithoutNode("ttyUSB1");            // gone from /dev
    for (const char* other : {"tty0", "tty1", "console", "ptmx", "ttyprintk", "ttyS"})
        tree.addUart(other, "4");

    const std::string dev = tree.dev.string();
    const std::vector<std::string> expected = {
        dev + "/rfcomm0", dev + "/ttyACM0", dev + "/ttyAMA0", dev + "/ttyS0",
        dev + "/ttyS10",  dev + "/ttyUSB0", "TCP/IP",
    };
    EXPECT_EQ(portListItems({tree.sysfs.string(), dev}), expected);
}

TEST(PortList, NoPortAtAllLeavesOnlyTcpIp)
{
    TempDir dir;
    FakePortTree tree(dir.path());
    EXPECT_EQ(portListItems({tree.sysfs.string(), tree.dev.string()}), std::vector<std::string>{"TCP/IP"});
    // Not even a sysfs.
    EXPECT_EQ(portListItems({(std::filesystem::path(dir.path()) / "none").string(), (std::filesystem::path(dir.path()) / "none").string()}),
              std::vector<std::string>{"TCP/IP"});
}

TEST(PortList, OrderIgnoresCase)
{
    const std::pair<const char*, const char*> ordered[] = {
        {"apple", "Banana"},        {"/dev/ttyUSB0", "TCP/IP"}, {"COM1", "com2"},
        {"COM10", "COM9"},          {"ttyacm0", "ttyAMA0"},     {"TCP/IP", "tcp/ip"},
    };
    for (const auto& [first, second] : ordered) {
        EXPECT_TRUE(portListLess(first, second)) << first << " < " << second;
        EXPECT_FALSE(portListLess(second, first)) << second << " < " << first;
    }
    EXPECT_FALSE(portListLess("same", "same"));
}

}  // namespace
}  // namespace varno::link
