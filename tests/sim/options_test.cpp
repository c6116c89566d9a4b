#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/options.h"

namespace varno::sim {
namespace {

using Args = std::vector<std::string>;

TEST(SimOptions, DefaultsServeTcpOnLoopbackPort10001)
{
    const auto parsed = parseOptions({});
    ASSERT_EQ(parsed.error, "");
    EXPECT_FALSE(parsed.help);
    const Options& o = parsed.options;
    EXPECT_EQ(o.output, Options::Output::Tcp);
    EXPECT_EQ(o.address, "127.0.0.1");
    EXPECT_EQ(o.port, 10001);
    EXPECT_EQ(o.count, 0u);
    EXPECT_GT(o.rate, 0);
    EXPECT_EQ(o.baud, 0u);
    EXPECT_EQ(o.stream.noisePercent, 0u);
}

TEST(SimOptions, ReadsEveryOption)
{
    const auto parsed = parseOptions({"--listen", "127.0.0.2:0", "--rate=12.5", "--count", "300", "--delay", "0.25",
                                      "--tags", "9",
                                      "--seed", "18446744073709551615", "--debug", "0", "--noise=100", "--record",
                                      "out.txt", "--hold", "--quiet"});
    ASSERT_EQ(parsed.error, "");
    const Options& o = parsed.options;
    EXPECT_EQ(o.address, "127.0.0.2");
    EXPECT_EQ(o.port, 0);
    EXPECT_DOUBLE_EQ(o.rate, 12.5);
    EXPECT_EQ(o.count, 300u);
    EXPECT_DOUBLE_EQ(o.delay, 0.25);
    EXPECT_EQ(o.stream.tags, 9u);
    EXPECT_EQ(o.stream.seed, 18446744073709551615ull);
    EXPECT_EQ(o.stream.debugPercent, 0u);
    EXPECT_EQ(o.stream.noisePercent, 100u);
    EXPECT_EQ(o.recordPath, "out.txt");
    EXPECT_TRUE(o.hold);
    EXPECT_TRUE(o.quiet);

    struct Case {
        Args args;
        Options::Output output;
        std::string address;
        int port;
    };
    const std::vector<Case> listens = {
        {{"--listen", "10002"}, Options::Output::Tcp, "127.0.0.1", 10002},
        {{"--listen", "127.1.2.3"}, Options::Output::Tcp, "127.1.2.3", 10001},
        {{"--listen", "localhost:7"}, Options::Output::Tcp, "127.0.0.1", 7},
        {{"--tcp", "--listen=127.0.0.1:10001"}, Options::Output::Tcp, "127.0.0.1", 10001},
        {{"--pty"}, Options::Output::Pty, "127.0.0.1", 10001},
        {{"--stdout"}, Options::Output::Stdout, "127.0.0.1", 10001},
    };
    for (const auto& c : listens) {
        const auto p = parseOptions(c.args);
        ASSERT_EQ(p.error, "") << c.args[0];
        EXPECT_EQ(p.options.output, c.output) << c.args[0];
        EXPECT_EQ(p.options.address, c.address) << c.args[0];
        EXPECT_EQ(p.options.port, c.port) << c.args[0];
    }

    const auto baud = parseOptions({"--baud", "115200"});
    ASSERT_EQ(baud.error, "");
    EXPECT_EQ(baud.options.baud, 115200u);
}

TEST(SimOptions, BadCommandLinesAreRefusedWithAClearError)
{
    struct Case {
        Args args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unexpected argument '-x'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--"}, "unexpected argument '--'"},
        {{"--rate"}, "option '--rate' needs a value"},
        {{"--record"}, "option '--record' needs a value"},
        {{"--record="}, "option '--record' needs a file name"},
        {{"--rate", "fast"}, "invalid value 'fast' for --rate: expected a number from 0 to 100000"},
        {{"--rate", "-1"}, "invalid value '-1' for --rate"},
        {{"--rate", "nan"}, "invalid value 'nan' for --rate"},
        {{"--rate", "inf"}, "invalid value 'inf' for --rate"},
        {{"--rate", "100001"}, "invalid value '100001' for --rate"},
        {{"--rate", "5x"}, "invalid value '5x' for --rate"},
        {{"--baud", "49"}, "invalid value '49' for --baud: expected a whole number from 50 to 4000000"},
        {{"--baud", "9600.5"}, "invalid value '9600.5' for --baud"},
        {{"--delay", "3601"}, "invalid value '3601' for --delay: expected a number from 0 to 3600"},
        {{"--delay", "-0.5"}, "invalid value '-0.5' for --delay"},
        {{"--count", "0"}, "invalid value '0' for --count: expected a whole number of at least 1"},
        {{"--count", "-5"}, "invalid value '-5' for --count"},
        {{"--count", "18446744073709551616"}, "invalid value '18446744073709551616' for --count"},
        {{"--tags", "0"}, "invalid value '0' for --tags: expected a whole number from 1 to 1000"},
        {{"--tags", "1001"}, "invalid value '1001' for --tags"},
        {{"--seed", "-1"}, "invalid value '-1' for --seed"},
        {{"--debug", "101"}, "invalid value '101' for --debug: expected a whole number from 0 to 100"},
        {{"--noise", " 5"}, "invalid value ' 5' for --noise"},
        {{"--hold=yes"}, "option '--hold' takes no value"},
        {{"--pty=1"}, "option '--pty' takes no value"},
        {{"--listen", "192.168.1.10:10001"},
         "refusing to listen on 192.168.1.10: only loopback addresses (127.0.0.0/8) are allowed"},
        {{"--listen", "0.0.0.0"}, "refusing to listen on 0.0.0.0: only loopback addresses"},
        {{"--listen", "128.0.0.1:1"}, "refusing to listen on 128.0.0.1"},
        {{"--listen", "::1"}, "invalid address ':' for --listen: expected a dotted IPv4 address"},
        {{"--listen", "example.org:80"}, "invalid address 'example.org' for --listen"},
        {{"--listen", "127.0.0.1:65536"}, "invalid port '65536' for --listen: expected a number from 0 to 65535"},
        {{"--listen", "127.0.0.1:"}, "invalid port '' for --listen"},
        {{"--listen", ":10001"}, "invalid address '' for --listen"},
        {{"--pty", "--stdout"}, "choose one output: --tcp, --pty or --stdout"},
        {{"--tcp", "--pty"}, "choose one output"},
        {{"--pty", "--listen", "10002"}, "--listen applies to the TCP output only"},
        {{"--rate", "10", "--baud", "9600"}, "--rate and --baud cannot be combined"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseOptions(c.args);
        EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error) << "args: " << c.args[0];
        EXPECT_FALSE(parsed.help);
    }
}

TEST(SimOptions, HelpDescribesEveryOption)
{
    EXPECT_TRUE(parseOptions({"--help"}).help);
    EXPECT_TRUE(parseOptions({"--count", "5", "-h"}).help);

    // Every option the parser takes, with a value where it needs one.
    const std::vector<Args> accepted = {
        {"--tcp"}, {"--listen", "1"}, {"--pty"}, {"--stdout"}, {"--rate", "1"}, {"--baud", "9600"},
        {"--count", "1"}, {"--delay", "1"}, {"--hold"}, {"--tags", "1"}, {"--seed", "1"}, {"--debug", "1"}, {"--noise", "1"},
        {"--record", "f"}, {"--quiet"},
    };
    const std::string usage = usageText();
    for (const auto& args : accepted) {
        EXPECT_EQ(parseOptions(args).error, "") << args[0];
        EXPECT_NE(usage.find("  " + args[0]), std::string::npos) << args[0] << " is not described";
    }
    EXPECT_NE(usage.find("--help"), std::string::npos);
}

TEST(SimOptions, LoopbackIsAnyAddressIn127)
{
    for (const char* yes : {"127.0.0.1", "127.255.255.254", "127.0.0.0"})
        EXPECT_TRUE(isLoopback(yes)) << yes;
    for (const char* no : {"0.0.0.0", "10.0.0.1", "128.0.0.1", "1.127.0.0", "localhost", "", "::1"})
        EXPECT_FALSE(isLoopback(no)) << no;
}

}  // namespace
}  // namespace varno::sim
