#pragma once
// The machine's serial ports, found through sysfs, as the port list shows them.

#include <string>
#include <string_view>
#include <vector>

namespace varno::link {

// Where the enumeration looks; tests give it a fake tree.
struct PortRoots {
    std::string sysfs = "/sys";
    std::string dev = "/dev";
};

// The item of the port list that stands for the TCP/IP link.
inline constexpr std::string_view kTcpIpItem = "TCP/IP";

// The /dev paths of the real serial devices: ttyUSB*, ttyACM*, ttyAMA*, rfcomm*
// and ttyS*, each only with its node under the dev root. A ttyS needs a device
// behind it, and a port whose UART type reads 0 (the kernel found no UART there,
// as for the placeholder ports of the legacy driver) is left out.
std::vector<std::string> findSerialPorts(const PortRoots& roots);

// The order of the port list: case-insensitive, byte by byte.
bool portListLess(std::string_view a, std::string_view b);

// The serial ports and "TCP/IP", in the order of the list.
std::vector<std::string> portListItems(const PortRoots& roots);

}  // namespace varno::link
