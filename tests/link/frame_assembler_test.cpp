#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "link/frame_assembler.h"

namespace varno::link {
namespace {

using Events = std::vector<std::pair<int, std::string>>;
constexpr int R = FRAME_KIND_READER;
constexpr int D = FRAME_KIND_DEBUG;

Events feedPieces(FrameAssembler& assembler, const std::vector<std::string_view>& pieces)
{
    Events events;
    for (auto piece : pieces)
        assembler.feed(piece, {}, [&](int kind, std::unique_ptr<FrameEvent> e) { events.emplace_back(kind, e->text); });
    return events;
}

Events feedAll(std::string_view stream)
{
    FrameAssembler assembler;
    return feedPieces(assembler, {stream});
}

struct StreamCase {
    const char* name;
    std::string stream;
    Events expected;
};

std::string bytes(std::initializer_list<char> list) { return std::string(list); }

const std::vector<StreamCase>& streamCases()
{
    static const std::vector<StreamCase> cases = {
        {"reader frames of the three lengths",
         "[5A0A1B2CABCD][5A0A1B2CAB][5A0A1BAB]",
         {{R, "5A0A1B2CABCD"}, {R, "5A0A1B2CAB"}, {R, "5A0A1BAB"}}},
        {"leading close bracket gives an empty frame", "]", {{R, ""}}},
        {"close bracket keeps pending", "[AB]]", {{R, "AB"}, {R, "AB"}}},
        {"idle bytes after a frame join the kept text", "[AB]x]", {{R, "AB"}, {R, "ABx"}}},
        {"sign after 15 characters from a fresh start", "+ABCDEFGHIJKLMNO", {{D, "+ABCDEFGHIJKLMNO"}}},
        {"line break slides out of the six-character window",
         "\r\nABCDEF+GHIJKLMNO",
         {{D, "ABCDEF+GHIJKLMNO"}}},
        {"second sign is ignored and not counted", "+AB-CDEFGHIJKLMNO", {{D, "+ABCDEFGHIJKLMNO"}}},
        {"sign inside a reader frame closed by the bracket", "[12-34]", {{R, "12-34"}}},
        {"sign inside a reader frame reaching 16 characters",
         "[ABCDEFGHIJ-KLMNOPQ]",
         {{D, "ABCDEFGHIJ-KLMNO"}, {R, "PQ"}}},
        {"open bracket abandons a debug frame", "12 34 +1[5A0A1B2CABCD]", {{R, "5A0A1B2CABCD"}}},
        {"sign appended to 15 characters gives 17", "[ABCDEFGHIJKLMNO-P", {{D, "ABCDEFGHIJKLMNO-P"}}},
        {"idle bytes never produce an event", std::string(500, 'x') + "\r\n\xff\x80", {}},
        {"the first idle byte after a long frame keeps positions 1 to 6, the next ones slide",
         "[ABCDEFGH]12][ABCDEFGH]123456789]",
         {{R, "ABCDEFGH"}, {R, "CDEFG2"}, {R, "ABCDEFGH"}, {R, "456789"}}},
        {"debug line whose sign sits at position 6", "noise 5A 3C +1E 0A1B2C\r\n", {{D, "5A 3C +1E 0A1B2C"}}},
        {"a sign kept from a reader frame blocks the next sign until it slides out",
         "[1-]+ABCDEFGHIJKLMNOP",
         {{R, "1-"}}},
        {"NUL is an ordinary character for the sign search",
         bytes({'[', 'A', '\0', '+', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N'}),
         {{D, bytes({'A', '\0', '+', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N'})}}},
        {"high bytes are ordinary characters", "[\xe9\x80\xff]", {{R, "\xe9\x80\xff"}}},
        {"a frame reaching the cap is abandoned, the rest is idle",
         // cap - 1 bytes fit, the next one abandons the frame, three are left
         "[" + std::string(FrameAssembler::kPendingCap + 3, 'A') + "]",
         {{R, "AAA"}}},
    };
    return cases;
}

TEST(FrameAssembler, CutsStreamsIntoFrames)
{
    for (const auto& c : streamCases())
        EXPECT_EQ(feedAll(c.stream), c.expected) << c.name;
}

TEST(FrameAssembler, SameFramesWhereverTheStreamIsSplit)
{
    for (const auto& c : streamCases()) {
        const std::string_view s = c.stream;
        for (std::size_t cut = 0; cut <= s.size(); ++cut) {
            FrameAssembler assembler;
            EXPECT_EQ(feedPieces(assembler, {s.substr(0, cut), s.substr(cut)}), c.expected)
                << c.name << " split at " << cut;
        }
        FrameAssembler byteByByte;
        std::vector<std::string_view> singles;
        for (std::size_t i = 0; i < s.size(); ++i)
            singles.push_back(s.substr(i, 1));
        EXPECT_EQ(feedPieces(byteByByte, singles), c.expected) << c.name << " byte by byte";
    }
}

TEST(FrameAssembler, IdleWindowKeepsPositionsOneToSix)
{
    FrameAssembler assembler;
    feedPieces(assembler, {"[ABCDEFGH]x"});
    EXPECT_EQ(assembler.mode(), FrameAssembler::Idle);
    EXPECT_EQ(assembler.pending(), "BCDEFG");

    feedPieces(assembler, {"1234567"});
    EXPECT_EQ(assembler.pending(), "234567");
}

TEST(FrameAssembler, ModesFollowTheTransitions)
{
    FrameAssembler assembler;
    EXPECT_EQ(assembler.mode(), FrameAssembler::Idle);
    feedPieces(assembler, {"["});
    EXPECT_EQ(assembler.mode(), FrameAssembler::ReaderFrame);
    feedPieces(assembler, {"12-"});
    EXPECT_EQ(assembler.mode(), FrameAssembler::DebugFrame);
    feedPieces(assembler, {"+"});  // second sign: nothing changes
    EXPECT_EQ(assembler.mode(), FrameAssembler::DebugFrame);
    EXPECT_EQ(assembler.pending(), "12-");
    feedPieces(assembler, {"34]"});
    EXPECT_EQ(assembler.mode(), FrameAssembler::Idle);
    EXPECT_EQ(assembler.pending(), "12-34");
}

TEST(FrameAssembler, NeverClosedReaderFrameIsCappedThenTheNextFrameDecodes)
{
    FrameAssembler assembler;
    Events events;
    auto sink = [&](int kind, std::unique_ptr<FrameEvent> e) { events.emplace_back(kind, e->text); };
    assembler.feed("[", {}, sink);
    const std::string block(1000, 'A');
    for (int i = 0; i < 20; ++i) {
        assembler.feed(block, {}, sink);
        ASSERT_LE(assembler.pending().size(), FrameAssembler::kPendingCap);
    }
    EXPECT_TRUE(events.empty());
    assembler.feed("][5A0A1B2CABCD]", {}, sink);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], (std::pair<int, std::string>{R, "5A0A1B2CABCD"}));
}

TEST(FrameAssembler, FrameReachingTheCapIsAbandoned)
{
    FrameAssembler assembler;
    int kind = 0;
    assembler.feed('[', kind);
    for (std::size_t i = 0; i + 1 < FrameAssembler::kPendingCap; ++i)
        assembler.feed('A', kind);
    EXPECT_EQ(assembler.mode(), FrameAssembler::ReaderFrame);
    EXPECT_EQ(assembler.pending().size(), FrameAssembler::kPendingCap - 1);
    assembler.feed('A', kind);
    EXPECT_EQ(assembler.mode(), FrameAssembler::Idle);
    EXPECT_TRUE(assembler.pending().empty());
}

TEST(FrameAssembler, EachFrameCarriesTheStampOfTheReadThatCompletedIt)
{
    // The stamp of a read is the time its bytes were there: a frame spread over
    // three reads takes the third one's, and frames completed by one read share it.
    FrameAssembler assembler;
    std::vector<std::pair<std::string, log::ClockReading>> stamped;
    auto sink = [&](int, std::unique_ptr<FrameEvent> e) { stamped.emplace_back(e->text, e->arrivalTime); };
    const log::ClockReading first{1'700'000'000, 998}, second{1'700'000'000, 999}, third{1'700'000'001, 0};
    assembler.feed("[5A0A1B", first, sink);
    assembler.feed("2CAB", second, sink);
    assembler.feed("CD]\r\n[960A1B2CABCD]\r\n5A 3C +1E 0A1B2C", third, sink);
    ASSERT_EQ(stamped.size(), 3u);
    for (const auto& [text, at] : stamped) {
        EXPECT_EQ(at.seconds, third.seconds) << text;
        EXPECT_EQ(at.milliseconds, third.milliseconds) << text;
    }

    int kind = 0;
    EXPECT_EQ(assembler.feed('[', kind, first), nullptr);
    const auto event = assembler.feed(']', kind, second);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(kind, R);
    EXPECT_EQ(event->arrivalTime.seconds, second.seconds);
    EXPECT_EQ(event->arrivalTime.milliseconds, second.milliseconds);
}

}  // namespace
}  // namespace varno::link
