#include "link/port_list.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <filesystem>
#include <system_error>

namespace varno::link {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 5> kPrefixes = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm", "ttyS"};

bool hasPrefix(std::string_view name, std::string_view prefix)
{
    return name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix;
}

// The UART type the serial core reports (0: none found); -1 without the attribute.
int uartType(const fs::path& entry)
{
    std::ifstream in(entry / "type");
    int type = -1;
    if (!(in >> type))
        return -1;
    return type;
}

bool isRealPort(const fs::path& entry, std::string_view name)
{
    std::error_code ec;
    if (hasPrefix(name, "ttyS") && !fs::exists(entry / "device", ec))
        return false;  // no hardware behind it
    return uartType(entry) != 0;
}

// Bytes compare unsigned, capital ASCII letters as small ones.
bool foldedLess(char x, char y)
{
    auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
    };
    return fold(x) < fold(y);
}

}  // namespace

std::vector<std::string> findSerialPorts(const PortRoots& roots)
{
    std::vector<std::string> ports;
    std::error_code ec;
    const fs::path classTty = fs::path(roots.sysfs) / "class" / "tty";
    for (fs::directory_iterator it(classTty, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (std::none_of(kPrefixes.begin(), kPrefixes.end(), [&](std::string_view p) { return hasPrefix(name, p); }))
            continue;
        const fs::path node = fs::path(roots.dev) / name;
        std::error_code nodeError;
        if (!fs::exists(node, nodeError) || !isRealPort(it->path(), name))
            continue;
        ports.push_back(node.string());
    }
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) { return portListLess(a, b); });
    return ports;
}

bool portListLess(std::string_view a, std::string_view b)
{
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), foldedLess))
        return true;
    const bool reverse = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), foldedLess);
    // Equal but for case: a stable, total order all the same.
    return !reverse && a < b;
}

std::vector<std::string> portListItems(const PortRoots& roots)
{
    std::vector<std::string> items = findSerialPorts(roots);
    items.emplace_back(kTcpIpItem);
    std::sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) { return portListLess(a, b); });
    return items;
}

}  // namespace varno::link
