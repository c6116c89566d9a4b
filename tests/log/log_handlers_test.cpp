// The "Enregister" button, the day check and the lines of a logging session,
// through the real window and real files.

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QTextEdit>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/file_size_limit.h"
#include "support/scratch_mount.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "support/window_fixture.h"
#include "ui/status_line.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using link::FRAME_KIND_DEBUG;
using link::FRAME_KIND_READER;

const std::string kHeader =
    "Trame re\xE7ue;Date;Heure;msec;ID Lecteur (hexa);ID Tag (hexa);t(sec);dt(sec);P1 (d\xE9" "c);P2 (d\xE9" "c)\r\n";

std::vector<std::string> splitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    if (start != bytes.size())
        lines.push_back(bytes.substr(start));  // a half line: never expected
    return lines;
}

class LogTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_FALSE(dir.path().empty());
        window->clock = &clock;
        window->workingDirectory = dir.path();
        clock.set(2026, 12, 8, 10, 0, 0);
    }

    void clickLog() { window->button(idc::Log)->click(); }

    void frameAt(int hour, int minute, int second, int millis, int kind, const std::string& text)
    {
        clock.set(2026, 12, 8, hour, minute, second, millis);
        postFrame(kind, text);
    }

    // A frame that arrived at `arrival` and waits in the hand-over.
    void queueFrame(int kind, const std::string& text, log::ClockReading arrival)
    {
        auto event = std::make_unique<link::FrameEvent>();
        event->text = text;
        event->arrivalTime = arrival;
        window->frameHandOver->push(kind, std::move(event));
    }
    // The window gets round to the waiting frames, at the clock's time now.
    void handleQueued()
    {
        window->frameHandOver->flush();
        processEvents();
    }

    bool logButtonDown() const { return window->button(idc::Log)->isChecked(); }

    // Logging is off in every way the window shows it.
    void expectLoggingOff()
    {
        EXPECT_EQ(window->loggingOn, 0);
        EXPECT_EQ(window->logFileOpen, 0);
        EXPECT_FALSE(window->logFile.isOpen());
        EXPECT_FALSE(logButtonDown());
        EXPECT_EQ(fieldText(idc::LogFileName), "");
    }

    // One box: its first line `what`, then the file's full path and `reason`.
    void expectOneLogAlert(const char* what, const std::string& path, const char* reason)
    {
        ASSERT_EQ(alerts.shown.size(), 1U);
        EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(what) + '\n' + QString::fromStdString(path)
                                            + QStringLiteral(" : ") + QString::fromUtf8(reason));
        EXPECT_EQ(alerts.shown[0].caption, QStringLiteral("KAVRO Log Master"));
        EXPECT_EQ(alerts.shown[0].icon, ui::AlertIcon::None);
    }

    TempDir dir;
    TestClock clock;
};

TEST_F(LogTest, ASessionWritesTheHandWrittenFileByteForByte)
{
    clickLog();
    ASSERT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(logButtonDown());
    EXPECT_EQ(fieldText(idc::LogFileName), "VARNO_08122026_10h00.csv");
    EXPECT_EQ(window->logFilePath, dir.file("VARNO_08122026_10h00.csv"));

    frameAt(10, 0, 0, 900, FRAME_KIND_READER, "5A0A1B2CABCD");
    frameAt(10, 0, 1, 100, FRAME_KIND_READER, "960A1B2CAB");  // dt borrows a second: 0.200
    frameAt(10, 0, 2, 50, FRAME_KIND_DEBUG, "5A 3C +1E 0A1B2C");
    frameAt(10, 0, 2, 500, FRAME_KIND_READER, "5A0A1B2CA");  // no reader length: not logged, no time step
    frameAt(10, 0, 3, 0, FRAME_KIND_READER, "FF0A1BAB");
    frameAt(10, 0, 4, 999, FRAME_KIND_DEBUG, "-1 C8 -37 00ABCD");  // P1 reads as -1: its low byte is 255
    frameAt(10, 0, 5, 0, FRAME_KIND_READER, "5A%s%n%dABCD");

    // Raw text mode: four columns for every frame, whatever its shape.
    window->rawTextButton->setChecked(true);
    frameAt(10, 0, 6, 250, FRAME_KIND_READER, "5A0A1B2CABCD");
    frameAt(10, 0, 6, 500, FRAME_KIND_READER, "5A0A1B2CA");
    frameAt(10, 0, 7, 0, FRAME_KIND_DEBUG, "5A 3C +1E 0A1B2C");
    frameAt(10, 0, 7, 1, FRAME_KIND_READER, "\x80\xE9");
    window->rawTextButton->setChecked(false);

    // Off and on again within the minute: the same file, a second header.
    clock.set(2026, 12, 8, 10, 0, 30);
    clickLog();
    EXPECT_FALSE(logButtonDown());
    EXPECT_EQ(fieldText(idc::LogFileName), "");
    clock.set(2026, 12, 8, 10, 0, 45);
    clickLog();
    EXPECT_EQ(fieldText(idc::LogFileName), "VARNO_08122026_10h00.csv");
    frameAt(10, 0, 50, 0, FRAME_KIND_READER, "5A0A1B2CABCD");  // t and dt run on across the stop

    // Fields holding ';' or '"' are quoted, so every line keeps its columns.
    frameAt(10, 0, 51, 0, FRAME_KIND_READER, "5A0A;\"2CABCD");
    frameAt(10, 0, 52, 500, FRAME_KIND_DEBUG, "5A 3C +1E 0A;\"2C");
    window->rawTextButton->setChecked(true);
    frameAt(10, 0, 53, 0, FRAME_KIND_READER, "x;\"y");
    window->rawTextButton->setChecked(false);

    EXPECT_TRUE(alerts.shown.empty());
    const std::string golden = readBytes(VARNO_LOG_TEST_DATA "/VARNO_08122026_10h00.csv");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(readBytes(dir.file("VARNO_08122026_10h00.csv")), golden);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Line breaks inside frames (a reader frame closed after its CR LF, a debug
// line cut short, anything in raw text mode) must not cut a frame's line.
TEST_F(LogTest, FramesHoldingLineBreaksTakeOneLineEach)
{
    clickLog();
    frameAt(10, 0, 0, 100, FRAME_KIND_READER, "5A0A1B2C\r\n");
    frameAt(10, 0, 0, 200, FRAME_KIND_DEBUG, "816\r\nA7 A8 -01 E");
    window->rawTextButton->setChecked(true);
    frameAt(10, 0, 0, 300, FRAME_KIND_READER, "0A1B2\n");
    window->rawTextButton->setChecked(false);

    EXPECT_EQ(readBytes(window->logFilePath),
              kHeader + "[5A0A1B2C  ];08/12/2026;10:00:00;0.100;  h;0A1B2Ch;0.000;0.000;90\r\n"
                        "[816  A7 A8 -01 E];08/12/2026;10:00:00;0.200;; -01 Eh;0.100;0.100;129;0\r\n"
                        "[0A1B2 ];08/12/2026;10:00:00;0.300\r\n");
    EXPECT_TRUE(alerts.shown.empty());
}

// The fields of one CSV line as a spreadsheet reads them: ';' between fields,
// a field between double quotes may hold ';' and doubled quotes.
std::vector<std::string> csvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back().push_back('"');
            ++i;
        } else if (c == '"' && (quoted || fields.back().empty())) {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

// RecordFrame with fields holding ';' and '"': quoted, their quotes doubled,
// CR and LF still spaces; every line keeps the column count of its kind.
TEST_F(LogTest, FieldsHoldingSemicolonsOrQuotesAreQuotedAndKeepTheirColumn)
{
    struct Case {
        const char* what;
        enum { Reader, Debug, Raw } kind;
        std::string frame;  // bracketed
        std::string readerId, tagId;
        std::string line;   // after the time columns were cut out, see below
    };
    const Case cases[] = {
        {"plain reader frame", Case::Reader, "[5A0A1B2CABCD]", "ABCD", "0A1B2C",
         "[5A0A1B2CABCD];08/12/2026;10:00:00;0.100;ABCDh;0A1B2Ch;"},
        {"semicolon in the frame and the tag", Case::Reader, "[5A0A;B2CABCD]", "ABCD", "0A;B2C",
         "\"[5A0A;B2CABCD]\";08/12/2026;10:00:00;0.100;ABCDh;\"0A;B2Ch\";"},
        {"quote in the frame and the reader", Case::Reader, "[5A0A1B2CAB\"D]", "AB\"D", "0A1B2C",
         "\"[5A0A1B2CAB\"\"D]\";08/12/2026;10:00:00;0.100;\"AB\"\"Dh\";0A1B2Ch;"},
        {"a field that is only a quote", Case::Reader, "[5A0A1B2CAB\"]", "\"", "0A1B2C",
         "\"[5A0A1B2CAB\"\"]\";08/12/2026;10:00:00;0.100;\"\"\"h\";0A1B2Ch;"},
        {"line break and semicolon", Case::Reader, "[5A0A;\r\n2CABCD]", "ABCD", "0A;\r\n2C",
         "\"[5A0A;  2CABCD]\";08/12/2026;10:00:00;0.100;ABCDh;\"0A;  2Ch\";"},
        {"debug frame with both", Case::Debug, "[5A 3C +1E \";;\"2C]", "", "\";;\"2C",
         "\"[5A 3C +1E \"\";;\"\"2C]\";08/12/2026;10:00:00;0.100;;\"\"\";;\"\"2Ch\";"},
        {"raw line with a semicolon", Case::Raw, "[a;b]", "", "", "\"[a;b]\";08/12/2026;10:00:00;0.100"},
        {"raw line with quotes only", Case::Raw, "[\"\"]", "", "", "\"[\"\"\"\"]\";08/12/2026;10:00:00;0.100"},
        {"raw line without either", Case::Raw, "[a,b 'c']", "", "", "[a,b 'c'];08/12/2026;10:00:00;0.100"},
    };
    clickLog();
    clock.set(2026, 12, 8, 10, 0, 0, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t before = readBytes(window->logFilePath).size();
        window->rawTextButton->setChecked(c.kind == Case::Raw);
        window->frameArrivalTime = clock.nowMillis();
        if (c.kind == Case::Debug)
            window->RecordFrame(c.frame, decode::DebugFields{"5A", 90, "3C", 60, "+1E", c.tagId});
        else
            window->RecordFrame(c.frame, decode::ReaderFields{"5A", 90, c.tagId, c.readerId});
        std::string line = readBytes(window->logFilePath).substr(before);
        ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
        line.resize(line.size() - 2);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        const std::vector<std::string> fields = csvFields(line);
        // Reader lines have nine columns, debug lines ten, raw lines four.
        const std::size_t columns = c.kind == Case::Reader ? 9 : c.kind == Case::Debug ? 10 : 4;
        ASSERT_EQ(fields.size(), columns) << line;
        std::string frameColumn = c.frame;
        std::replace(frameColumn.begin(), frameColumn.end(), '\r', ' ');
        std::replace(frameColumn.begin(), frameColumn.end(), '\n', ' ');
        EXPECT_EQ(fields[0], frameColumn);
        if (c.kind == Case::Raw) {
            EXPECT_EQ(line, c.line);
            continue;
        }
        std::string tagColumn = c.tagId + "h";
        std::replace(tagColumn.begin(), tagColumn.end(), '\r', ' ');
        std::replace(tagColumn.begin(), tagColumn.end(), '\n', ' ');
        EXPECT_EQ(fields[5], tagColumn);
        EXPECT_EQ(fields[4], c.kind == Case::Reader ? c.readerId + "h" : "");
        EXPECT_EQ(fields[8], "90");
        // Everything up to the t column, byte for byte.
        EXPECT_EQ(line.substr(0, c.line.size()), c.line);
    }
    window->rawTextButton->setChecked(false);
    EXPECT_TRUE(alerts.shown.empty());
}

// Where the log goes is shown while logging: the full path in the tool-tip of
// the file name field and on the status line.
TEST_F(LogTest, TheOpenFilesFullPathIsShownWhileLogging)
{
    QLineEdit* name = window->edit(idc::LogFileName);
    EXPECT_EQ(name->toolTip(), "");
    EXPECT_EQ(window->statusLine->logPath(), "");

    clickLog();
    const QString path = QString::fromStdString(dir.file("VARNO_08122026_10h00.csv"));
    EXPECT_EQ(name->toolTip(), path);
    EXPECT_EQ(window->statusLine->logPath(), path);
    EXPECT_EQ(window->statusLine->shownLogText(), QStringLiteral("Log : ") + path);

    // A folder too long for the line gives way in its middle; the file's
    // name stays whole.
    clickLog();
    const std::string deep = dir.file(std::string(120, 'd') + "/" + std::string(120, 'e'));
    std::filesystem::create_directories(deep);
    window->workingDirectory = deep;
    clickLog();
    const QString shown = window->statusLine->shownLogText();
    EXPECT_EQ(window->statusLine->logPath(), QString::fromStdString(deep + "/VARNO_08122026_10h00.csv"));
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Log : ") + QString::fromStdString(dir.path().substr(0, 4))))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("e/VARNO_08122026_10h00.csv"))) << shown.toStdString();
    EXPECT_LT(window->statusLine->fontMetrics().horizontalAdvance(shown), window->width());
    window->workingDirectory = dir.path();

    clickLog();
    EXPECT_EQ(name->toolTip(), "");
    EXPECT_EQ(window->statusLine->logPath(), "");
    EXPECT_EQ(window->statusLine->shownLogText(), "");

    // A renewal shows the new file; a failed one shows none.
    clock.set(2026, 12, 8, 23, 59, 0);
    clickLog();
    clock.set(2026, 12, 9, 0, 0, 1);
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    EXPECT_EQ(name->toolTip(), QString::fromStdString(dir.file("VARNO_09122026_00h00.csv")));
    EXPECT_EQ(window->statusLine->logPath(), name->toolTip());
    window->workingDirectory = dir.file("gone");
    clock.set(2026, 12, 10, 0, 0, 1);
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    EXPECT_EQ(alerts.shown.size(), 1U);
    EXPECT_EQ(name->toolTip(), "");
    EXPECT_EQ(window->statusLine->logPath(), "");
}

// Started from a desktop menu, a program's directory is often "/": the log
// goes to the home folder instead, and the status line says where.
TEST_F(LogTest, StartedInTheRootTheWindowLogsIntoTheHomeFolder)
{
    const std::string home = dir.file("home");
    std::filesystem::create_directory(home);
    const std::filesystem::path before = std::filesystem::current_path();
    const char* savedHome = std::getenv("HOME");
    const std::string previousHome = savedHome != nullptr ? savedHome : "";
    ::setenv("HOME", home.c_str(), 1);
    std::filesystem::current_path("/");
    auto started = std::make_unique<app::CVARNODlg>();
    std::filesystem::current_path(before);
    if (savedHome != nullptr)
        ::setenv("HOME", previousHome.c_str(), 1);
    else
        ::unsetenv("HOME");

    EXPECT_EQ(started->workingDirectory, home);
    started->clock = &clock;
    started->button(idc::Log)->click();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(readBytes(home + "/VARNO_08122026_10h00.csv"), kHeader);
    EXPECT_EQ(started->edit(idc::LogFileName)->toolTip(), QString::fromStdString(home + "/VARNO_08122026_10h00.csv"));
    EXPECT_EQ(started->statusLine->logPath(), started->edit(idc::LogFileName)->toolTip());
}

TEST_F(LogTest, TimeOfDayAndMillisecondsComeFromOneReading)
{
    // The whole-second clock still shows 10:00:01 when the millisecond clock
    // has reached 10:00:02.000.
    struct StraddlingClock final : log::Clock {
        std::int64_t nowSeconds() const override { return base.nowSeconds() - 1; }
        log::ClockReading nowMillis() const override { return base.nowMillis(); }
        bool toLocal(std::int64_t seconds, std::tm& out) const override { return base.toLocal(seconds, out); }
        TestClock base;
    } straddling;
    straddling.base.set(2026, 12, 8, 10, 0, 2, 0);
    window->clock = &straddling;
    clickLog();
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    EXPECT_EQ(readBytes(window->logFilePath).substr(kHeader.size()),
              "[5A0A1B2CABCD];08/12/2026;10:00:02;0.000;ABCDh;0A1B2Ch;0.000;0.000;90\r\n");
    window->clock = &clock;
}

TEST_F(LogTest, TheFirstFrameAfterMidnightGoesIntoANewFile)
{
    clock.set(2026, 12, 31, 23, 59, 30);
    clickLog();
    clock.set(2026, 12, 31, 23, 59, 59, 900);
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    clock.set(2027, 1, 1, 0, 0, 0, 100);
    postFrame(FRAME_KIND_READER, "960A1B2CABCD");

    EXPECT_EQ(readBytes(dir.file("VARNO_31122026_23h59.csv")),
              kHeader + "[5A0A1B2CABCD];31/12/2026;23:59:59;0.900;ABCDh;0A1B2Ch;0.000;0.000;90\r\n");
    EXPECT_EQ(readBytes(dir.file("VARNO_01012027_00h00.csv")),
              kHeader + "[960A1B2CABCD];01/01/2027;00:00:00;0.100;ABCDh;0A1B2Ch;0.200;0.200;150\r\n");
    EXPECT_TRUE(logButtonDown());
    EXPECT_EQ(fieldText(idc::LogFileName), "VARNO_01012027_00h00.csv");
    EXPECT_EQ(window->currentDate, "01012027");
    EXPECT_EQ(window->previousDate, "31122026");
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(LogTest, FramesGoToTheDayTheyArrivedOnHoweverLateTheyAreHandled)
{
    clock.set(2026, 12, 31, 23, 59, 30);
    clickLog();
    // Two frames that arrived before midnight; the window gets round to them after it.
    queueFrame(FRAME_KIND_READER, "5A0A1B2CABCD", TestClock::at(2026, 12, 31, 23, 59, 59, 990));
    queueFrame(FRAME_KIND_DEBUG, "5A 3C +1E 0A1B2C", TestClock::at(2026, 12, 31, 23, 59, 59, 999));
    clock.set(2027, 1, 1, 0, 0, 0, 10);
    handleQueued();
    EXPECT_EQ(readBytes(dir.file("VARNO_31122026_23h59.csv")),
              kHeader + "[5A0A1B2CABCD];31/12/2026;23:59:59;0.990;ABCDh;0A1B2Ch;0.000;0.000;90\r\n"
                        "[5A 3C +1E 0A1B2C];31/12/2026;23:59:59;0.999;;0A1B2Ch;0.009;0.009;90;60\r\n");
    EXPECT_EQ(fieldText(idc::LogFileName), "VARNO_31122026_23h59.csv");
    EXPECT_EQ(window->currentDate, "31122026");

    // The first frame that arrived after midnight opens the new day's file.
    queueFrame(FRAME_KIND_READER, "960A1B2CABCD", TestClock::at(2027, 1, 1, 0, 0, 0, 2));
    clock.set(2027, 1, 1, 0, 0, 0, 20);
    handleQueued();
    EXPECT_EQ(readBytes(dir.file("VARNO_01012027_00h00.csv")),
              kHeader + "[960A1B2CABCD];01/01/2027;00:00:00;0.002;ABCDh;0A1B2Ch;0.012;0.003;150\r\n");
    EXPECT_EQ(fieldText(idc::LogFileName), "VARNO_01012027_00h00.csv");
    EXPECT_EQ(window->currentDate, "01012027");
    EXPECT_EQ(window->previousDate, "31122026");
    EXPECT_TRUE(logButtonDown());
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(LogTest, AFrameThatArrivedBeforeLoggingWasSwitchedOnAfterMidnightRenewsNothing)
{
    queueFrame(FRAME_KIND_READER, "5A0A1B2CABCD", TestClock::at(2026, 12, 8, 23, 59, 59, 995));
    clock.set(2026, 12, 9, 0, 0, 0, 5);
    clickLog();  // before the window got round to the frame
    handleQueued();
    queueFrame(FRAME_KIND_READER, "960A1B2CABCD", TestClock::at(2026, 12, 9, 0, 0, 0, 30));
    handleQueued();
    EXPECT_EQ(readBytes(dir.file("VARNO_09122026_00h00.csv")),
              kHeader + "[5A0A1B2CABCD];08/12/2026;23:59:59;0.995;ABCDh;0A1B2Ch;0.000;0.000;90\r\n"
                        "[960A1B2CABCD];09/12/2026;00:00:00;0.030;ABCDh;0A1B2Ch;0.035;0.035;150\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(LogTest, RawLinesAndTheirEchoTellTheArrivalTimeToo)
{
    clickLog();
    window->rawTextButton->setChecked(true);
    queueFrame(FRAME_KIND_READER, "5A0A1B2CABCD", TestClock::at(2026, 12, 8, 10, 0, 0, 250));
    queueFrame(FRAME_KIND_READER, "5A0A1B2CA", TestClock::at(2026, 12, 8, 10, 0, 0, 251));
    clock.set(2026, 12, 8, 10, 0, 7, 0);
    handleQueued();
    EXPECT_EQ(readBytes(window->logFilePath),
              kHeader + "[5A0A1B2CABCD];08/12/2026;10:00:00;0.250\r\n[5A0A1B2CA];08/12/2026;10:00:00;0.251\r\n");
    const QString echoed = window->textView->toPlainText();
    EXPECT_EQ(echoed.count(QStringLiteral("10:00:00 > ")), 2) << echoed.toStdString();
    EXPECT_FALSE(echoed.contains(QStringLiteral("10:00:07"))) << echoed.toStdString();
}

TEST_F(LogTest, SwitchingOnALaterDayKeepsTheFileJustOpened)
{
    // The last day check was long ago.
    window->currentDate = window->previousDate = "01012020";
    clickLog();
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    EXPECT_EQ(splitLines(readBytes(dir.file("VARNO_08122026_10h00.csv"))).size(), 2U);
    EXPECT_EQ(window->currentDate, "08122026");
}

TEST_F(LogTest, ARenewalThatCannotOpenLeavesLoggingOff)
{
    clock.set(2026, 12, 8, 23, 59, 0);
    clickLog();
    window->workingDirectory = dir.file("gone");
    clock.set(2026, 12, 9, 0, 0, 1);
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");

    expectOneLogAlert("Impossible d'ouvrir le fichier Log", dir.file("gone/VARNO_09122026_00h00.csv"),
                      "fichier ou périphérique introuvable");
    expectLoggingOff();
    EXPECT_EQ(fieldText(idc::Frame), "[5A0A1B2CABCD]");
    EXPECT_EQ(readBytes(dir.file("VARNO_08122026_23h59.csv")), kHeader);
    postFrame(FRAME_KIND_READER, "960A1B2CABCD");
    EXPECT_EQ(fieldText(idc::Frame), "[960A1B2CABCD]");
    EXPECT_EQ(alerts.shown.size(), 1U);
    EXPECT_EQ(readBytes(dir.file("VARNO_08122026_23h59.csv")), kHeader);
}

TEST_F(LogTest, AFileThatCannotBeOpenedLeavesLoggingOff)
{
    std::filesystem::create_directory(dir.file("read-only"));
    ScratchTmpfs readOnly;
    const bool mounted = readOnly.mount(dir.file("read-only"), 4096, true);
    const std::string name = "VARNO_08122026_10h00.csv";
    writeBytes(dir.file(name), "another logger's line\r\n");

    struct Case {
        const char* what;
        std::string directory;
        const char* reason;
    };
    std::vector<Case> cases = {{"missing directory", dir.file("missing"), "fichier ou périphérique introuvable"},
                               {"locked file", dir.path(), "utilisé par un autre programme"}};
    // A directory that even root cannot write into needs a mount.
    if (mounted)
        cases.push_back({"read-only directory", dir.file("read-only"), "système de fichiers en lecture seule"});
    else
        std::printf("cannot mount a tmpfs here (not root?): the read-only directory is not tried\n");

    // Another program holds the file with its lock.
    const int holder = ::open(dir.file(name).c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        alerts.shown.clear();
        window->workingDirectory = c.directory;
        clickLog();
        expectOneLogAlert("Impossible d'ouvrir le fichier Log", c.directory + "/" + name, c.reason);
        expectLoggingOff();
        postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
        EXPECT_EQ(fieldText(idc::P1), "90");
        EXPECT_EQ(alerts.shown.size(), 1U);
    }
    ::close(holder);
    EXPECT_EQ(readBytes(dir.file(name)), "another logger's line\r\n");
}

// The diagnostics say which file failed and why, and only when asked for.
TEST_F(LogTest, AnOpenFailureIsReportedOnTheLogCategoryWhenItIsOn)
{
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (QLatin1String(context.category) == QLatin1String("varno.log"))
                messages << text;
        });
    window->workingDirectory = dir.file("missing");

    clickLog();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    QLoggingCategory::setFilterRules(QStringLiteral("varno.log.info=true"));
    clickLog();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(dir.file("missing/VARNO_08122026_10h00.csv"))))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("errno %1").arg(ENOENT))) << messages[0].toStdString();
}

// A name taken by anything but a regular file is refused: a symbolic link
// planted in the log's folder must not steer the frames into its target.
TEST_F(LogTest, ANameThatIsNoRegularFileIsRefusedAndNothingIsWritten)
{
    const std::string name = "VARNO_08122026_10h00.csv";
    writeBytes(dir.file("target.txt"), "the user's own file\n");
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
        const char* reason;
    };
    const Case cases[] = {
        {"symbolic link to a file", [&](const std::string& path) { ::symlink(dir.file("target.txt").c_str(), path.c_str()); },
         "c'est un lien symbolique"},
        {"dangling symbolic link", [&](const std::string& path) { ::symlink(dir.file("created.txt").c_str(), path.c_str()); },
         "c'est un lien symbolique"},
        {"directory", [](const std::string& path) { std::filesystem::create_directory(path); }, "c'est un dossier"},
        {"FIFO", [](const std::string& path) { ::mkfifo(path.c_str(), 0666); }, "ce n'est pas un fichier ordinaire"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = dir.file("case" + std::to_string(n++));
        std::filesystem::create_directory(folder);
        c.make(folder + "/" + name);
        alerts.shown.clear();
        window->workingDirectory = folder;
        clickLog();
        expectOneLogAlert("Impossible d'ouvrir le fichier Log", folder + "/" + name, c.reason);
        expectLoggingOff();
        postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
        EXPECT_EQ(fieldText(idc::P1), "90");
    }
    EXPECT_EQ(readBytes(dir.file("target.txt")), "the user's own file\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("created.txt")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("case0/" + name)));
}

struct WriteFault {
    const char* name;
    enum { FileSizeLimit, FullDisk, RemovedFile } kind;
    const char* reason;
};

void PrintTo(const WriteFault& fault, std::ostream* os)
{
    *os << fault.name;
}

class LogWriteFaultTest : public LogTest, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(LogWriteFaultTest, StopsLoggingAndKeepsOnlyWholeLines)
{
    const WriteFault fault = GetParam();
    std::filesystem::create_directory(dir.file("small"));
    ScratchTmpfs small;
    std::unique_ptr<FileSizeLimit> limit;
    switch (fault.kind) {
    case WriteFault::FileSizeLimit:
        limit = std::make_unique<FileSizeLimit>(kHeader.size() + 250);
        break;
    case WriteFault::FullDisk:
        if (!small.mount(dir.file("small"), 4096, false))
            GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
        window->workingDirectory = dir.file("small");
        break;
    case WriteFault::RemovedFile:
        break;
    }
    clickLog();
    ASSERT_TRUE(alerts.shown.empty());
    const std::string path = window->logFilePath;

    // Frames until the one whose line does not fit.
    std::vector<std::string> frames;
    for (int i = 0; i < 200 && alerts.shown.empty(); ++i) {
        if (fault.kind == WriteFault::RemovedFile && i == 3) {
            ASSERT_EQ(::unlink(path.c_str()), 0);
        }
        char text[16];
        std::snprintf(text, sizeof text, "96%06XABCD", i);
        frames.emplace_back(text);
        clock.set(2026, 12, 8, 10, 0, 1, i);
        postFrame(FRAME_KIND_READER, text);
    }
    expectOneLogAlert("Impossible d'écrire dans le fichier Log", path, fault.reason);
    expectLoggingOff();

    if (fault.kind != WriteFault::RemovedFile) {
        // Every frame before the fault is in the file, whole; the failing one is not there at all.
        const std::string bytes = readBytes(path);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        const std::vector<std::string> lines = splitLines(bytes);
        ASSERT_EQ(lines.size(), frames.size());
        EXPECT_EQ(lines[0] + "\r\n", kHeader);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].rfind("[" + frames[i - 1] + "];08/12/2026;10:00:01;", 0), 0U) << lines[i];
            EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ';'), 8) << lines[i];
        }
    }

    // Decoding goes on, without a second box and without touching the file.
    const std::string before = readBytes(path);
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    postFrame(FRAME_KIND_DEBUG, "96 A0 +0A 0A1B2C");
    EXPECT_EQ(fieldText(idc::P2), "160");
    EXPECT_EQ(fieldText(idc::Id), "0A1B2C");
    EXPECT_EQ(alerts.shown.size(), 1U);
    EXPECT_EQ(readBytes(path), before);

    // Switching on again opens a new file once the cause is gone.
    limit.reset();
    window->workingDirectory = dir.path();
    clock.set(2026, 12, 8, 10, 1, 0);
    clickLog();
    EXPECT_EQ(alerts.shown.size(), 1U);
    EXPECT_TRUE(logButtonDown());
}

INSTANTIATE_TEST_SUITE_P(Faults, LogWriteFaultTest,
                         ::testing::Values(WriteFault{"FileSizeLimit", WriteFault::FileSizeLimit,
                                                      "taille de fichier maximale atteinte"},
                                           WriteFault{"FullDisk", WriteFault::FullDisk,
                                                      "aucun espace libre sur le disque"},
                                           WriteFault{"RemovedFile", WriteFault::RemovedFile,
                                                      "le fichier a été supprimé"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogTest, AHeaderThatCannotBeWrittenIsAWriteFailure)
{
    std::filesystem::create_directory(dir.file("small"));
    ScratchTmpfs small;
    if (!small.mount(dir.file("small"), 4096, false))
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    writeBytes(dir.file("small/VARNO_08122026_10h00.csv"), std::string(4050, 'x'));
    window->workingDirectory = dir.file("small");
    clickLog();
    expectOneLogAlert("Impossible d'écrire dans le fichier Log", dir.file("small/VARNO_08122026_10h00.csv"),
                      "aucun espace libre sur le disque");
    expectLoggingOff();
    EXPECT_EQ(readBytes(dir.file("small/VARNO_08122026_10h00.csv")), std::string(4050, 'x'));
}

// A real message box runs an event loop: frames keep arriving while it is up.
class FramesDuringTheBox final : public ui::Alerts {
public:
    explicit FramesDuringTheBox(std::function<void()> whileShown) : m_whileShown(std::move(whileShown)) {}
    void show(QWidget*, const QString& text, const QString&, ui::AlertIcon) override
    {
        texts << text;
        m_whileShown();
    }
    QStringList texts;

private:
    std::function<void()> m_whileShown;
};

TEST_F(LogTest, FramesHandledWhileALogBoxIsUpFindLoggingOff)
{
    FramesDuringTheBox boxes([this] {
        postFrame(FRAME_KIND_READER, "960A1B2CABCD");
        postFrame(FRAME_KIND_DEBUG, "96 A0 +0A 0A1B2C");
    });
    ui::setAlerts(&boxes);

    // The file goes while logging: the box of the failed line.
    clickLog();
    ASSERT_EQ(::unlink(window->logFilePath.c_str()), 0);
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0].section('\n', 0, 0), QString::fromUtf8("Impossible d'écrire dans le fichier Log"));
    expectLoggingOff();
    EXPECT_EQ(fieldText(idc::Frame), "[96 A0 +0A 0A1B2C]");

    // The file cannot be opened: the box of the opening.
    boxes.texts.clear();
    window->workingDirectory = dir.file("missing");
    clickLog();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0].section('\n', 0, 0), QStringLiteral("Impossible d'ouvrir le fichier Log"));
    expectLoggingOff();
    ui::setAlerts(&alerts);
}

}  // namespace
}  // namespace varno::testing
