// The event text view: echoed frames, appended texts, the trim and the scroll.

#include <QCheckBox>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <cstdio>
#include <ctime>

#include "app/main_window.h"
#include "log/clock.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;

// Local time is UTC here, so a time stamp reads the same on every machine.
class UtcClock final : public log::Clock {
public:
    std::int64_t nowSeconds() const override { return 0; }
    log::ClockReading nowMillis() const override { return {}; }
    bool toLocal(std::int64_t seconds, std::tm& out) const override
    {
        if (fails)
            return false;
        const auto t = static_cast<std::time_t>(seconds);
        return gmtime_r(&t, &out) != nullptr;
    }
    bool fails = false;
};

constexpr std::int64_t k201349 = 20 * 3600 + 13 * 60 + 49;  // 20:13:49 on the first day

struct Piece {
    QString text;
    QColor colour;
    bool operator==(const Piece&) const = default;
};

void PrintTo(const Piece& r, std::ostream* os)
{
    *os << '"' << r.text.toStdString() << "\" " << r.colour.name().toStdString();
}

class TextViewTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        window->clock = &clock;
    }

    QTextDocument* document() const { return window->textView->document(); }
    QString plain() const { return document()->toPlainText(); }
    QString line(int n) const { return document()->findBlockByNumber(n).text(); }

    // The view's text cut where its character format changes.
    std::vector<Piece> runs() const
    {
        std::vector<Piece> result;
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it)
                result.push_back({it.fragment().text(), it.fragment().charFormat().foreground().color()});
        }
        return result;
    }

    static std::string frame(int i)
    {
        char text[32];
        std::snprintf(text, sizeof text, "[%02X%06XAB]", i % 256, i);
        return text;
    }

    UtcClock clock;
};

const QColor kGrey(0x7F, 0x7F, 0x7F);
const QColor kBlack(0, 0, 0);

TEST_F(TextViewTest, EchoIsAGreyTimeStampAndTheFrameInBlackOnOneLine)
{
    window->EchoFrame(k201349, "[5A0A1B2CABCD]");
    window->EchoFrame(k201349 + 1, "[960A1B2CAB]");

    EXPECT_EQ(plain(), "20:13:49 > [5A0A1B2CABCD]\n20:13:50 > [960A1B2CAB]\n");
    EXPECT_EQ(document()->blockCount(), 3);
    const std::vector<Piece> expected = {
        {"20:13:49 > ", kGrey}, {"[5A0A1B2CABCD]", kBlack}, {"20:13:50 > ", kGrey}, {"[960A1B2CAB]", kBlack}};
    EXPECT_EQ(runs(), expected);
    EXPECT_EQ(window->textLineLength, 0);

    // Each insertion carries its colour and nothing else: no weight, no font.
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_EQ(it.fragment().charFormat().properties().keys(), QList<int>{QTextFormat::ForegroundBrush});
    }
}

TEST_F(TextViewTest, StampIsEmptyWhenTheTimeCannotBeConverted)
{
    clock.fails = true;
    window->EchoFrame(k201349, "[5A0A1B2CABCD]");
    EXPECT_EQ(plain(), " > [5A0A1B2CABCD]\n");
}

TEST_F(TextViewTest, FrameBytesAppearVerbatimNeverAsMarkupOrFormat)
{
    const std::string hostile = "[<b>%s%n%x</b>&amp;<img src=x>\x80]";
    window->EchoFrame(k201349, hostile);
    EXPECT_EQ(line(0), QString::fromUtf8("20:13:49 > [<b>%s%n%x</b>&amp;<img src=x>€]"));
    for (const Piece& r : runs())
        EXPECT_TRUE(r.colour == kGrey || r.colour == kBlack) << r.text.toStdString();
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_FALSE(it.fragment().charFormat().isImageFormat());
    }
}

TEST_F(TextViewTest, ControlCharactersOfAFrameKeepItOnItsLine)
{
    // The stream may put line breaks or NUL inside a frame: still one line,
    // each control character shown as its symbol.
    window->EchoFrame(k201349, std::string("[AB\r\nC\0D\x7f\tE]", 12));
    EXPECT_EQ(document()->blockCount(), 2);
    EXPECT_EQ(line(0), QString::fromUtf8("20:13:49 > [AB␍␊C␀D␡\tE]"));
}

TEST_F(TextViewTest, AppendedTextBreaksItsLinePastFiftyCharacters)
{
    struct Append {
        std::string text;
        int lineBreak;
    };
    struct Case {
        const char* name;
        std::vector<Append> appends;
        std::string plain;
        int lineLength;
    };
    const std::string s20(20, 'a'), s30(30, 'b'), s60(60, 'c');
    const Case cases[] = {
        // The text that goes past 50 is inserted whole, then the line breaks.
        {"sixty onto an empty line", {{s60, 0}}, s60 + "\n", 0},
        {"thirty then thirty", {{s30, 0}, {s30, 0}}, s30 + s30 + "\n", 0},
        {"exactly fifty stays open", {{s20, 0}, {s30, 0}}, s20 + s30, 50},
        {"fifty-one breaks", {{s20, 0}, {s30, 0}, {"x", 0}}, s20 + s30 + "x\n", 0},
        {"explicit break", {{"abc", 1}}, "abc\n", 0},
        {"empty text with a break", {{"", 1}}, "\n", 0},
        {"a text holding a line feed ends the count", {{s30, 0}, {"ab\ncd", 0}, {"x", 0}}, s30 + "ab\ncdx", 1},
    };
    for (const Case& c : cases) {
        window->AppendText("", 0, 1, 0);  // clear first
        ASSERT_EQ(plain(), "") << c.name;
        ASSERT_EQ(window->textLineLength, 0) << c.name;
        for (const Append& a : c.appends)
            window->AppendText(a.text, 0x0000FF, 0, a.lineBreak);
        EXPECT_EQ(plain().toStdString(), c.plain) << c.name;
        EXPECT_EQ(window->textLineLength, c.lineLength) << c.name;
    }
    // The colour is a COLORREF: 0x0000FF is red.
    EXPECT_EQ(runs().front().colour, QColor(255, 0, 0));
}

TEST_F(TextViewTest, ReachingTheLineLimitDropsTheOlderHalfFirst)
{
    for (int i = 0; i < 1023; ++i)
        window->EchoFrame(k201349, frame(i));
    // 1023 lines and the empty last one.
    ASSERT_EQ(document()->blockCount(), 1024);
    ASSERT_EQ(line(0), QString::fromStdString("20:13:49 > " + frame(0)));

    window->EchoFrame(k201349 + 1, frame(1023));
    // Lines 0 to 511 went before the new line came.
    EXPECT_EQ(document()->blockCount(), 513);
    EXPECT_EQ(line(0), QString::fromStdString("20:13:49 > " + frame(512)));
    EXPECT_EQ(line(511), QString::fromStdString("20:13:50 > " + frame(1023)));
    EXPECT_EQ(line(512), "");
    // The stamp of the new line kept its grey after the trim.
    EXPECT_EQ(runs()[runs().size() - 2], (Piece{"20:13:50 > ", kGrey}));
}

TEST_F(TextViewTest, LongRunStaysBoundedWithTheNewestLineInSight)
{
    QTest::mouseClick(window->rawTextButton, Qt::LeftButton);
    ASSERT_TRUE(window->textView->isVisible());

    int most = 0;
    for (int i = 0; i < 5000; ++i) {
        window->EchoFrame(k201349, frame(i));
        most = std::max(most, document()->blockCount());
        if (i % 97 == 0)
            processEvents();
    }
    processEvents();
    EXPECT_LE(most, 1024);
    EXPECT_EQ(document()->availableUndoSteps(), 0);  // no history of the frames kept either
    EXPECT_EQ(line(document()->blockCount() - 2), QString::fromStdString("20:13:49 > " + frame(4999)));

    QScrollBar* bar = window->textView->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    QTextCursor newest(document()->findBlockByNumber(document()->blockCount() - 2));
    EXPECT_TRUE(window->textView->viewport()->rect().contains(window->textView->cursorRect(newest)));
}

}  // namespace
}  // namespace varno::testing
