// The "Enregister" button, the day check and the lines of a logging session,
// through the real window and real files.

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTextEdit>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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

    void expectOneLogAlert(const char* text)
    {
        ASSERT_EQ(alerts.shown.size(), 1U);
        EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(text));
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

    expectOneLogAlert("Impossible d'ouvrir le fichier Log");
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
    };
    std::vector<Case> cases = {{"missing directory", dir.file("missing")}, {"locked file", dir.path()}};
    // A directory that even root cannot write into needs a mount.
    if (mounted)
        cases.push_back({"read-only directory", dir.file("read-only")});
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
        expectOneLogAlert("Impossible d'ouvrir le fichier Log");
        expectLoggingOff();
        postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
        EXPECT_EQ(fieldText(idc::P1), "90");
        EXPECT_EQ(alerts.shown.size(), 1U);
    }
    ::close(holder);
    EXPECT_EQ(readBytes(dir.file(name)), "another logger's line\r\n");
}

struct WriteFault {
    const char* name;
    enum { FileSizeLimit, FullDisk, RemovedFile } kind;
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
    expectOneLogAlert("Impossible d'écrire dans le fichier Log");
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
                         ::testing::Values(WriteFault{"FileSizeLimit", WriteFault::FileSizeLimit},
                                           WriteFault{"FullDisk", WriteFault::FullDisk},
                                           WriteFault{"RemovedFile", WriteFault::RemovedFile}),
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
    expectOneLogAlert("Impossible d'écrire dans le fichier Log");
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
    EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8("Impossible d'écrire dans le fichier Log")});
    expectLoggingOff();
    EXPECT_EQ(fieldText(idc::Frame), "[96 A0 +0A 0A1B2C]");

    // The file cannot be opened: the box of the opening.
    boxes.texts.clear();
    window->workingDirectory = dir.file("missing");
    clickLog();
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("Impossible d'ouvrir le fichier Log")});
    expectLoggingOff();
    ui::setAlerts(&alerts);
}

}  // namespace
}  // namespace varno::testing
