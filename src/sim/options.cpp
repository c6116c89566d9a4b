#include "sim/options.h"

#include <arpa/inet.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace varno::sim {

namespace {

template <typename T>
std::optional<T> parseNumber(std::string_view text, T low, T high)
{
    T value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

template <typename T>
std::string numberText(T v)
{
    if constexpr (std::is_floating_point_v<T>) {
        std::string s = std::to_string(v);
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
        return s;
    } else {
        return std::to_string(v);
    }
}

template <typename T>
std::string rangeText(T low, T high)
{
    if (high == std::numeric_limits<T>::max())
        return "a whole number of at least " + numberText(low);
    return (std::is_floating_point_v<T> ? "a number from " : "a whole number from ") + numberText(low)
           + " to " + numberText(high);
}

// "ADDRESS:PORT", "ADDRESS" or "PORT"; the address must be loopback.
std::string parseListen(std::string_view value, Options& options)
{
    std::string_view address;
    std::string_view port;
    if (const auto colon = value.rfind(':'); colon != std::string_view::npos) {
        address = value.substr(0, colon);
        port = value.substr(colon + 1);
    } else if (!value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos) {
        port = value;
    } else {
        address = value;
    }
    if (!address.empty() || value.find(':') != std::string_view::npos) {
        std::string dotted = address == "localhost" ? "127.0.0.1" : std::string(address);
        in_addr parsed{};
        if (inet_pton(AF_INET, dotted.c_str(), &parsed) != 1)
            return "invalid address '" + std::string(address)
                   + "' for --listen: expected a dotted IPv4 address such as 127.0.0.1";
        if (!isLoopback(dotted))
            return "refusing to listen on " + dotted + ": only loopback addresses (127.0.0.0/8) are allowed";
        options.address = dotted;
    }
    if (!port.empty() || value.find(':') != std::string_view::npos) {
        const auto number = parseNumber<unsigned>(port, 0, 65535);
        if (!number)
            return "invalid port '" + std::string(port) + "' for --listen: expected a number from 0 to 65535";
        options.port = static_cast<std::uint16_t>(*number);
    }
    return {};
}

}  // namespace

bool isLoopback(const std::string& address)
{
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        return false;
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

ParsedOptions parseOptions(const std::vector<std::string>& args)
{
    ParsedOptions result;
    Options& o = result.options;
    int outputs = 0;
    bool listenGiven = false;
    bool rateGiven = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "-h" || arg == "--help") {
            result.help = true;
            return result;
        }
        if (arg.substr(0, 2) != "--" || arg.size() == 2) {
            result.error = "unexpected argument '" + std::string(arg) + "'";
            return result;
        }
        std::string name(arg);
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.erase(eq);
        }

        auto flag = [&](bool& target) {
            if (inlineValue) {
                result.error = "option '" + name + "' takes no value";
                return;
            }
            target = true;
        };
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 >= args.size()) {
                result.error = "option '" + name + "' needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        auto number = [&]<typename T>(T& target, T low, T high) {
            const auto text = value();
            if (!text)
                return;
            const auto parsed = parseNumber<T>(*text, low, high);
            if (!parsed) {
                result.error = "invalid value '" + *text + "' for " + name + ": expected "
                               + rangeText(low, high);
                return;
            }
            target = *parsed;
        };

        bool set = false;
        if (name == "--tcp" || name == "--pty" || name == "--stdout") {
            flag(set);
            ++outputs;
            o.output = name == "--tcp" ? Options::Output::Tcp
                       : name == "--pty" ? Options::Output::Pty
                                         : Options::Output::Stdout;
        } else if (name == "--listen") {
            if (const auto text = value()) {
                listenGiven = true;
                result.error = parseListen(*text, o);
            }
        } else if (name == "--rate") {
            rateGiven = true;
            number(o.rate, 0.0, 100000.0);
        } else if (name == "--baud") {
            number(o.baud, 50u, 4000000u);
        } else if (name == "--delay") {
            number(o.delay, 0.0, 3600.0);
        } else if (name == "--count") {
            number(o.count, std::uint64_t{1}, std::numeric_limits<std::uint64_t>::max());
        } else if (name == "--tags") {
            number(o.stream.tags, 1u, 1000u);
        } else if (name == "--seed") {
            number(o.stream.seed, std::uint64_t{0}, std::numeric_limits<std::uint64_t>::max());
        } else if (name == "--debug") {
            number(o.stream.debugPercent, 0u, 100u);
        } else if (name == "--noise") {
            number(o.stream.noisePercent, 0u, 100u);
        } else if (name == "--record") {
            if (const auto text = value()) {
                if (text->empty())
                    result.error = "option '--record' needs a file name";
                o.recordPath = *text;
            }
        } else if (name == "--hold") {
            flag(o.hold);
        } else if (name == "--quiet") {
            flag(o.quiet);
        } else {
            result.error = "unknown option '" + name + "'";
        }
        if (!result.error.empty())
            return result;
    }

    if (outputs > 1)
        result.error = "choose one output: --tcp, --pty or --stdout";
    else if (listenGiven && o.output != Options::Output::Tcp)
        result.error = "--listen applies to the TCP output only";
    else if (rateGiven && o.baud != 0)
        result.error = "--rate and --baud cannot be combined";
    return result;
}

std::string usageText()
{
    return R"(Usage: varno-sim [OPTION]...
Simulates a radio-tag reader: sends a stream of reader frames ("[" P1 tag reader "]")
and debug lines ("P1 P2 +dP tagid"), each ended by CR LF, for VARNO to receive.

Output (one of):
  --tcp                 serve the stream over TCP, one client at a time; a new
                        client is served after the previous one disconnects
                        (the default)
  --listen [ADDRESS:]PORT
                        where the TCP output listens (default 127.0.0.1:10001);
                        loopback addresses (127.0.0.0/8) only; port 0 picks a
                        free port
  --pty                 create a pseudo-terminal, a virtual serial port for
                        VARNO to open; frames flow while a reader has it open
  --stdout              write the stream to standard output

Once ready, the simulator prints one line on standard output: the address and
port it listens on (127.0.0.1:10001) or the path of the pseudo-terminal
(/dev/pts/3). Nothing else goes to standard output except, with --stdout, the
stream itself.

Pace and length:
  --rate N              frames per second, fractions allowed (default 100);
                        0 sends as fast as the reader takes them
  --baud N              pace as a serial line of N baud at 10 bits per byte,
                        instead of --rate (50 to 4000000)
  --count N             stop after N frames have been handed to the reader;
                        for TCP and the pseudo-terminal it then waits until the
                        reader has taken every byte (or gone) and exits 0.
                        Without it the stream has no end.
  --delay SECONDS       wait this long after a reader arrives before its first
                        frame, fractions allowed (default 0): time for the
                        receiver to get ready, say to start its log
  --hold                after the last frame, keep the output open, sending
                        nothing, until the reader disconnects or a signal stops
                        the simulator

Stream:
  --tags N              number of tags, 1 to 1000 (default 5); every third has
                        a 4-digit identifier, the others 6 digits
  --seed N              seed of the stream (default 1): the same options and
                        seed give the same bytes
  --debug PERCENT       share of frames sent as debug lines (default 5)
  --noise PERCENT       share of frames preceded by line noise: blank lines,
                        stray characters, or a reader frame cut short (default 0)
  --record FILE         write every frame handed to the reader, one per line, as
                        the receiver cuts it: "351 <text between the brackets>"
                        or "352 <16-character debug line>", then a tab and the
                        local time it was sent, "dd/mm/yyyy hh:mm:ss.mmm"; a
                        reader frame cut short by the noise is noted as
                        "# truncated [<bytes>". Lines are flushed as their
                        frames go.

Other:
  --quiet               no progress notes on standard error
  -h, --help            show this help and exit

The simulator sends only while a reader is connected; a reader that goes away
just ends its session, and the frame it was taking is not sent again. SIGINT or SIGTERM stops it (exit 0). Exit status: 0 when
done or stopped, 1 on a failure (address in use, no pseudo-terminal, record not
writable), 2 on a bad command line.
)";
}

}  // namespace varno::sim
