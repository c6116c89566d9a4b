// The main window's frame event handler and the frame decoders.

#include <QCheckBox>
#include <QSlider>

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "decode/conversions.h"

namespace varno::app {

void CVARNODlg::OnFrameEvent(int kind, std::unique_ptr<link::FrameEvent> event)
{
    CheckLogDay();
    if ((kind != link::FRAME_KIND_READER && kind != link::FRAME_KIND_DEBUG) || event == nullptr)
        return;

    UpdateData(true);
    frameText.clear();
    frameText.reserve(event->text.size() + 2);
    frameText.push_back('[');
    frameText += event->text;
    frameText.push_back(']');
    // The text alone chooses the decoder: a ']'-closed frame holding a sign is a
    // debug frame too.
    if (decode::holdsSign(frameText))
        DecodeDebugFrame(frameText);
    else
        DecodeReaderFrame(frameText);
    UpdateData(false);
    // `event` is freed here.
}

void CVARNODlg::DecodeReaderFrame(std::string text)
{
    const bool raw = rawTextMode();
    std::optional<decode::ReaderFields> fields;
    if (!raw) {
        fields = decode::cutReaderFrame(text);
        if (!fields)
            return;  // not a reader frame length: dropped in silence

        UpdateData(true);
        RestartXSyncTimer();
        if (filterOn == 1 && !PassesTagFilter(fields->tagId)) {
            UpdateData(false);
            return;
        }

        frameField = text;
        p1HexField = fields->p1Text;
        p1Field = std::to_string(fields->p1Value);
        idField = fields->tagId;
        p2Field = " --- ";
        p2HexField = " -- ";
        dpHexField = " --- ";

        if (plotMin <= fields->p1Value && fields->p1Value <= plotMax) {
            std::uint32_t colour = legendColours[decode::kNoSlotColourIndex];
            int slot = FindLegendSlot(fields->tagId);
            if (slot < 0 && fields->p1Value <= triggerLevel())
                slot = ReserveLegendSlot(fields->tagId);
            if (slot >= 0)
                colour = legendColours[static_cast<std::size_t>(slot)];
            chart->AppendPoint(colour, static_cast<double>(fields->p1Value));
        }
    }

    if (loggingOn == 1 || raw)
        RecordFrame(text, fields ? *fields : decode::ReaderFields{});
    if (!raw)
        UpdateData(false);
}

void CVARNODlg::DecodeDebugFrame(std::string text)
{
    const bool raw = rawTextMode();
    decode::DebugFields fields;
    if (!raw) {
        // No length check: a short text gives short or empty fields.
        fields = decode::cutDebugFrame(text);
        UpdateData(true);
        RestartXSyncTimer();
        if (filterOn == 1 && !PassesTagFilter(fields.tagId)) {
            UpdateData(false);
            return;
        }

        idField = fields.tagId;
        frameField = text;
        p1HexField = fields.p1Text;
        p1Field = std::to_string(fields.p1Value);
        p2HexField = fields.p2Text;
        p2Field = std::to_string(fields.p2Value);
        dpHexField = fields.dpText;

        // P1 under key "id/1", P2 under "id/2". A new tag whose values are both
        // above the trigger takes no slot; otherwise the first key plotted
        // reserves its companion's slot too, so both keys of a tag get theirs at once.
        const bool bothAboveTrigger = fields.p1Value > triggerLevel() && fields.p2Value > triggerLevel();
        auto plot = [&](std::int32_t value, const std::string& key, const std::string& companion) {
            if (value < plotMin || value > plotMax)
                return;
            int slot = FindLegendSlot(key);
            if (slot < 0 && !bothAboveTrigger) {
                slot = ReserveLegendSlot(key);
                ReserveLegendSlot(companion);
            }
            const std::size_t colour = slot >= 0 ? static_cast<std::size_t>(slot) : decode::kNoSlotColourIndex;
            chart->AppendPoint(legendColours[colour], static_cast<double>(value));
        };
        const std::string key1 = fields.key1();
        const std::string key2 = fields.key2();
        plot(fields.p1Value, key1, key2);
        plot(fields.p2Value, key2, key1);
    }

    // Unlike reader frames, a debug frame is neither logged nor echoed while
    // logging is off, even in raw text mode.
    if (loggingOn == 1)
        RecordFrame(text, fields);
    if (!raw)
        UpdateData(false);
}

bool CVARNODlg::PassesTagFilter(const std::string& tagId) const
{
    const std::uint32_t value = decode::lenientToUInt32(tagId, 16);
    return filterLow <= value && value <= filterHigh;
}

int CVARNODlg::FindLegendSlot(const std::string& key) const
{
    return decode::FindLegendSlot(legendIds, key);
}

int CVARNODlg::ReserveLegendSlot(const std::string& key)
{
    return decode::ReserveLegendSlot(legendIds, key);
}

void CVARNODlg::ResetLegend()
{
    decode::ResetLegend(legendIds, legendColours);
}

int CVARNODlg::triggerLevel() const
{
    return triggerSlider->value();
}

bool CVARNODlg::rawTextMode() const
{
    return rawTextButton->isChecked();
}

}  // namespace varno::app
