// Debug frames reaching the real main window: their fields, their two legend
// keys and their log lines.

#include <QAbstractButton>
#include <QCheckBox>
#include <QSlider>
#include <QTextEdit>

#include <string>

#include "app/main_window.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using link::FRAME_KIND_DEBUG;
using link::FRAME_KIND_READER;

class DebugFrameTest : public WindowTest {
public:
    struct Fields {
        std::string frame, id, p1Hex, p1, p2Hex, p2, dpHex;
        bool operator==(const Fields&) const = default;
    };
    Fields fields() const
    {
        return {fieldText(idc::Frame), fieldText(idc::Id), fieldText(idc::P1Hex), fieldText(idc::P1),
                fieldText(idc::P2Hex), fieldText(idc::P2), fieldText(idc::DpHex)};
    }

protected:
    // The keys held by the nine legend slots, "" for a free one.
    decode::LegendIds legendKeys() const { return window->legendIds; }

    void startLogging()
    {
        window->clock = &clock;
        window->workingDirectory = dir.path();
        clock.set(2026, 12, 8, 10, 0, 0);
        window->button(idc::Log)->click();
        ASSERT_EQ(window->loggingOn, 1);
    }
    std::string logBytes() const { return readBytes(window->logFilePath); }

    TempDir dir;
    TestClock clock;
};

void PrintTo(const DebugFrameTest::Fields& f, std::ostream* os)
{
    *os << f.frame << '|' << f.id << '|' << f.p1Hex << '|' << f.p1 << '|' << f.p2Hex << '|' << f.p2 << '|' << f.dpHex;
}

TEST_F(DebugFrameTest, FieldsAreCutAtTheirPositionsWithoutALengthCheck)
{
    struct Case {
        int kind;
        std::string text;
        Fields expected;
    };
    const Case cases[] = {
        {FRAME_KIND_DEBUG, "5A 3C +1E 0A1B2C", {"[5A 3C +1E 0A1B2C]", "0A1B2C", "5A", "90", "3C", "60", "+1E"}},
        {FRAME_KIND_DEBUG, "ff-01 -FF abcdef", {"[ff-01 -FF abcdef]", "abcdef", "ff", "255", "01", "1", "-FF"}},
        // Fields run on to the closing bracket or stop at the end of the text.
        {FRAME_KIND_READER, "12-45A", {"[12-45A]", "", "12", "18", "45", "69", "]"}},
        {FRAME_KIND_READER, "-", {"[-]", "", "-]", "0", "", "0", ""}},
    };
    for (const Case& c : cases) {
        postFrame(c.kind, c.text);
        EXPECT_EQ(fields(), c.expected) << c.text;
    }
}

TEST_F(DebugFrameTest, ANewTagTakesTwoSlotsAtItsFirstFrame)
{
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");  // 150 and 160, within 120..180
    decode::LegendIds expected{"0A1B2C/1", "0A1B2C/2"};
    EXPECT_EQ(legendKeys(), expected);

    // Known keys keep their slots; a second tag follows.
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");
    postFrame(FRAME_KIND_DEBUG, "A0 96 +0A 000001");
    expected[2] = "000001/1";
    expected[3] = "000001/2";
    EXPECT_EQ(legendKeys(), expected);
}

TEST_F(DebugFrameTest, OnlyBothValuesAboveTheTriggerKeepANewTagWithoutSlots)
{
    window->triggerSlider->setValue(140);
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");  // 150 and 160: both above
    EXPECT_EQ(legendKeys(), decode::LegendIds{});
    EXPECT_EQ(fieldText(idc::P2), "160");

    // One value at or below the level is enough for both keys.
    postFrame(FRAME_KIND_DEBUG, "96 8C +0A 0A1B2C");  // 150 and 140
    EXPECT_EQ(legendKeys(), (decode::LegendIds{"0A1B2C/1", "0A1B2C/2"}));
}

TEST_F(DebugFrameTest, AValueOutOfTheRangeIsNotPlottedAndItsKeyComesSecond)
{
    postFrame(FRAME_KIND_DEBUG, "10 A0 +90 0A1B2C");  // P1 16 below Pmin, P2 160
    EXPECT_EQ(legendKeys(), (decode::LegendIds{"0A1B2C/2", "0A1B2C/1"}));
    EXPECT_EQ(fieldText(idc::P1), "16");

    // Neither value in range: no slot for a new tag.
    postFrame(FRAME_KIND_DEBUG, "10 FF +90 000001");
    EXPECT_EQ(legendKeys(), (decode::LegendIds{"0A1B2C/2", "0A1B2C/1"}));
}

TEST_F(DebugFrameTest, WithEightSlotsTakenTheCompanionFindsNone)
{
    for (int tag = 1; tag <= 8; ++tag)
        postFrame(FRAME_KIND_READER, "9600000" + std::to_string(tag) + "ABCD");
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");
    const decode::LegendIds expected{"000001", "000002", "000003", "000004", "000005",
                                     "000006", "000007", "000008", "0A1B2C/1"};
    EXPECT_EQ(legendKeys(), expected);
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");
    EXPECT_EQ(legendKeys(), expected);
    EXPECT_EQ(fieldText(idc::P2), "160");
}

TEST_F(DebugFrameTest, AFilteredFrameIsNotShownNorLoggedButRearmsTheTimer)
{
    startLogging();
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 000150");
    const Fields before = fields();
    const std::string logged = logBytes();
    window->filterLow = 0x100;
    window->filterHigh = 0x1FF;
    window->button(idc::FilterOn)->setChecked(true);
    window->button(idc::XSync)->setChecked(true);

    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 000200");
    EXPECT_EQ(fields(), before);
    EXPECT_EQ(logBytes(), logged);
    EXPECT_EQ(window->FindLegendSlot("000200/1"), -1);
    EXPECT_NE(window->xSyncTimerId, 0);

    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0001FF");
    EXPECT_EQ(fieldText(idc::Id), "0001FF");
    EXPECT_NE(logBytes(), logged);
}

TEST_F(DebugFrameTest, RawTextModeWithoutLoggingLeavesNoTrace)
{
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");
    const Fields before = fields();
    const decode::LegendIds slotsBefore = legendKeys();
    window->rawTextButton->setChecked(true);
    window->button(idc::XSync)->setChecked(true);

    postFrame(FRAME_KIND_DEBUG, "5A 3C +1E 000001");
    EXPECT_EQ(fields(), before);
    EXPECT_EQ(legendKeys(), slotsBefore);
    EXPECT_EQ(window->xSyncTimerId, 0);
    EXPECT_EQ(window->textView->toPlainText(), QString());
    EXPECT_EQ(window->frameTimes.lastFrameTime, -1);  // the log's time state did not move
}

TEST_F(DebugFrameTest, LoggedAsDebugLinesOrRawLines)
{
    startLogging();
    clock.set(2026, 12, 8, 10, 0, 1, 250);
    postFrame(FRAME_KIND_DEBUG, "96 A0 -0A 0A1B2C");
    window->rawTextButton->setChecked(true);
    clock.set(2026, 12, 8, 10, 0, 2, 0);
    postFrame(FRAME_KIND_DEBUG, "5A 3C +1E 000001");
    EXPECT_EQ(logBytes().substr(94),
              "[96 A0 -0A 0A1B2C];08/12/2026;10:00:01;0.250;;0A1B2Ch;0.000;0.000;150;160\r\n"
              "[5A 3C +1E 000001];08/12/2026;10:00:02;0.000\r\n");
    EXPECT_EQ(fieldText(idc::Id), "0A1B2C");  // raw text mode leaves the fields alone
}

}  // namespace
}  // namespace varno::testing
