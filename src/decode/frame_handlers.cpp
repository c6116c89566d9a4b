// The main window's frame event handler and the frame decoders: they apply
// the rules of decode/frame_rules.h to the window's state and widgets.

#include <QCheckBox>
#include <QSlider>

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "decode/frame_rules.h"

namespace varno::app {

void CVARNODlg::OnFramesWaiting()
{
    // One at a time: a frame whose handling waits in a message box lets a
    // nested wake-up take the frames after it, which then keep their order.
    frameHandOver->woken();
    int kind = 0;
    std::unique_ptr<link::FrameEvent> event;
    while (frameHandOver->take(kind, event))
        OnFrameEvent(kind, std::move(event));
    refreshStatusLineIfDue();
    paintIfDue();
}

void CVARNODlg::OnFrameEvent(int kind, std::unique_ptr<link::FrameEvent> event)
{
    linkStatus.frameReceived(statusNowMs());  // the status line's figures
    // The time the frame arrived, not the time it is handled, goes into the log.
    frameArrivalTime = event != nullptr ? event->arrivalTime : clock->nowMillis();
    CheckLogDay();
    if ((kind != link::FRAME_KIND_READER && kind != link::FRAME_KIND_DEBUG) || event == nullptr)
        return;

    UpdateData(true);
    frameText = decode::bracketFrame(event->text);
    if (decode::classifyFrame(frameText) == decode::FrameClass::Debug)
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

        plotDots(decode::plotReaderFrame(*fields, plotRules(), legendIds, legendColours));
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

        plotDots(decode::plotDebugFrame(fields, plotRules(), legendIds, legendColours));
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
    return decode::passesTagFilter(tagId, filterLow, filterHigh);
}

decode::PlotRules CVARNODlg::plotRules() const
{
    return {plotMin, plotMax, triggerLevel()};
}

void CVARNODlg::plotDots(const decode::FramePlot& plot)
{
    for (int i = 0; i < plot.count; ++i) {
        const decode::Dot& dot = plot.dots[static_cast<std::size_t>(i)];
        chart->AppendPoint(dot.colour, static_cast<double>(dot.value));
    }
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
