#pragma once
// The main window's template: every control with its identifier, kind,
// caption and place in dialog units, in tab order. The window builds itself
// from this table (app/main_window.cpp).

#include <array>
#include <span>

namespace varno::app {

// Control identifiers of the main window's template.
namespace idc {
inline constexpr int Open = 1000, PortList = 1001, Frame = 1002, P1 = 1003, P1Hex = 1004, Id = 1005,
                     ChartFrame = 1006, Log = 1007, Pmin = 1008, Pmax = 1009, ApplyLimits = 1010,
                     LogFileName = 1011, XSync = 1013, XSync100ms = 1014, XSync1s = 1015,
                     Trigger = 1016, P2 = 1017, P2Hex = 1018, DpHex = 1019, ResetLegend = 1022,
                     FilterLow = 1023, FilterHigh = 1024, BaudList = 1025, FilterOn = 1027,
                     RawText = 1030, TextView = 1048;
}

// What a control of the template is.
enum class Kind {
    GroupBox,
    PushLike,      // automatic check box drawn as a push button
    PushButton,
    CheckBox,
    Radio,
    Edit,
    EditReadOnly,
    EditDigits,
    Label,
    LabelRight,
    BlackFrame,
    ComboSorted,   // drop-down with an edit field, sorted list
    Combo,         // drop-down with an edit field
    TrackBar,
    RichEdit,
};

struct ControlTemplate {
    int id;  // -1: a group box nobody addresses
    Kind kind;
    const char* caption;  // UTF-8
    int x, y, width, height;  // dialog units
};

// The controls of the template, in tab order.
std::span<const ControlTemplate> windowTemplate();

// The controls shown in decoded mode and hidden in raw text mode, in the
// order they are switched.
extern const std::array<int, 35> kPanelControls;

}  // namespace varno::app
