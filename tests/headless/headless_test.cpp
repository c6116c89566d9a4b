// varno --headless as an operator's service runs it: the real executable
// against loopback servers, the simulator and pseudo-terminals, its events
// read from its standard error, its log from its folder.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"
#include "support/loopback_server.h"
#include "support/pty_pair.h"
#include "support/scratch_mount.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

using namespace std::chrono_literals;
using sim::testing::SimProcess;
namespace idc = app::idc;

// The log files of `folder`, by name.
std::vector<std::string> logFiles(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("VARNO_", 0) == 0 && entry.path().extension() == ".csv")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> lines(const std::string& bytes)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", from)) {
        out.push_back(bytes.substr(from, at - from));
        from = at + 2;
    }
    return out;
}

// The one log file of `folder`, once it holds `count` lines (header included).
std::vector<std::string> waitForLines(const std::string& folder, std::size_t count,
                                      std::chrono::milliseconds timeout = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> got;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto files = logFiles(folder);
        if (files.size() == 1) {
            got = lines(readBytes(files[0]));
            if (got.size() >= count)
                return got;
        }
        std::this_thread::sleep_for(20ms);
    }
    return got;
}

// The fields of a log line as a spreadsheet reads them.
std::vector<std::string> csvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else if (c == '"')
                quoted = false;
            else
                fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// A log line without its time columns (date, time, msec, t, dt): what the
// same frame gives whenever it is handled.
std::string withoutTimes(const std::string& line)
{
    const std::vector<std::string> fields = csvFields(line);
    std::string kept;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool time = (i >= 1 && i <= 3) || (fields.size() > 4 && (i == 6 || i == 7));
        kept += (time ? std::string("-") : fields[i]) + ";";
    }
    return kept;
}

// Lines of the simulator's record: all, and the whole frames (the others are
// frames that noise cut short, which reach no receiver).
struct Recorded {
    std::size_t all = 0, whole = 0;
};
Recorded recorded(const std::string& record)
{
    Recorded r;
    std::size_t from = 0;
    const std::string bytes = readBytes(record);
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', from)) {
        ++r.all;
        if (bytes[from] != '#')
            ++r.whole;
        from = at + 1;
    }
    return r;
}

// A free loopback port, nobody listening on it.
int freePort()
{
    const LoopbackServer gone;
    return gone.port();
}

class Headless {
public:
    explicit Headless(const std::vector<std::string>& args) : process(VARNO_PATH, withHeadless(args)) {}

    bool says(const std::string& event, std::chrono::milliseconds timeout = 20s)
    {
        return process.waitForError(event, timeout);
    }
    // SIGTERM, then the exit status.
    int stop()
    {
        process.signal(SIGTERM);
        return process.wait();
    }

    SimProcess process;

private:
    static std::vector<std::string> withHeadless(std::vector<std::string> args)
    {
        args.insert(args.begin(), "--headless");
        return args;
    }
};

// ---- The same stream through the window and headless ----

struct Mode {
    const char* name;
    bool raw;
    bool filter;
};

void PrintTo(const Mode& mode, std::ostream* os)
{
    *os << mode.name;
}

class SameLog : public WindowTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(SameLog, TheHeadlessLogIsTheWindowsApartFromItsTimes)
{
    const Mode mode = GetParam();
    constexpr int kFrames = 600;
    // Noise, every frame kind and length, and tags on both sides of the filter.
    TempDir records;
    const std::string record = records.file("record.txt");
    const std::vector<std::string> stream = {"--count", std::to_string(kFrames), "--rate", "0", "--noise", "20",
                                             "--tags",  "12", "--seed", "4", "--hold", "--record", record};
    auto sent = [&] { return recorded(record); };
    const std::string filter = "000000:7FFFFF";

    // The window, logging what the simulator sends it.
    TempDir windowDir;
    {
        std::vector<std::string> args = stream;
        args.insert(args.begin(), "--listen=127.0.0.1:0");
        SimProcess sim(args);
        const std::string where = sim.readLine();
        ASSERT_EQ(where.rfind("127.0.0.1:", 0), 0u) << sim.errors();
        window->workingDirectory = windowDir.path();
        window->portCombo->setEditText(QStringLiteral("TCP/IP"));
        window->tcpHostAddress = 0x7F000001;
        window->tcpPort = static_cast<std::uint32_t>(std::stoi(where.substr(10)));
        window->rawTextButton->setChecked(mode.raw);
        if (mode.filter) {
            window->filterLow = 0;
            window->filterHigh = 0x7FFFFF;
            window->button(idc::FilterOn)->setChecked(true);
        }
        window->button(idc::Log)->click();
        clickOpen();
        ASSERT_EQ(window->linkOpen, 1) << alerts.texts().join('|').toStdString();
        // Every whole frame the simulator sent reaches the window.
        ASSERT_TRUE(waitUntil([&] { return sent().whole == kFrames; }, 30000));
        const std::size_t whole = sent().whole;
        ASSERT_TRUE(waitUntil([&] { return window->frameHandOver->taken() >= static_cast<long long>(whole); }, 30000))
            << window->frameHandOver->taken() << " of " << whole;
        processEvents();
        clickOpen();
        EXPECT_EQ(sim.wait(), 0) << sim.errors();
    }

    // The same stream headless.
    TempDir headlessDir;
    {
        std::vector<std::string> args = stream;
        args.insert(args.begin(), "--listen=127.0.0.1:0");
        SimProcess sim(args);
        const std::string where = sim.readLine();
        ASSERT_EQ(where.rfind("127.0.0.1:", 0), 0u) << sim.errors();
        std::vector<std::string> options = {"--tcp", where, "--log-dir", headlessDir.path()};
        if (mode.raw)
            options.push_back("--raw");
        if (mode.filter)
            options.insert(options.end(), {"--filter", filter});
        Headless logger(options);
        ASSERT_TRUE(logger.says("connected")) << logger.process.errors();
        // Every frame sent, then asks how many the logger has taken.
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (sent().whole < kFrames && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        const std::string expected = "status frames=" + std::to_string(sent().whole) + " ";
        bool all = false;
        while (!all && std::chrono::steady_clock::now() < deadline) {
            logger.process.signal(SIGUSR1);
            all = logger.says(expected, 200ms);
        }
        EXPECT_TRUE(all) << logger.process.errors();
        EXPECT_EQ(logger.stop(), 0) << logger.process.errors();
        EXPECT_EQ(sim.wait(), 0) << sim.errors();
    }

    const auto windowFiles = logFiles(windowDir.path());
    const auto headlessFiles = logFiles(headlessDir.path());
    ASSERT_EQ(windowFiles.size(), 1u);
    ASSERT_EQ(headlessFiles.size(), 1u);
    const auto windowLines = lines(readBytes(windowFiles[0]));
    const auto headlessLines = lines(readBytes(headlessFiles[0]));
    ASSERT_GT(windowLines.size(), 100u);
    ASSERT_EQ(headlessLines.size(), windowLines.size());
    EXPECT_EQ(headlessLines[0], windowLines[0]);  // the header
    for (std::size_t i = 1; i < windowLines.size(); ++i)
        ASSERT_EQ(withoutTimes(headlessLines[i]), withoutTimes(windowLines[i])) << "line " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Headless, SameLog,
                         ::testing::Values(Mode{"decoded", false, false}, Mode{"raw", true, false},
                                           Mode{"filtered", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Keeping going ----

TEST(HeadlessRun, AServerThatLeavesIsFoundAgainAndTheLogGoesOnInTheSameFile)
{
    TempDir dir;
    LoopbackServer server;
    Headless logger({"--tcp", "127.0.0.1:" + std::to_string(server.port()), "--log-dir", dir.path()});
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(logger.says("connected 127.0.0.1:" + std::to_string(server.port())));
    ASSERT_TRUE(server.send("[960A1B2CABCD]\r\n[5A0A1B2CAB]\r\n"));
    ASSERT_EQ(waitForLines(dir.path(), 3).size(), 3u);

    server.closeClient();
    EXPECT_TRUE(logger.says("lost le serveur 127.0.0.1:" + std::to_string(server.port()) +
                            " a fermé la connexion; next try in 1 s"))
        << logger.process.errors();
    ASSERT_TRUE(server.accept(5000)) << "connected again after a pause";
    ASSERT_TRUE(server.send("[B40A1B2CABCD]\r\n"));
    const auto logged = waitForLines(dir.path(), 4);
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[3].substr(0, 15), "[B40A1B2CABCD];");
    EXPECT_EQ(logger.stop(), 0);
    EXPECT_EQ(logFiles(dir.path()).size(), 1u);
}

TEST(HeadlessRun, ARefusingServerIsTriedAgainWithGrowingPausesUntilItAnswers)
{
    TempDir dir;
    const int port = freePort();
    Headless logger({"--tcp", "127.0.0.1:" + std::to_string(port), "--log-dir", dir.path()});
    const std::string refused = "unreachable aucun serveur n'écoute sur 127.0.0.1:" + std::to_string(port);
    ASSERT_TRUE(logger.says(refused + "; next try in 1 s")) << logger.process.errors();
    ASSERT_TRUE(logger.says(refused + "; next try in 2 s")) << logger.process.errors();

    // The server comes: the next try finds it.
    SimProcess sim({"--listen=127.0.0.1:" + std::to_string(port), "--count", "5", "--rate", "0", "--hold"});
    ASSERT_EQ(sim.readLine(), "127.0.0.1:" + std::to_string(port)) << sim.errors();
    ASSERT_TRUE(logger.says("connected 127.0.0.1:" + std::to_string(port), 10s)) << logger.process.errors();
    EXPECT_EQ(waitForLines(dir.path(), 6).size(), 6u);
    EXPECT_EQ(logger.stop(), 0);
}

TEST(HeadlessRun, ASerialDeviceThatComesBackIsOpenedAgain)
{
    TempDir dir;
    TempDir logs;
    const std::string device = dir.file("ttyUSB0");  // a link, as udev makes them
    auto pointAt = [&](const std::string& target) {
        const std::string fresh = dir.file("ttyUSB0.new");
        std::filesystem::create_symlink(target, fresh);
        std::filesystem::rename(fresh, device);
    };
    auto first = std::make_unique<PtyPair>();
    ASSERT_TRUE(first->ok());
    pointAt(first->path);
    Headless logger({"--serial", device, "--baud", "38400", "--log-dir", logs.path()});
    ASSERT_TRUE(logger.says("opened " + device + " 38400")) << logger.process.errors();
    ASSERT_TRUE(first->write("[960A1B2CABCD]\r\n"));
    ASSERT_EQ(waitForLines(logs.path(), 2).size(), 2u);

    // Pulled out: the master goes, the device with it.
    first->closeMaster();
    ASSERT_TRUE(logger.says("lost " + device + " ne répond plus")) << logger.process.errors();
    first.reset();

    // Plugged in again, as another terminal behind the same name.
    PtyPair second;
    ASSERT_TRUE(second.ok());
    pointAt(second.path);
    ASSERT_TRUE(logger.says("opened " + device + " 38400", 10s)) << logger.process.errors();
    ASSERT_TRUE(second.write("[5A0A1B2CABCD]\r\n"));
    const auto logged = waitForLines(logs.path(), 3);
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[2].substr(0, 15), "[5A0A1B2CABCD];");
    EXPECT_EQ(logger.stop(), 0);
}

// ---- Stopping ----

TEST(HeadlessRun, SigtermDuringAFastStreamLogsEveryFrameReadAndOnlyWholeLines)
{
    TempDir dir;
    const std::string record = dir.file("record.txt");
    TempDir logs;
    SimProcess sim({"--listen=127.0.0.1:0", "--rate", "0", "--record", record, "--quiet"});
    const std::string where = sim.readLine();
    ASSERT_EQ(where.rfind("127.0.0.1:", 0), 0u) << sim.errors();
    Headless logger({"--tcp", where, "--log-dir", logs.path()});
    ASSERT_TRUE(logger.says("connected")) << logger.process.errors();
    ASSERT_GE(waitForLines(logs.path(), 20000).size(), 20000u);
    EXPECT_EQ(logger.stop(), 0) << logger.process.errors();
    EXPECT_TRUE(logger.says("stopped frames="));
    sim.signal(SIGTERM);
    sim.wait();

    const auto files = logFiles(logs.path());
    ASSERT_EQ(files.size(), 1u);
    const std::string bytes = readBytes(files[0]);
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "the file ends after a whole line";
    const auto logged = lines(bytes);
    // In the order sent, from the first frame on, none missing: the frames the
    // logger read before it stopped are all there.
    const std::string sent = readBytes(record);
    std::size_t from = 0;
    std::size_t compared = 0;
    for (std::size_t i = 1; i < logged.size(); ++i) {
        const std::size_t end = sent.find('\n', from);
        ASSERT_NE(end, std::string::npos) << "more lines logged than frames sent";
        std::string frame = sent.substr(from, end - from);
        from = end + 1;
        if (!frame.empty() && frame[0] == '#') {
            --i;  // cut short by noise: no receiver sees it whole
            continue;
        }
        frame = frame.substr(4, frame.find('\t') - 4);  // "351 <text>\t<time>"
        ASSERT_EQ(logged[i].substr(0, frame.size() + 3), "[" + frame + "];") << "line " << i + 1;
        ++compared;
    }
    EXPECT_GE(compared, 20000u);
}

TEST(HeadlessRun, SigusrAsksForAStatusLine)
{
    TempDir dir;
    LoopbackServer server;
    Headless logger({"--tcp", "127.0.0.1:" + std::to_string(server.port()), "--log-dir", dir.path()});
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(logger.says("connected"));
    ASSERT_TRUE(server.send("[960A1B2CABCD]\r\n[960A1B2CABCD]\r\n[960A1B2CABCD]\r\n"));
    ASSERT_EQ(waitForLines(dir.path(), 4).size(), 4u);
    logger.process.signal(SIGUSR1);
    EXPECT_TRUE(logger.says("status frames=3 fps=")) << logger.process.errors();
    EXPECT_TRUE(logger.says(" log=" + logFiles(dir.path()).at(0))) << logger.process.errors();
    EXPECT_EQ(logger.stop(), 0);
}

TEST(HeadlessRun, ALogThatCannotBeWrittenEndsTheRunWithStatusThree)
{
    TempDir dir;
    const std::string full = dir.file("full");
    std::filesystem::create_directory(full);
    ScratchTmpfs tmpfs;
    if (!tmpfs.mount(full, 16384, false))
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    // The mount is this test's own; the child inherits the namespace.
    SimProcess sim({"--listen=127.0.0.1:0", "--rate", "0", "--quiet"});
    const std::string where = sim.readLine();
    Headless logger({"--tcp", where, "--log-dir", full});
    EXPECT_EQ(logger.process.wait(), 3) << logger.process.errors();
    EXPECT_NE(logger.process.errors().find("failed Impossible d'écrire dans le fichier Log"), std::string::npos)
        << logger.process.errors();
    EXPECT_NE(logger.process.errors().find("aucun espace libre sur le disque"), std::string::npos);
    const auto files = logFiles(full);
    ASSERT_EQ(files.size(), 1u);
    const std::string bytes = readBytes(files[0]);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "nothing half written";
    sim.signal(SIGTERM);
}

TEST(HeadlessRun, ALogThatCannotBeOpenedEndsTheRunWithStatusThree)
{
    TempDir dir;
    const std::string readOnly = dir.file("read-only");
    std::filesystem::create_directory(readOnly);
    ScratchTmpfs tmpfs;
    if (!tmpfs.mount(readOnly, 4096, true))
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    SimProcess varno(VARNO_PATH, {"--headless", "--tcp", "127.0.0.1:1", "--log-dir", readOnly});
    EXPECT_EQ(varno.wait(), 3) << varno.errors();
    EXPECT_NE(varno.errors().find("failed Impossible d'ouvrir le fichier Log: " + readOnly + "/VARNO_"),
              std::string::npos)
        << varno.errors();
    EXPECT_NE(varno.errors().find("système de fichiers en lecture seule"), std::string::npos) << varno.errors();
}

TEST(HeadlessCommandLine, BadArgumentsAreRefusedWithAMessageAndStatusTwo)
{
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--headless"}, "--headless reads exactly one source: --serial DEVICE or --tcp HOST:PORT."},
        {{"--headless", "--serial", "/dev/ttyUSB0", "--tcp", "127.0.0.1:1"},
         "--headless reads exactly one source: --serial DEVICE or --tcp HOST:PORT."},
        {{"--headless", "--serial", "/dev/ttyUSB0", "--baud", "57600"},
         "the rate '57600' is not one of 9600, 19200, 38400 and 115200."},
        {{"--headless", "--tcp", "127.0.0.1:1", "--baud", "9600"}, "--baud goes with --serial."},
        {{"--headless", "--tcp", "127.0.0.1"}, "the server '127.0.0.1' is not HOST:PORT."},
        {{"--headless", "--tcp", "127.0.0.1:99999"}, "the port of '127.0.0.1:99999' is not a number from 1 to 65535."},
        {{"--headless", "--tcp", "127.0.0.1:1", "--filter", "1:2"},
         "the bounds of '1:2' are not six hexadecimal digits each."},
        {{"--headless", "--tcp", "127.0.0.1:1", "--filter", "FFFFFF:000000"},
         "the filter 'FFFFFF:000000' has its low bound above its high bound."},
        {{"--headless", "--tcp", "127.0.0.1:1", "--log-dir", dir.file("missing")},
         "does not exist or is not a folder."},
        {{"--serial", "/dev/ttyUSB0"}, "--serial goes with --headless."},
        {{"--raw"}, "--raw goes with --headless."},
        {{"--headless", "--tcp"}, "Missing value after '--tcp'."},
        {{"--headless", "--tcp", "127.0.0.1:1", "extra"}, "Unexpected argument 'extra'."},
    };
    for (const auto& c : cases) {
        SimProcess varno(VARNO_PATH, c.args);
        EXPECT_EQ(varno.wait(), 2) << c.message;
        EXPECT_NE(varno.errors().find(c.message), std::string::npos) << varno.errors();
        EXPECT_NE(varno.errors().find("Try 'varno --help'"), std::string::npos) << varno.errors();
    }
}

TEST(HeadlessCommandLine, HelpListsTheOptionsAndTheExitStatuses)
{
    SimProcess varno(VARNO_PATH, {"--help"});
    const std::string help = varno.readAll();
    EXPECT_EQ(varno.wait(), 0);
    for (const char* text : {"--headless", "--serial <DEVICE>", "--baud <RATE>", "--tcp <HOST:PORT>", "--raw",
                             "--filter <LO:HI>", "--log-dir <DIR>", "Exit status: 0", "3 when a headless run"})
        EXPECT_NE(help.find(text), std::string::npos) << text;
}

TEST(HeadlessCommandLine, NoDisplayIsNeeded)
{
    // Nothing a window could be shown on.
    TempDir dir;
    const std::string platform = qEnvironmentVariable("QT_QPA_PLATFORM").toStdString();
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    SimProcess varno(VARNO_PATH, {"--headless", "--tcp", "127.0.0.1:1", "--log-dir", dir.path()});
    ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    EXPECT_TRUE(varno.waitForError("started tcp 127.0.0.1:1")) << varno.errors();
    varno.signal(SIGINT);
    EXPECT_EQ(varno.wait(), 0) << varno.errors();
    EXPECT_NE(varno.errors().find("stopping SIGINT"), std::string::npos);
}

}  // namespace
}  // namespace varno::testing
