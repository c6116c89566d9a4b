// Frame events reaching the real main window, and the reader frame decoder.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <thread>

#include "app/main_window.h"
#include "link/frame_assembler.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using link::FRAME_KIND_DEBUG;
using link::FRAME_KIND_READER;

class ReaderFrameTest : public WindowTest {
public:
    struct Fields {
        std::string frame, p1, p1Hex, id, p2, p2Hex, dpHex;
        bool operator==(const Fields&) const = default;
    };
    Fields fields() const
    {
        return {fieldText(idc::Frame), fieldText(idc::P1), fieldText(idc::P1Hex), fieldText(idc::Id),
                fieldText(idc::P2),    fieldText(idc::P2Hex), fieldText(idc::DpHex)};
    }
};

void PrintTo(const ReaderFrameTest::Fields& f, std::ostream* os)
{
    *os << f.frame << '|' << f.p1 << '|' << f.p1Hex << '|' << f.id << '|' << f.p2 << '|' << f.p2Hex << '|' << f.dpHex;
}

TEST_F(ReaderFrameTest, TheThreeLengthsFillTheReceivedFields)
{
    struct Case {
        std::string text;
        Fields expected;
    };
    const Case cases[] = {
        {"5A0A1B2CABCD", {"[5A0A1B2CABCD]", "90", "5A", "0A1B2C", " --- ", " -- ", " --- "}},
        {"960A1B2CAB", {"[960A1B2CAB]", "150", "96", "0A1B2C", " --- ", " -- ", " --- "}},
        {"FF0A1BAB", {"[FF0A1BAB]", "255", "FF", "0A1B", " --- ", " -- ", " --- "}},
        {"ZZ0A1B2CABCD", {"[ZZ0A1B2CABCD]", "0", "ZZ", "0A1B2C", " --- ", " -- ", " --- "}},
        // Stream bytes are Windows-1252: 0x80 is the euro sign, not a C1 control.
        {"5A\x80" "A1B2CABCD", {"[5A\x80" "A1B2CABCD]", "90", "5A", "\x80" "A1B2C", " --- ", " -- ", " --- "}},
    };
    for (const Case& c : cases) {
        postFrame(FRAME_KIND_READER, c.text);
        EXPECT_EQ(fields(), c.expected) << c.text;
        EXPECT_EQ(window->frameText, "[" + c.text + "]");
    }
    window->showFields();
    EXPECT_EQ(window->edit(idc::Id)->text(), QString::fromUtf8("€A1B2C"));
}

TEST_F(ReaderFrameTest, KindFollowsTheTextNotTheTerminator)
{
    // A 352 event without a sign is still a reader frame.
    postFrame(FRAME_KIND_DEBUG, "5A0A1B2CABCD");
    EXPECT_EQ(fieldText(idc::P1), "90");
}

TEST_F(ReaderFrameTest, OtherLengthsAndUnknownKindsChangeNothing)
{
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    const Fields before = fields();
    window->button(idc::XSync)->setChecked(true);  // a decoded frame would start the X-sync timer

    for (const char* text : {"5A0A1B2CA", "5A0A1B2CABC", "", "5A0A1B2CABCDEF"}) {
        postFrame(FRAME_KIND_READER, text);
        EXPECT_EQ(fields(), before) << text;
        EXPECT_EQ(window->frameText, std::string("[") + text + "]");
    }
    EXPECT_EQ(window->xSyncTimerId, 0);

    postFrame(123, "960A1B2CABCD");
    EXPECT_EQ(fields(), before);
    window->OnFrameEvent(FRAME_KIND_READER, nullptr);
    EXPECT_EQ(fields(), before);
}

TEST_F(ReaderFrameTest, FilterDropsTagsOutsideTheRangeButRearmsTheTimer)
{
    window->filterLow = 0x100;
    window->filterHigh = 0x1FF;
    window->button(idc::FilterOn)->setChecked(true);
    window->button(idc::XSync)->setChecked(true);

    postFrame(FRAME_KIND_READER, "5A000150ABCD");
    EXPECT_EQ(fieldText(idc::Id), "000150");
    window->killTimer(window->xSyncTimerId);
    window->xSyncTimerId = 0;

    postFrame(FRAME_KIND_READER, "60000200ABCD");
    EXPECT_EQ(fieldText(idc::Id), "000150");
    EXPECT_EQ(fieldText(idc::P1), "90");
    EXPECT_NE(window->xSyncTimerId, 0);

    // With the filter off every tag passes.
    window->button(idc::FilterOn)->setChecked(false);
    postFrame(FRAME_KIND_READER, "60000200ABCD");
    EXPECT_EQ(fieldText(idc::Id), "000200");
}

TEST_F(ReaderFrameTest, PassesTagFilterReadsTheIdentifierLeniently)
{
    window->filterLow = 0x10;
    window->filterHigh = 0x20;
    EXPECT_TRUE(window->PassesTagFilter("000015"));
    EXPECT_TRUE(window->PassesTagFilter("000010"));
    EXPECT_TRUE(window->PassesTagFilter("000020"));
    EXPECT_FALSE(window->PassesTagFilter("000021"));
    EXPECT_FALSE(window->PassesTagFilter("00000F"));
    EXPECT_TRUE(window->PassesTagFilter("15ZZZZ"));  // conversion stops at Z
}

TEST_F(ReaderFrameTest, FramesHandedOverFromAnotherThreadAreHandledInStreamOrder)
{
    // Raw text mode logs every frame whatever its shape: the log shows the
    // order the window handled them in.
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    window->workingDirectory = dir.path();
    window->button(idc::Log)->click();
    ASSERT_EQ(window->loggingOn, 1);
    window->rawTextButton->setChecked(true);

    std::string stream;
    std::vector<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        char frame[16];
        std::snprintf(frame, sizeof frame, "%02X%06XAB", i % 256, i);
        expected.push_back(std::string("[") + frame + "]");
        stream += std::string("[") + frame + "]\r\n";
    }
    std::thread reception([&, handOver = window->frameHandOver] {
        link::FrameAssembler assembler;
        const auto sink = link::handOverSink(handOver);
        // Blocks of 32 bytes, as a socket would hand them over.
        for (std::size_t i = 0; i < stream.size(); i += 32)
            assembler.feed(std::string_view(stream).substr(i, 32), window->clock->nowMillis(), sink);
        handOver->flush();
    });
    reception.join();
    ASSERT_TRUE(waitUntil([&] { return window->frameHandOver->taken() == 2000; }));

    std::vector<std::string> logged;
    const std::string bytes = readBytes(window->logFilePath);
    for (std::size_t start = bytes.find("\r\n") + 2, end; (end = bytes.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        logged.push_back(bytes.substr(start, bytes.find(';', start) - start));
    EXPECT_EQ(logged, expected);
    // The window handled nothing while the thread ran: one wake-up for all.
    EXPECT_EQ(window->frameHandOver->wakeUps(), 1);
}

}  // namespace
}  // namespace varno::testing
