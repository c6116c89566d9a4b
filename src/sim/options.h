#pragma once
// The simulator's command line.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/generator.h"

namespace varno::sim {

struct Options {
    enum class Output { Tcp, Pty, Stdout };
    Output output = Output::Tcp;
    std::string address = "127.0.0.1";  // dotted IPv4, always a loopback address
    std::uint16_t port = 10001;         // 0: any free port
    double rate = 100;                  // frames per second; 0: as fast as the reader takes them
    unsigned baud = 0;                  // when set, paced as a serial line instead (10 bits per byte)
    std::uint64_t count = 0;            // frames to send; 0: no end
    double delay = 0;                   // seconds between a reader's arrival and the first frame
    GeneratorSettings stream;
    std::string recordPath;  // empty: no record
    bool hold = false;       // after the last frame, stay until the reader goes away
    bool quiet = false;      // no progress notes on standard error
};

struct ParsedOptions {
    Options options;
    bool help = false;
    std::string error;  // empty when the command line is good
};

// Parses the arguments after the program name.
ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string usageText();

// True for IPv4 addresses in 127.0.0.0/8. `address` must be dotted decimal.
bool isLoopback(const std::string& address);

}  // namespace varno::sim
