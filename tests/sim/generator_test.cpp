#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "decode/frame_fields.h"
#include "link/frame_assembler.h"
#include "sim/generator.h"
#include "sim/streamer.h"

namespace varno::sim {
namespace {

std::vector<Frame> assemble(link::FrameAssembler& assembler, std::string_view bytes)
{
    std::vector<Frame> frames;
    assembler.feed(bytes, {}, [&](int kind, std::unique_ptr<link::FrameEvent> event) {
        frames.push_back({kind, event->text});
    });
    return frames;
}

struct Stream {
    std::string bytes;
    std::vector<Frame> frames;
    std::vector<Unit> units;
};

Stream generate(const GeneratorSettings& settings, int units)
{
    Stream stream;
    Generator generator(settings);
    for (int i = 0; i < units; ++i) {
        Unit unit = generator.next();
        stream.bytes += unit.bytes;
        stream.frames.push_back(unit.frame);
        stream.units.push_back(std::move(unit));
    }
    return stream;
}

const std::vector<GeneratorSettings> kSettings = {
    // tags, seed, debug %, noise %
    {5, 1, 5, 0},
    {5, 1, 5, 30},
    {1, 2, 50, 100},  // one tag: debug lines still have a 6-digit tag to name
    {40, 3, 20, 50},
    {3, 4, 100, 100},  // debug lines after every kind of noise
    {1000, 5, 0, 100},
};

TEST(SimGenerator, AssemblerYieldsExactlyTheFramesSent)
{
    for (const auto& s : kSettings) {
        SCOPED_TRACE(testing::Message() << "tags " << s.tags << " seed " << s.seed << " debug " << s.debugPercent
                                        << " noise " << s.noisePercent);
        const Stream stream = generate(s, 3000);

        link::FrameAssembler whole;
        EXPECT_EQ(assemble(whole, stream.bytes), stream.frames);

        // As the TCP link receives it: blocks of 32 bytes.
        link::FrameAssembler blocks;
        std::vector<Frame> fromBlocks;
        for (std::size_t at = 0; at < stream.bytes.size(); at += 32) {
            auto part = assemble(blocks, std::string_view(stream.bytes).substr(at, 32));
            fromBlocks.insert(fromBlocks.end(), part.begin(), part.end());
        }
        EXPECT_EQ(fromBlocks, stream.frames);

        // As a serial port delivers it: whatever was queued, from one byte up.
        std::mt19937 cuts(static_cast<unsigned>(s.seed));
        link::FrameAssembler pieces;
        std::vector<Frame> fromPieces;
        for (std::size_t at = 0; at < stream.bytes.size();) {
            const std::size_t size = 1 + cuts() % 40;
            auto part = assemble(pieces, std::string_view(stream.bytes).substr(at, size));
            fromPieces.insert(fromPieces.end(), part.begin(), part.end());
            at += size;
        }
        EXPECT_EQ(fromPieces, stream.frames);
    }
}

TEST(SimGenerator, EachUnitStartsCleanWhereverTheReaderJoins)
{
    // A new TCP client or a reader that opens the port late starts with a fresh
    // assembler at a unit boundary: the frames from there on are still exact.
    const Stream stream = generate({6, 9, 30, 60}, 2000);
    for (std::size_t first = 0; first < stream.units.size(); first += 97) {
        std::string rest;
        for (std::size_t i = first; i < stream.units.size(); ++i)
            rest += stream.units[i].bytes;
        link::FrameAssembler fresh;
        const std::vector<Frame> expected(stream.frames.begin() + static_cast<long>(first), stream.frames.end());
        EXPECT_EQ(assemble(fresh, rest), expected) << "joining at unit " << first;
    }
}

TEST(SimGenerator, FrameEndsWhereTheUnitSaysAndTheLineBreakFollows)
{
    for (const auto& s : kSettings) {
        for (const Unit& unit : generate(s, 500).units) {
            const std::string_view bytes = unit.bytes;
            ASSERT_EQ(bytes.substr(unit.frameEnd), "\r\n");
            const std::string_view frame = bytes.substr(0, unit.frameEnd);
            if (unit.frame.kind == kReaderFrame)
                EXPECT_TRUE(frame.ends_with('[' + unit.frame.text + ']')) << unit.bytes;
            else
                EXPECT_TRUE(frame.ends_with(unit.frame.text)) << unit.bytes;
        }
    }
}

TEST(SimGenerator, NoiseIsThereWhenAskedAndOnlyThen)
{
    int truncated = 0, blankLines = 0, strayBytes = 0, highBytes = 0;
    for (const Unit& unit : generate({5, 11, 5, 100}, 3000).units) {
        const std::string frameBytes = unit.frame.kind == kReaderFrame ? '[' + unit.frame.text + ']' : unit.frame.text;
        const std::string noise = unit.bytes.substr(0, unit.frameEnd - frameBytes.size());
        ASSERT_FALSE(noise.empty()) << unit.bytes;
        if (!unit.truncated.empty()) {
            ++truncated;
            EXPECT_EQ(noise.substr(0, unit.truncated.size()), unit.truncated);
            EXPECT_EQ(unit.frame.kind, kReaderFrame) << "a debug line after a cut frame would be swallowed";
        } else {
            EXPECT_EQ(noise.find_first_of("[]+-"), std::string::npos) << noise;
            if (noise.starts_with("\r\n"))
                ++blankLines;
            else
                ++strayBytes;
            highBytes += std::count_if(noise.begin(), noise.end(), [](char c) { return (c & 0x80) != 0; });
        }
    }
    EXPECT_GT(truncated, 500);
    EXPECT_GT(blankLines, 500);
    EXPECT_GT(strayBytes, 500);
    EXPECT_GT(highBytes, 100);

    for (const Unit& unit : generate({5, 11, 5, 0}, 3000).units) {
        const std::string frameBytes = unit.frame.kind == kReaderFrame ? '[' + unit.frame.text + ']' : unit.frame.text;
        EXPECT_EQ(unit.bytes, frameBytes + "\r\n");
    }
}

TEST(SimGenerator, SameSettingsSameStream)
{
    for (const auto& s : kSettings) {
        EXPECT_EQ(generate(s, 500).bytes, generate(s, 500).bytes);
        GeneratorSettings other = s;
        ++other.seed;
        EXPECT_NE(generate(other, 500).bytes, generate(s, 500).bytes);
    }
}

bool isHex(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

TEST(SimGenerator, StreamLooksLikeAReader)
{
    GeneratorSettings settings;  // the defaults: 5 tags, 5 % debug lines
    Generator generator(settings);
    std::set<std::string> tagIds, readerIds;
    for (const Tag& tag : generator.tags())
        tagIds.insert(tag.id);
    readerIds.insert(generator.readers().begin(), generator.readers().end());

    std::map<std::size_t, int> readerLengths;  // bracketed length: count
    std::map<std::string, int> tagsSeen;
    int debug = 0, above = 0, below = 0, inside = 0, readings = 0;
    auto value = [&](int v) {
        ++readings;
        if (v > 180)
            ++above;
        else if (v < 120)
            ++below;
        else
            ++inside;
    };
    const int total = 20000;
    for (int i = 0; i < total; ++i) {
        const Frame frame = generator.next().frame;
        const std::string bracketed = '[' + frame.text + ']';
        if (frame.kind == kDebugFrame) {
            ++debug;
            ASSERT_EQ(frame.text.size(), 16u) << frame.text;
            ASSERT_TRUE(decode::holdsSign(bracketed));
            const auto fields = decode::cutDebugFrame(bracketed);
            EXPECT_TRUE(isHex(fields.p1Text) && isHex(fields.p2Text) && isHex(fields.dpText.substr(1))) << frame.text;
            EXPECT_EQ(frame.text[2], ' ');
            EXPECT_EQ(frame.text[5], ' ');
            EXPECT_EQ(frame.text[9], ' ');
            const int dp = std::stoi(fields.dpText.substr(1), nullptr, 16);
            EXPECT_EQ(fields.dpText[0] == '-' ? -dp : dp, fields.p1Value - fields.p2Value) << frame.text;
            EXPECT_EQ(fields.tagId.size(), 6u);
            EXPECT_TRUE(tagIds.count(fields.tagId)) << frame.text;
            ++tagsSeen[fields.tagId];
            value(fields.p1Value);
            value(fields.p2Value);
        } else {
            ASSERT_FALSE(decode::holdsSign(bracketed)) << frame.text;
            const auto fields = decode::cutReaderFrame(bracketed);
            ASSERT_TRUE(fields) << frame.text;
            ++readerLengths[bracketed.size()];
            EXPECT_TRUE(isHex(frame.text)) << frame.text;
            EXPECT_TRUE(tagIds.count(fields->tagId)) << frame.text;
            EXPECT_TRUE(readerIds.count(fields->readerId)) << frame.text;
            ++tagsSeen[fields->tagId];
            value(fields->p1Value);
        }
    }
    EXPECT_GT(readerLengths[14], total / 10);
    EXPECT_GT(readerLengths[12], total / 10);
    EXPECT_GT(readerLengths[10], total / 10);
    EXPECT_NEAR(debug, total * 5 / 100, total / 100);
    EXPECT_EQ(tagsSeen.size(), tagIds.size()) << "every tag is heard";
    // Mostly inside the default plotting limits, with excursions past the
    // default trigger and below the floor now and then.
    EXPECT_GT(inside, readings * 7 / 10);
    EXPECT_GT(above, readings / 100);
    EXPECT_GT(below, readings / 100);

    std::set<std::size_t> tagLengths, readerIdLengths;
    for (const auto& id : tagIds)
        tagLengths.insert(id.size());
    for (const auto& id : readerIds)
        readerIdLengths.insert(id.size());
    EXPECT_EQ(tagLengths, (std::set<std::size_t>{4, 6}));
    EXPECT_EQ(readerIdLengths, (std::set<std::size_t>{2, 4}));
}

TEST(SimRecord, LinesRoundTrip)
{
    // 2026-12-08 20:13:49.045 UTC: whatever the local zone, the milliseconds stay.
    const std::int64_t sentAt = 1'796'760'829'045;
    for (const Frame& frame : {Frame{kReaderFrame, "5A0A1B2CABCD"}, Frame{kDebugFrame, "5A 3C +1E 0A1B2C"}}) {
        Frame parsed;
        std::string sent = "stale";
        ASSERT_TRUE(parseRecordLine(recordLine(frame), parsed, &sent));
        EXPECT_EQ(parsed, frame);
        EXPECT_EQ(sent, "");
        ASSERT_TRUE(parseRecordLine(recordLine(frame, sentAt), parsed, &sent));
        EXPECT_EQ(parsed, frame) << "the send time is a column of its own";
        EXPECT_EQ(sent, sendTimeText(sentAt));
        ASSERT_EQ(sent.size(), 23u) << sent;
        EXPECT_EQ(sent.substr(2, 1) + sent.substr(5, 1) + sent.substr(10, 1) + sent.substr(13, 1) + sent.substr(16, 1)
                      + sent.substr(19), "// ::.045")
            << sent;
    }
    EXPECT_EQ(recordLine({kDebugFrame, "5A 3C -1E 0A1B2C"}), "352 5A 3C -1E 0A1B2C");
    EXPECT_EQ(recordLine({kReaderFrame, "5A0A1B2CABCD"}, sentAt), "351 5A0A1B2CABCD\t" + sendTimeText(sentAt));
    Frame unused;
    for (const char* line : {"# truncated [5A0A", "", "353 x", "351"})
        EXPECT_FALSE(parseRecordLine(line, unused)) << line;
}

TEST(SimPacer, SpacesUnitsByRateOrByLineSpeed)
{
    const auto start = Clock::time_point{} + std::chrono::hours(1);
    auto seconds = [&](const Pacer& p) { return std::chrono::duration<double>(p.due() - start).count(); };

    Pacer byRate(820, 0);
    byRate.restart(start);
    EXPECT_DOUBLE_EQ(seconds(byRate), 0);
    for (int i = 0; i < 820; ++i)
        byRate.queued(i % 2 ? 16 : 30);  // the size of a unit does not matter
    EXPECT_NEAR(seconds(byRate), 1.0, 1e-6);

    Pacer byLine(0, 9600);  // 960 bytes a second
    byLine.restart(start);
    byLine.queued(16);
    EXPECT_NEAR(seconds(byLine), 16 / 960.0, 1e-9);
    byLine.queued(944);
    EXPECT_NEAR(seconds(byLine), 1.0, 1e-6);

    Pacer unpaced(0, 0);
    EXPECT_TRUE(unpaced.unpaced());
    EXPECT_FALSE(byRate.unpaced() || byLine.unpaced());
}

}  // namespace
}  // namespace varno::sim
