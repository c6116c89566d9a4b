#include "decode/legend.h"

namespace varno::decode {

int FindLegendSlot(const LegendIds& ids, std::string_view key)
{
    for (int i = 0; i < kLegendSlots; ++i) {
        if (ids[i] == key)
            return i;
    }
    return -1;
}

int ReserveLegendSlot(LegendIds& ids, std::string_view key)
{
    for (int i = 0; i < kLegendSlots; ++i) {
        if (ids[i].empty()) {
            ids[i] = std::string(key);
            return i;
        }
    }
    return -1;
}

void ResetLegend(LegendIds& ids, LegendColours& colours)
{
    for (auto& id : ids)
        id.clear();
    colours = kLegendDefaultColours;
}

}  // namespace varno::decode
