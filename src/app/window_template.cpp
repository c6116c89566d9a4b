#include "app/window_template.h"

namespace varno::app {

namespace {

// Template of the main window, in tab order.
const ControlTemplate kTemplate[] = {
    {-1, Kind::GroupBox, "Port Série", 219, 271, 156, 29},
    {idc::Open, Kind::PushLike, "Ouvrir", 328, 281, 42, 14},
    {idc::PortList, Kind::ComboSorted, "", 227, 282, 45, 54},
    {1031, Kind::GroupBox, "Données reçues", 6, 184, 108, 86},
    {idc::Frame, Kind::EditReadOnly, "", 34, 195, 74, 12},
    {idc::P1, Kind::EditReadOnly, "", 34, 223, 21, 12},
    {idc::P1Hex, Kind::EditReadOnly, "", 90, 223, 18, 12},
    {1034, Kind::LabelRight, "P1", 23, 223, 8, 12},
    {1035, Kind::Label, "P1(hex)", 61, 223, 27, 12},
    {idc::Id, Kind::EditReadOnly, "", 34, 209, 36, 12},
    {1032, Kind::Label, "Trame", 12, 195, 21, 12},
    {1033, Kind::Label, "ID", 24, 209, 8, 12},
    {idc::ChartFrame, Kind::BlackFrame, "", 6, 6, 372, 176},
    {idc::Log, Kind::PushLike, "Enregister", 328, 250, 42, 14},
    {1039, Kind::GroupBox, "Graphique", 117, 184, 51, 58},
    {1040, Kind::Label, "Pmin", 123, 194, 20, 14},
    {1041, Kind::Label, "Pmax", 123, 209, 20, 12},
    {idc::Pmin, Kind::EditDigits, "", 141, 195, 22, 12},
    {idc::Pmax, Kind::EditDigits, "", 141, 209, 22, 12},
    {idc::ApplyLimits, Kind::PushButton, "Modifier", 123, 224, 40, 14},
    {idc::LogFileName, Kind::EditReadOnly, "", 227, 236, 143, 12},
    {-1, Kind::GroupBox, "Fichier Log", 219, 225, 156, 45},
    {1042, Kind::GroupBox, "Synchro X", 172, 184, 43, 58},
    {idc::XSync, Kind::PushLike, "Activer", 177, 224, 32, 14},
    {idc::XSync100ms, Kind::Radio, "100ms", 178, 197, 36, 10},
    {idc::XSync1s, Kind::Radio, "1Sec", 178, 209, 31, 10},
    {idc::P2, Kind::EditReadOnly, "", 34, 236, 21, 12},
    {idc::P2Hex, Kind::EditReadOnly, "", 90, 236, 18, 12},
    {1036, Kind::LabelRight, "P2", 23, 236, 8, 12},
    {1037, Kind::Label, "P2(hex)", 61, 236, 27, 12},
    {idc::DpHex, Kind::EditReadOnly, "", 87, 250, 21, 12},
    {1038, Kind::Label, "dP (hex)", 59, 250, 28, 12},
    {1043, Kind::GroupBox, "Trigger", 117, 243, 98, 27},
    {idc::Trigger, Kind::TrackBar, "", 122, 252, 91, 12},
    {idc::ResetLegend, Kind::PushButton, "Reinitialiser", 13, 280, 50, 14},
    {1044, Kind::GroupBox, "Legende ID", 7, 271, 61, 29},
    {1045, Kind::GroupBox, "Filtrage ID", 72, 271, 143, 29},
    {idc::FilterLow, Kind::Edit, "", 86, 281, 39, 12},
    {idc::FilterHigh, Kind::Edit, "", 135, 281, 39, 12},
    {idc::BaudList, Kind::Combo, "", 278, 282, 45, 47},
    {idc::FilterOn, Kind::PushLike, "Activer", 178, 280, 32, 14},
    {1046, Kind::Label, "Lo", 77, 283, 8, 8},
    {1047, Kind::Label, "Hi", 127, 283, 8, 8},
    {-1, Kind::GroupBox, "Mode / Options", 219, 184, 156, 40},
    {idc::RawText, Kind::CheckBox, "Log Texte (Brut)", 229, 196, 69, 10},
    {idc::TextView, Kind::RichEdit, "", 7, 186, 208, 114},
};

}  // namespace

std::span<const ControlTemplate> windowTemplate()
{
    return kTemplate;
}

const std::array<int, 35> kPanelControls = {
    1031, 1032, 1002, 1033, 1005, 1034, 1003, 1036, 1017, 1035, 1004, 1037,
    1018, 1038, 1019, 1039, 1040, 1008, 1041, 1009, 1010, 1042, 1014, 1015,
    1013, 1043, 1016, 1044, 1022, 1045, 1046, 1023, 1047, 1024, 1027,
};

}  // namespace varno::app
