#pragma once
// The nine legend slots: which key (a tag identifier, or a debug frame's
// tag identifier + "/1" or "/2") holds which colour.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace varno::decode {

inline constexpr int kLegendSlots = 9;
// The colour of the last slot doubles as the colour of every key without a slot.
inline constexpr int kNoSlotColourIndex = 8;

using LegendIds = std::array<std::string, kLegendSlots>;       // "" = free
using LegendColours = std::array<std::uint32_t, kLegendSlots>;  // COLORREF 0x00BBGGRR

// Yellow, light blue, green, red, cyan, magenta, orange, white, grey.
inline constexpr LegendColours kLegendDefaultColours = {
    0x00FFFF, 0xFF6060, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x0080FF, 0xFFFFFF, 0x808080,
};

// Lowest slot holding exactly `key` (byte comparison), or -1.
int FindLegendSlot(const LegendIds& ids, std::string_view key);
// Puts `key` into the lowest free slot and returns it, or -1 when all are taken.
// Does not look for the key first.
int ReserveLegendSlot(LegendIds& ids, std::string_view key);
// Empties every slot and loads the default colours.
void ResetLegend(LegendIds& ids, LegendColours& colours);

}  // namespace varno::decode
