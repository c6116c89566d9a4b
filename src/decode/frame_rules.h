#pragma once
// What one frame does, whoever handles it: which decoder its text chooses,
// whether its tag passes the filter, and which dots it puts on the chart in
// which colours, reserving which legend slots. The window's frame handlers
// (decode/frame_handlers.cpp) apply these rules to widgets; a logger without
// a window applies the same ones. Pure functions over bytes and tables.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/frame_fields.h"
#include "decode/legend.h"

namespace varno::decode {

// A frame event's text as the decoders take it: "[" + text + "]".
std::string bracketFrame(std::string_view text);

// The bracketed text alone chooses the decoder: a frame holding a sign is a
// debug frame, whatever closed it.
enum class FrameClass { Reader, Debug };
inline FrameClass classifyFrame(std::string_view bracketed)
{
    return holdsSign(bracketed) ? FrameClass::Debug : FrameClass::Reader;
}

// The tag filter: the identifier, read as lenient hexadecimal, within low..high.
bool passesTagFilter(std::string_view tagId, std::uint32_t low, std::uint32_t high);

// What the chart's decision reads: the plotted range and the trigger level.
struct PlotRules {
    std::int32_t plotMin = 0;
    std::int32_t plotMax = 0;
    int triggerLevel = 0;
};

struct Dot {
    std::uint32_t colour = 0;  // COLORREF
    std::int32_t value = 0;
    bool operator==(const Dot&) const = default;
};

// The dots one frame draws, in drawing order: none, one, or two (a debug
// frame's P1 and P2).
struct FramePlot {
    std::array<Dot, 2> dots{};
    int count = 0;
    void add(Dot dot) { dots[static_cast<std::size_t>(count++)] = dot; }
};

// A reader frame whose P1 lies within the limits draws one dot: in its tag's
// colour when the tag holds a slot; a tag without one reserves the lowest free
// slot when P1 does not exceed the trigger level. Without a slot, the dot takes
// the colour of the last slot.
FramePlot plotReaderFrame(const ReaderFields& fields, const PlotRules& rules, LegendIds& legend,
                          const LegendColours& colours);

// A debug frame draws P1 under the key "id/1" and P2 under "id/2", each when it
// lies within the limits. A key without a slot reserves one, and its companion
// key one too, so both keys of a tag get theirs at once; unless both values
// are above the trigger level, when neither does.
FramePlot plotDebugFrame(const DebugFields& fields, const PlotRules& rules, LegendIds& legend,
                         const LegendColours& colours);

}  // namespace varno::decode
