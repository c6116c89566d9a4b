#include "decode/frame_rules.h"

#include "decode/conversions.h"

namespace varno::decode {

namespace {

bool withinLimits(std::int32_t value, const PlotRules& rules)
{
    return rules.plotMin <= value && value <= rules.plotMax;
}

std::uint32_t slotColour(int slot, const LegendColours& colours)
{
    return colours[static_cast<std::size_t>(slot >= 0 ? slot : kNoSlotColourIndex)];
}

}  // namespace

std::string bracketFrame(std::string_view text)
{
    std::string bracketed;
    bracketed.reserve(text.size() + 2);
    bracketed.push_back('[');
    bracketed.append(text);
    bracketed.push_back(']');
    return bracketed;
}

bool passesTagFilter(std::string_view tagId, std::uint32_t low, std::uint32_t high)
{
    const std::uint32_t value = lenientToUInt32(tagId, 16);
    return low <= value && value <= high;
}

FramePlot plotReaderFrame(const ReaderFields& fields, const PlotRules& rules, LegendIds& legend,
                          const LegendColours& colours)
{
    FramePlot plot;
    if (!withinLimits(fields.p1Value, rules))
        return plot;
    int slot = FindLegendSlot(legend, fields.tagId);
    if (slot < 0 && fields.p1Value <= rules.triggerLevel)
        slot = ReserveLegendSlot(legend, fields.tagId);
    plot.add({slotColour(slot, colours), fields.p1Value});
    return plot;
}

FramePlot plotDebugFrame(const DebugFields& fields, const PlotRules& rules, LegendIds& legend,
                         const LegendColours& colours)
{
    FramePlot plot;
    // Judged before either key is looked at: the first key's reservation must
    // not change what the second one decides.
    const bool bothAboveTrigger = fields.p1Value > rules.triggerLevel && fields.p2Value > rules.triggerLevel;
    auto add = [&](std::int32_t value, const std::string& key, const std::string& companion) {
        if (!withinLimits(value, rules))
            return;
        int slot = FindLegendSlot(legend, key);
        if (slot < 0 && !bothAboveTrigger) {
            slot = ReserveLegendSlot(legend, key);
            ReserveLegendSlot(legend, companion);
        }
        plot.add({slotColour(slot, colours), value});
    };
    const std::string key1 = fields.key1();
    const std::string key2 = fields.key2();
    add(fields.p1Value, key1, key2);
    add(fields.p2Value, key2, key1);
    return plot;
}

}  // namespace varno::decode
