#pragma once
// What the scope chart reads from the window that owns it, at the moment it
// draws: the trigger level and the tag legend belong to the owner, not to the
// chart.

#include <cstdint>
#include <string_view>

namespace varno::chart {

class ChartOwner {
public:
    // The trigger level (the trigger slider's position).
    virtual int triggerLevel() const = 0;
    // Number of legend slots; the chart labels slots 0 to count - 2.
    virtual int legendCount() const = 0;
    // Key of a slot as Windows-1252 bytes ("" = free), and its COLORREF.
    virtual std::string_view legendId(int slot) const = 0;
    virtual std::uint32_t legendColour(int slot) const = 0;

protected:
    virtual ~ChartOwner() = default;
};

}  // namespace varno::chart
