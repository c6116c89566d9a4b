#pragma once
// What a headless run is told on the command line: exactly one source (a
// serial device and its rate, or a TCP server), the log folder, raw lines or
// decoded ones, and the tag filter. The command line's own parser checks the
// option names; the values are read here, each with the message that says
// what is wrong with it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varno::headless {

struct Options {
    enum class Source { Serial, Tcp };
    Source source = Source::Serial;
    std::string device;             // --serial
    std::uint32_t baudRate = 115200;  // --baud
    std::string host;               // --tcp HOST:PORT: a dotted address or a name
    std::uint16_t port = 0;
    std::string logDirectory;       // --log-dir, without a trailing '/' ("" for the root)
    bool raw = false;               // --raw: the four-column lines of raw text mode
    bool filterOn = false;          // --filter LO:HI
    std::uint32_t filterLow = 0;
    std::uint32_t filterHigh = 0xFFFFFF;
};

// A value, or the reason it is refused (one line, English, like the other
// command-line messages).
template <class T>
struct Parsed {
    std::optional<T> value;
    std::string error;
};

// 9600, 19200, 38400 or 115200.
Parsed<std::uint32_t> parseBaudRate(std::string_view text);

struct TcpTarget {
    std::string host;
    std::uint16_t port = 0;
};
// HOST:PORT with a port from 1 to 65535; HOST a dotted IPv4 address or a name.
Parsed<TcpTarget> parseTcpTarget(std::string_view text);

struct FilterRange {
    std::uint32_t low = 0, high = 0;
};
// LO:HI, six hexadecimal digits each (either case), LO not above HI: the
// bounds the window's "Lo" and "Hi" fields take.
Parsed<FilterRange> parseFilterRange(std::string_view text);

}  // namespace varno::headless
