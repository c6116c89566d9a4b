// The varno-sim executable, run as a user runs it, against a reader that cuts
// what it receives with VARNO's own frame assembler.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "link/frame_assembler.h"
#include "sim/generator.h"
#include "sim_process.h"

namespace varno::sim {
namespace {

using testing::SimProcess;

std::vector<Frame> assemble(std::string_view bytes)
{
    link::FrameAssembler assembler;
    std::vector<Frame> frames;
    assembler.feed(bytes, {}, [&](int kind, std::unique_ptr<link::FrameEvent> event) {
        frames.push_back({kind, event->text});
    });
    return frames;
}

struct RecordFile {
    std::vector<Frame> frames;
    std::vector<std::string> sent;  // each frame's send time
    int truncated = 0;
};

RecordFile readRecord(const std::string& path)
{
    RecordFile record;
    std::ifstream in(path);
    std::string line;
    Frame frame;
    std::string sent;
    while (std::getline(in, line)) {
        if (parseRecordLine(line, frame, &sent)) {
            record.frames.push_back(frame);
            record.sent.push_back(sent);
        }
        else if (line.starts_with("# truncated ["))
            ++record.truncated;
        else
            ADD_FAILURE() << "unexpected record line: " << line;
    }
    return record;
}

std::vector<Unit> units(const GeneratorSettings& settings, std::size_t count)
{
    Generator generator(settings);
    std::vector<Unit> result;
    for (std::size_t i = 0; i < count; ++i)
        result.push_back(generator.next());
    return result;
}

std::vector<Frame> framesOf(const std::vector<Unit>& units)
{
    std::vector<Frame> frames;
    for (const auto& u : units)
        frames.push_back(u.frame);
    return frames;
}

std::string tempPath(const std::string& name)
{
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + "varno_sim_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_"
           + name;
}

int portOf(const std::string& where)
{
    EXPECT_TRUE(where.starts_with("127.0.0.1:")) << where;
    return where.starts_with("127.0.0.1:") ? std::stoi(where.substr(10)) : -1;
}

// Frames received by a reader until it has `n` of them.
auto framesAtLeast(std::size_t n)
{
    return [n](const std::string& bytes) { return assemble(bytes).size() >= n; };
}

bool startsWith(const std::vector<Frame>& all, const std::vector<Frame>& part)
{
    return part.size() <= all.size() && std::equal(part.begin(), part.end(), all.begin());
}

bool endsWith(const std::vector<Frame>& all, const std::vector<Frame>& part)
{
    return part.size() <= all.size() && std::equal(part.rbegin(), part.rend(), all.rbegin());
}

// The record is the generator's stream less at most one frame, cut off when the
// first reader went away.
void expectStreamLessOneAtMost(const std::vector<Frame>& record, const GeneratorSettings& settings)
{
    const std::vector<Frame> stream = framesOf(units(settings, record.size() + 1));
    std::size_t same = 0;
    while (same < record.size() && record[same] == stream[same])
        ++same;
    if (same == record.size())
        return;
    EXPECT_TRUE(std::equal(record.begin() + static_cast<long>(same), record.end(),
                           stream.begin() + static_cast<long>(same) + 1))
        << "the record leaves the stream at frame " << same;
}

std::vector<std::string> args(std::initializer_list<std::string> list) { return list; }

// Milliseconds since 1970 of a record's send time ("dd/mm/yyyy hh:mm:ss.mmm",
// local time); -1 when it does not read so.
std::int64_t sentMillis(const std::string& text)
{
    std::tm tm{};
    int millis = -1;
    if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d.%3d", &tm.tm_mday, &tm.tm_mon, &tm.tm_year, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &millis)
            != 7
        || text.size() != 23)
        return -1;
    tm.tm_mon -= 1;
    tm.tm_year -= 1900;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm)) * 1000 + millis;
}

std::int64_t nowMillis()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

TEST(VarnoSim, TheRecordTellsWhenEachFrameWentOut)
{
    const std::string record = tempPath("times.txt");
    SimProcess sim(args({"--listen", "127.0.0.1:0", "--count", "60", "--rate", "200", "--record", record, "--quiet"}));
    const int port = portOf(sim.readLine());
    ASSERT_GT(port, 0) << sim.errors();
    const std::int64_t connected = nowMillis();
    const int client = testing::connectLoopback(port);
    ASSERT_GE(client, 0);
    const std::string received = testing::readUntilEnd(client);
    const std::int64_t ended = nowMillis();
    ::close(client);
    ASSERT_EQ(sim.wait(), 0) << sim.errors();

    const RecordFile recorded = readRecord(record);
    ASSERT_EQ(recorded.frames.size(), 60u);
    EXPECT_EQ(assemble(received), recorded.frames);
    std::int64_t previous = connected;  // nothing goes out before a reader is there
    for (const std::string& text : recorded.sent) {
        const std::int64_t sent = sentMillis(text);
        ASSERT_GE(sent, previous) << text;
        EXPECT_LE(sent, ended) << text;
        previous = sent;
    }
    // 200 frames a second: the first and the last are some 295 ms apart.
    const std::int64_t span = sentMillis(recorded.sent.back()) - sentMillis(recorded.sent.front());
    EXPECT_GE(span, 250);
    EXPECT_LE(span, 5000);
    std::remove(record.c_str());
}

TEST(VarnoSim, TcpClientReceivesExactlyTheRecordedFramesThenTheSimExitsZero)
{
    for (unsigned noise : {0u, 40u}) {
        SCOPED_TRACE(noise);
        const std::string record = tempPath("tcp.txt");
        const GeneratorSettings settings{7, 42, 20, noise};
        SimProcess sim(args({"--listen", "127.0.0.1:0", "--count", "400", "--rate", "0", "--tags", "7", "--seed",
                             "42", "--debug", "20", "--noise", std::to_string(noise), "--record", record, "--quiet"}));
        const int port = portOf(sim.readLine());
        ASSERT_GT(port, 0) << sim.errors();
        const int client = testing::connectLoopback(port);
        ASSERT_GE(client, 0);
        const std::string received = testing::readUntilEnd(client);
        ::close(client);
        ASSERT_EQ(sim.wait(), 0) << sim.errors();

        const RecordFile recorded = readRecord(record);
        const std::vector<Unit> sent = units(settings, 400);
        EXPECT_EQ(recorded.frames, framesOf(sent));
        EXPECT_EQ(assemble(received), recorded.frames);
        EXPECT_EQ(recorded.truncated,
                  std::count_if(sent.begin(), sent.end(), [](const Unit& u) { return !u.truncated.empty(); }));
        if (noise > 0) {
            EXPECT_GT(recorded.truncated, 0);
        }
        std::remove(record.c_str());
    }
}

TEST(VarnoSim, TcpServesANewClientAfterOneDisconnects)
{
    const std::string record = tempPath("reconnect.txt");
    SimProcess sim(args({"--listen", "127.0.0.1:0", "--rate", "1000", "--noise", "30", "--debug", "20", "--record",
                         record}));
    const int port = portOf(sim.readLine());
    ASSERT_GT(port, 0) << sim.errors();

    const int first = testing::connectLoopback(port);
    ASSERT_GE(first, 0);
    const std::vector<Frame> firstFrames = assemble(testing::readUntil(first, framesAtLeast(20)));
    ::close(first);  // unread bytes: the simulator sees a reset
    ASSERT_TRUE(sim.waitForError("disconnected")) << sim.errors();

    const int second = testing::connectLoopback(port);
    ASSERT_GE(second, 0);
    std::string secondBytes = testing::readUntil(second, framesAtLeast(20));
    sim.signal(SIGTERM);
    secondBytes += testing::readUntilEnd(second);
    ::close(second);
    ASSERT_EQ(sim.wait(), 0) << sim.errors();

    const std::vector<Frame> secondFrames = assemble(secondBytes);
    const RecordFile recorded = readRecord(record);
    EXPECT_GE(firstFrames.size(), 20u);
    EXPECT_GE(secondFrames.size(), 20u);
    EXPECT_TRUE(startsWith(recorded.frames, firstFrames));
    // Everything handed to the second client reached it before the close.
    EXPECT_TRUE(endsWith(recorded.frames, secondFrames));
    EXPECT_LE(firstFrames.size() + secondFrames.size(), recorded.frames.size());
    expectStreamLessOneAtMost(recorded.frames, GeneratorSettings{5, 1, 20, 30});
    std::remove(record.c_str());
}

TEST(VarnoSim, PtyReaderReceivesTheRecordedFramesAcrossReopening)
{
    const std::string record = tempPath("pty.txt");
    const GeneratorSettings settings{4, 9, 10, 30};
    SimProcess sim(args({"--pty", "--count", "1000", "--rate", "1000", "--tags", "4", "--seed", "9", "--debug",
                         "10", "--noise", "30", "--record", record}));
    const std::string path = sim.readLine();
    ASSERT_TRUE(path.starts_with("/dev/")) << path << sim.errors();

    // The first reader takes a few frames and closes the port.
    const int first = ::open(path.c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(first, 0);
    const std::vector<Frame> firstFrames = assemble(testing::readUntil(first, framesAtLeast(20)));
    ::close(first);
    ASSERT_TRUE(sim.waitForError("reader closed")) << sim.errors();

    // The second reads on to the end.
    const int second = ::open(path.c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(second, 0);
    const std::vector<Frame> secondFrames = assemble(testing::readUntilEnd(second));
    ::close(second);
    ASSERT_EQ(sim.wait(), 0) << sim.errors();

    const RecordFile recorded = readRecord(record);
    EXPECT_EQ(recorded.frames.size(), 1000u);
    EXPECT_GE(firstFrames.size(), 20u);
    EXPECT_TRUE(startsWith(recorded.frames, firstFrames));
    EXPECT_TRUE(endsWith(recorded.frames, secondFrames));
    EXPECT_GT(secondFrames.size(), 500u);
    expectStreamLessOneAtMost(recorded.frames, settings);
    std::remove(record.c_str());
}

TEST(VarnoSim, StdoutCarriesTheRecordedFrames)
{
    const std::string record = tempPath("stdout.txt");
    // A delay before the first frame changes nothing in what is sent.
    SimProcess sim(args({"--stdout", "--count", "500", "--rate", "0", "--delay", "0.1", "--seed", "3", "--noise",
                         "50", "--record", record}));
    const std::string received = sim.readAll();
    ASSERT_EQ(sim.wait(), 0) << sim.errors();
    const RecordFile recorded = readRecord(record);
    EXPECT_EQ(recorded.frames, framesOf(units({5, 3, 5, 50}, 500)));
    EXPECT_EQ(assemble(received), recorded.frames);
    std::remove(record.c_str());
}

TEST(VarnoSim, AReaderThatClosesStdoutEndsTheRunWithoutASignal)
{
    SimProcess sim(args({"--stdout", "--rate", "0", "--quiet"}));
    EXPECT_NE(sim.readLine(), "");  // the stream flows
    sim.closeOutput();
    EXPECT_EQ(sim.wait(), 0) << sim.errors();  // -1 when SIGPIPE killed it
}

TEST(VarnoSim, FailuresExitNonZeroWithAMessage)
{
    {
        SimProcess holder(args({"--listen", "127.0.0.1:0", "--quiet"}));
        const std::string where = holder.readLine();
        ASSERT_GT(portOf(where), 0);
        SimProcess second(args({"--listen", where}));
        EXPECT_EQ(second.wait(), 1);
        EXPECT_NE(second.errors().find("cannot listen on " + where), std::string::npos) << second.errors();
        // A stop while waiting for a client is a normal end.
        holder.signal(SIGTERM);
        EXPECT_EQ(holder.wait(), 0) << holder.errors();
    }
    {
        SimProcess sim(args({"--stdout", "--record", "/nonexistent-dir/record.txt"}));
        EXPECT_EQ(sim.wait(), 1);
        EXPECT_NE(sim.errors().find("cannot write the record /nonexistent-dir/record.txt"), std::string::npos)
            << sim.errors();
    }
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> usage = {
        {{"--listen", "10.1.2.3:10001"}, "refusing to listen on 10.1.2.3"},
        {{"--count"}, "option '--count' needs a value"},
        {{"--bogus"}, "unknown option '--bogus'"},
    };
    for (const auto& c : usage) {
        SimProcess sim(c.args);
        EXPECT_EQ(sim.wait(), 2) << c.args[0];
        EXPECT_NE(sim.errors().find("varno-sim: " + c.message), std::string::npos) << sim.errors();
        EXPECT_NE(sim.errors().find("--help"), std::string::npos) << sim.errors();
        EXPECT_EQ(sim.readAll(), "") << "nothing on standard output";
    }
    SimProcess help(args({"--help"}));
    EXPECT_NE(help.readAll().find("Usage: varno-sim"), std::string::npos);
    EXPECT_EQ(help.wait(), 0);
}

}  // namespace
}  // namespace varno::sim
