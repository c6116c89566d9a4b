// libFuzzer harness over the path a frame takes without any widget: bytes into
// the frame assembler, every event's text through the rules the window and the
// logger apply (decoder choice, field cutting, tag filter, dots and legend
// slots) and the three log lines, with a fixed clock.
//
// For each input it checks that
// - the events do not depend on how the input is split: fed whole, in chunks
//   whose sizes come from the input itself, and byte by byte through the
//   single-byte feed;
// - pending never exceeds the assembler's cap after any byte;
// - no log line holds a CR or LF except its closing CR LF, every line has
//   the column count of its kind as a spreadsheet reads it (fields holding
//   ';' or '"' are quoted), and the frame column holds the frame's bytes;
// - the cut fields are the bytes at their positions in the frame;
// - a frame draws at most its values, only within the limits, and the legend
//   only ever gains keys the frame named.
// A broken check aborts, which libFuzzer reports as a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decode/conversions.h"
#include "decode/frame_fields.h"
#include "decode/frame_rules.h"
#include "link/frame_assembler.h"
#include "log/clock.h"
#include "log/frame_log.h"
#include "log/log_lines.h"

namespace {

using namespace varno;
using link::FrameAssembler;

[[noreturn]] void fail(const char* what, int line)
{
    std::fprintf(stderr, "frame_path_fuzzer.cpp:%d: check failed: %s\n", line, what);
    std::abort();
}

#define CHECK(condition)                \
    do {                                \
        if (!(condition))               \
            fail(#condition, __LINE__); \
    } while (false)

struct Event {
    int kind;
    std::string text;
    bool operator==(const Event&) const = default;
};
using Events = std::vector<Event>;

// Local time is UTC, whatever the machine's time zone; the readings start at
// 08/12/2026 20:13:49.
class FixedClock final : public log::Clock {
public:
    static constexpr std::int64_t kSeconds = 1796760829;
    std::int64_t nowSeconds() const override { return kSeconds; }
    log::ClockReading nowMillis() const override { return {kSeconds, 45}; }
    bool toLocal(std::int64_t seconds, std::tm& out) const override
    {
        const auto t = static_cast<std::time_t>(seconds);
        return gmtime_r(&t, &out) != nullptr;
    }
};

void collect(Events& events, int kind, const std::unique_ptr<link::FrameEvent>& event)
{
    CHECK(event != nullptr);
    CHECK(kind == link::FRAME_KIND_READER || kind == link::FRAME_KIND_DEBUG);
    events.push_back({kind, event->text});
}

Events feedWhole(std::string_view input)
{
    Events events;
    FrameAssembler assembler;
    assembler.feed(input, {}, [&](int kind, std::unique_ptr<link::FrameEvent> e) { collect(events, kind, e); });
    CHECK(assembler.pending().size() <= FrameAssembler::kPendingCap);
    return events;
}

// Chunk sizes read from the input, last byte first, so that they do not simply
// follow the bytes being fed: mostly short chunks, now and then an empty one or
// one longer than the cap.
Events feedInChunks(std::string_view input)
{
    Events events;
    FrameAssembler assembler;
    auto sink = [&](int kind, std::unique_ptr<link::FrameEvent> e) { collect(events, kind, e); };
    std::size_t pos = 0;
    std::size_t k = input.size();
    while (pos < input.size()) {
        k = (k == 0 ? input.size() : k) - 1;
        const auto b = static_cast<unsigned char>(input[k]);
        std::size_t length = b % 40 + 1;
        if (b >= 0xF8)
            length = (b - 0xF7) * (FrameAssembler::kPendingCap / 3);
        else if (b % 40 == 0)
            assembler.feed(std::string_view(), {}, sink);
        const std::string_view chunk = input.substr(pos, length);
        assembler.feed(chunk, {}, sink);
        pos += chunk.size();
        CHECK(assembler.pending().size() <= FrameAssembler::kPendingCap);
    }
    return events;
}

Events feedByteByByte(std::string_view input)
{
    constexpr int kUntouched = -12345;
    Events events;
    FrameAssembler assembler;
    for (char c : input) {
        int kind = kUntouched;
        auto event = assembler.feed(static_cast<unsigned char>(c), kind);
        if (event)
            collect(events, kind, event);
        else
            CHECK(kind == kUntouched);
        CHECK(assembler.pending().size() <= FrameAssembler::kPendingCap);
    }
    return events;
}

std::size_t countSigns(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text)
        n += (c == '+' || c == '-') ? 1 : 0;
    return n;
}

// The fields of a CSV line as a spreadsheet reads them: ';' between fields,
// a field between double quotes may hold ';' and doubled quotes.
std::vector<std::string> csvFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back().push_back('"');
            ++i;
        } else if (c == '"' && (quoted || fields.back().empty())) {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    CHECK(!quoted);
    return fields;
}

std::string blankLineBreaks(std::string_view bytes)
{
    std::string blanked(bytes);
    for (char& c : blanked) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return blanked;
}

// One log line: closed by CR LF, no other line break, `columns` fields as a
// spreadsheet reads them, the first one the frame's bytes (its line breaks
// blanked). A frame without ';' or '"' is written bare, byte for byte.
std::vector<std::string> checkLine(const std::string& line, std::string_view bracketed, std::size_t columns)
{
    CHECK(line.size() >= bracketed.size() + 3);
    const std::size_t body = line.size() - 2;
    CHECK(line[body] == '\r' && line[body + 1] == '\n');
    CHECK(std::memchr(line.data(), '\r', body) == nullptr);
    CHECK(std::memchr(line.data(), '\n', body) == nullptr);
    const std::string blanked = blankLineBreaks(bracketed);
    std::vector<std::string> fields = csvFields(std::string_view(line).substr(0, body));
    CHECK(fields.size() == columns);
    CHECK(fields[0] == blanked);
    if (bracketed.find_first_of(";\"") == std::string_view::npos) {
        CHECK(line.compare(0, blanked.size(), blanked) == 0);
        CHECK(line[bracketed.size()] == ';');
    }
    return fields;
}

// The field at `pos` of `bracketed`, cut at the end of the text.
std::string_view at(std::string_view bracketed, std::size_t pos, std::size_t count)
{
    return pos >= bracketed.size() ? std::string_view() : bracketed.substr(pos, count);
}

// What the window and the logger keep across the frames of one input.
struct FrameState {
    log::FrameTimes times;
    decode::LegendIds legend;
};

// Limits and a trigger level that move with the frames, so that every branch
// of the plotting rules is reached.
decode::PlotRules rulesFor(std::size_t index)
{
    const auto low = static_cast<std::int32_t>((index * 37) % 200);
    return {low, low + static_cast<std::int32_t>((index * 53) % 120), static_cast<int>((index * 71) % 256)};
}

// The legend after a plotting rule: what was there stays, and any new key is
// one of `keys`.
void checkLegend(const decode::LegendIds& before, const decode::LegendIds& after,
                 std::initializer_list<std::string_view> keys)
{
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!before[i].empty()) {
            CHECK(after[i] == before[i]);
            continue;
        }
        bool named = after[i].empty();
        for (std::string_view key : keys)
            named = named || after[i] == key;
        CHECK(named);
    }
}

void checkPlot(const decode::FramePlot& plot, const decode::PlotRules& rules, int most)
{
    CHECK(plot.count >= 0 && plot.count <= most);
    for (int i = 0; i < plot.count; ++i) {
        const std::int32_t value = plot.dots[static_cast<std::size_t>(i)].value;
        CHECK(rules.plotMin <= value && value <= rules.plotMax);
    }
}

// What the window does with one event: the raw line of raw text mode, and the
// decoder the sign picks, its fields cut, filtered, plotted and its line formatted.
void followEvent(const Event& event, std::size_t index, const log::Clock& clock, FrameState& state)
{
    const std::string& text = event.text;
    // The sign search never lets a second sign in; a debug frame holds one.
    const std::size_t signs = countSigns(text);
    CHECK(signs <= 1);
    if (event.kind == link::FRAME_KIND_DEBUG)
        CHECK(signs == 1 && text.size() >= 16);
    // A sign appended at the cap and one more byte: the longest text there is.
    CHECK(text.size() <= FrameAssembler::kPendingCap + 1);
    // The lenient reading takes any bytes; only that it returns matters here.
    (void)decode::lenientToUInt32(text, 10);
    (void)decode::lenientToUInt32(text, 16);

    // A fixed clock, with a millisecond reading that moves on with every frame.
    const log::ClockReading now{FixedClock::kSeconds + static_cast<std::int64_t>(index / 3),
                                static_cast<std::uint16_t>((index * 389) % 1000)};
    const log::TimeColumns columns = state.times.step(now);
    CHECK(state.times.lastFrameTime == now.seconds && state.times.lastFrameMillis == now.milliseconds);
    CHECK(log::formatLocalTime(clock, now.seconds, log::kDateTimeFormat).size() == 19);

    const std::string bracketed = decode::bracketFrame(text);
    const std::size_t n = bracketed.size();
    checkLine(log::rawFrameLine(clock, now, bracketed), bracketed, 4);

    const decode::PlotRules rules = rulesFor(index);
    const decode::LegendIds before = state.legend;
    const std::uint32_t low = static_cast<std::uint32_t>(index * 0x2F3A1) & 0xFFFFFF;
    if (decode::classifyFrame(bracketed) == decode::FrameClass::Debug) {
        CHECK(signs == 1);
        const decode::DebugFields debug = decode::cutDebugFrame(bracketed);
        CHECK(debug.p1Text == at(bracketed, 1, 2));
        CHECK(debug.p2Text == at(bracketed, 4, 2));
        CHECK(debug.dpText == at(bracketed, 7, 3));
        CHECK(debug.tagId == at(bracketed, 11, 6));
        (void)decode::passesTagFilter(debug.tagId, low, 0xFFFFFF);
        checkPlot(decode::plotDebugFrame(debug, rules, state.legend, decode::kLegendDefaultColours), rules, 2);
        checkLegend(before, state.legend, {debug.key1(), debug.key2()});
        const auto fields = checkLine(log::debugFrameLine(clock, now, columns, bracketed, debug), bracketed, 10);
        CHECK(fields[4].empty());
        CHECK(fields[5] == blankLineBreaks(debug.tagId) + "h");
    } else if (const auto reader = decode::cutReaderFrame(bracketed)) {
        CHECK(signs == 0);
        CHECK(n == 14 || n == 12 || n == 10);
        CHECK(reader->p1Text == bracketed.substr(1, 2));
        CHECK(reader->tagId == bracketed.substr(3, n == 10 ? 4 : 6));
        CHECK(reader->readerId == bracketed.substr(3 + reader->tagId.size(), n - 4 - reader->tagId.size()));
        CHECK(decode::passesTagFilter(reader->tagId, 0, 0xFFFFFFFF));
        checkPlot(decode::plotReaderFrame(*reader, rules, state.legend, decode::kLegendDefaultColours), rules, 1);
        checkLegend(before, state.legend, {reader->tagId});
        const auto fields = checkLine(log::readerFrameLine(clock, now, columns, bracketed, *reader), bracketed, 9);
        CHECK(fields[4] == blankLineBreaks(reader->readerId) + "h");
        CHECK(fields[5] == blankLineBreaks(reader->tagId) + "h");
    } else {
        CHECK(signs == 0 && n != 14 && n != 12 && n != 10);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const Events whole = feedWhole(input);
    CHECK(feedInChunks(input) == whole);
    CHECK(feedByteByByte(input) == whole);

    static const FixedClock clock;
    FrameState state;
    for (std::size_t i = 0; i < whole.size(); ++i)
        followEvent(whole[i], i, clock, state);

    return 0;
}
