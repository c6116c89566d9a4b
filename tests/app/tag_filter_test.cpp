// The "Lo" and "Hi" edits of the tag filter, typed into as an operator does.

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/main_window.h"
#include "link/frame_event.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "support/window_fixture.h"
#include "ui/qt_text.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using link::FRAME_KIND_READER;

const QString kBadValue = QString::fromUtf8("Valeur de l'identifiant interdite. Rentrez une valeur héxadecimal.");

class FilterFixture : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        processEvents();
    }

    QLineEdit* edit(int id) const { return window->edit(id); }

    // The operator clicks into the edit, selects its text and types over it
    // (an empty `keys` erases it).
    void typeOver(int id, const QString& keys)
    {
        QLineEdit* e = edit(id);
        QTest::mouseClick(e, Qt::LeftButton);
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        if (keys.isEmpty())
            QTest::keyClick(e, Qt::Key_Backspace);
        else
            typeKeys(e, keys);
        processEvents();
    }

    // Key by key, letters beyond ASCII as the keyboard sends them: a key event
    // carrying the character.
    static void typeKeys(QWidget* w, const QString& keys)
    {
        for (const QChar c : keys) {
            if (c.unicode() < 0x80)
                QTest::keyClick(w, static_cast<char>(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    void pasteOver(int id, const QString& text)
    {
        QLineEdit* e = edit(id);
        QTest::mouseClick(e, Qt::LeftButton);
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QApplication::clipboard()->setText(text);
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
        processEvents();
    }

    // Clicking into "Pmin" takes the focus away from the filter.
    void leave()
    {
        QTest::mouseClick(edit(idc::Pmin), Qt::LeftButton);
        processEvents();
    }

    void setBounds(const char* low, std::uint32_t lowValue, const char* high, std::uint32_t highValue)
    {
        window->filterLowText = low;
        window->filterLow = lowValue;
        window->filterHighText = high;
        window->filterHigh = highValue;
        window->filterOn = 1;
        window->UpdateData(false);
    }

    QWidget* focused() const { return QApplication::focusWidget(); }
};

struct EntryCase {
    const char* name;
    const char* lowBefore;
    std::uint32_t lowValueBefore;
    int typedInto;
    const char* typed;  // UTF-8
    bool paste;
    bool leave;
    const char* low;
    const char* high;
    std::uint32_t lowValue;
    std::uint32_t highValue;
    int messages;
    int focus;  // control holding the focus afterwards
};

void PrintTo(const EntryCase& c, std::ostream* os)
{
    *os << c.name;
}

class FilterEntryTest : public FilterFixture, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(FilterEntryTest, TypedBoundIsCheckedNormalisedAndSwitchesTheFilterOff)
{
    const EntryCase& c = GetParam();
    setBounds(c.lowBefore, c.lowValueBefore, "FFFFFF", 0xFFFFFF);
    ASSERT_TRUE(window->button(idc::FilterOn)->isChecked());

    if (c.paste)
        pasteOver(c.typedInto, QString::fromUtf8(c.typed));
    else
        typeOver(c.typedInto, QString::fromUtf8(c.typed));
    if (c.leave)
        leave();

    EXPECT_EQ(edit(idc::FilterLow)->text(), QString::fromUtf8(c.low));
    EXPECT_EQ(edit(idc::FilterHigh)->text(), QString::fromUtf8(c.high));
    EXPECT_EQ(window->filterLowText, c.low);
    EXPECT_EQ(window->filterHighText, c.high);
    EXPECT_EQ(window->filterLow, c.lowValue);
    EXPECT_EQ(window->filterHigh, c.highValue);
    EXPECT_EQ(alerts.shown.size(), static_cast<std::size_t>(c.messages));
    for (const RecordedAlert& a : alerts.shown) {
        EXPECT_EQ(a.text, kBadValue);
        EXPECT_EQ(a.caption, ui::applicationName());
        EXPECT_EQ(a.icon, ui::AlertIcon::Exclamation);
    }
    EXPECT_EQ(focused(), window->control(c.focus));
    // The edit the focus moved to has its whole text ready to be typed over.
    if (c.focus != c.typedInto && c.focus != idc::Pmin) {
        EXPECT_EQ(edit(c.focus)->selectedText(), edit(c.focus)->text());
    }
    EXPECT_FALSE(window->button(idc::FilterOn)->isChecked());
    EXPECT_EQ(window->filterOn, 0);
}

// clang-format off
const EntryCase kEntries[] = {
    // name, Lo before, its value, typed into, typed, paste, leave,
    //   Lo, Hi, filterLow, filterHigh, messages, focus
    {"SixDigitsMoveToTheOtherBound", "000000", 0, idc::FilterLow, "00a1b2", false, false,
     "00A1B2", "FFFFFF", 0xA1B2, 0xFFFFFF, 0, idc::FilterHigh},
    {"SixDigitsInHiMoveToLo", "000000", 0, idc::FilterHigh, "00ff0a", false, false,
     "000000", "00FF0A", 0, 0xFF0A, 0, idc::FilterLow},
    {"ShortHiIsFilledWithZeros", "000000", 0, idc::FilterHigh, "12", false, true,
     "000000", "000012", 0, 0x12, 0, idc::Pmin},
    {"HiBelowLoFallsBackSilently", "000020", 0x20, idc::FilterHigh, "12", false, true,
     "000020", "FFFFFF", 0x20, 0xFFFFFF, 0, idc::Pmin},
    {"SixthCharacterNotHexInLo", "000000", 0, idc::FilterLow, "12345G", false, false,
     "000000", "FFFFFF", 0, 0xFFFFFF, 1, idc::FilterLow},
    {"SixthCharacterNotHexInHi", "000000", 0, idc::FilterHigh, "12345G", false, false,
     "000000", "FFFFFF", 0, 0xFFFFFF, 1, idc::FilterHigh},
    {"AccentedLetterIsNoDigit", "000010", 0x10, idc::FilterLow, "12345é", false, false,
     "000000", "FFFFFF", 0, 0xFFFFFF, 1, idc::FilterLow},
    {"ShortBadTextIsCaughtOnLeaving", "000000", 0, idc::FilterLow, "1g", false, true,
     "000000", "FFFFFF", 0, 0xFFFFFF, 1, idc::Pmin},
    {"ShortLoIsFilledAndUpperCased", "000000", 0, idc::FilterLow, "1a", false, true,
     "00001A", "FFFFFF", 0x1A, 0xFFFFFF, 0, idc::Pmin},
    {"SevenDigitPasteKeepsTheLastSix", "000000", 0, idc::FilterLow, "1234567", true, true,
     "234567", "FFFFFF", 0x234567, 0xFFFFFF, 0, idc::Pmin},
    {"EmptiedHiWithLoAtZero", "000000", 0, idc::FilterHigh, "", false, true,
     "000000", "000000", 0, 0, 0, idc::Pmin},
    {"EmptiedHiWithLoAboveZero", "000010", 0x10, idc::FilterHigh, "", false, true,
     "000010", "FFFFFF", 0x10, 0xFFFFFF, 0, idc::Pmin},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Operator, FilterEntryTest, ::testing::ValuesIn(kEntries),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilterFixture, CompleteLoAboveHiIsResetWhenTheFocusMovesOn)
{
    setBounds("000000", 0, "000010", 0x10);
    typeOver(idc::FilterLow, QStringLiteral("000020"));
    EXPECT_EQ(edit(idc::FilterLow)->text(), "000000");
    EXPECT_EQ(window->filterLow, 0u);
    EXPECT_EQ(focused(), edit(idc::FilterHigh));
    EXPECT_EQ(edit(idc::FilterHigh)->selectedText(), "000010");
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(FilterFixture, RangeLetsTagsInsideThroughAndDropsTheOthers)
{
    typeOver(idc::FilterLow, QStringLiteral("000010"));
    ASSERT_EQ(focused(), edit(idc::FilterHigh));
    // The focus moved on with "FFFFFF" selected: typing replaces it.
    QTest::keyClicks(edit(idc::FilterHigh), QStringLiteral("000020"));
    processEvents();
    EXPECT_EQ(focused(), edit(idc::FilterLow));
    EXPECT_EQ(window->filterLow, 0x10u);
    EXPECT_EQ(window->filterHigh, 0x20u);

    QTest::mouseClick(window->button(idc::FilterOn), Qt::LeftButton);
    window->xSyncButton->setChecked(true);
    processEvents();
    ASSERT_TRUE(window->button(idc::FilterOn)->isChecked());

    // Logging on: a dropped frame must leave no line.
    TempDir dir;
    TestClock clock;
    clock.set(2026, 12, 8, 10, 0, 0);
    window->clock = &clock;
    window->workingDirectory = dir.path();
    window->button(idc::Log)->click();
    ASSERT_EQ(window->loggingOn, 1);

    postFrame(FRAME_KIND_READER, "5A000015ABCD");
    const std::string logged = readBytes(window->logFilePath);
    EXPECT_NE(logged.find("[5A000015ABCD];"), std::string::npos);
    EXPECT_EQ(fieldText(idc::Id), "000015");
    EXPECT_EQ(fieldText(idc::Frame), "[5A000015ABCD]");
    window->killTimer(window->xSyncTimerId);
    window->xSyncTimerId = 0;

    postFrame(FRAME_KIND_READER, "60000021ABCD");
    EXPECT_EQ(fieldText(idc::Id), "000015");
    EXPECT_EQ(fieldText(idc::Frame), "[5A000015ABCD]");
    EXPECT_EQ(fieldText(idc::P1), "90");
    EXPECT_NE(window->xSyncTimerId, 0);  // a dropped frame still re-arms the X-sync timer
    EXPECT_TRUE(window->button(idc::FilterOn)->isChecked());
    EXPECT_EQ(readBytes(window->logFilePath), logged);
    window->button(idc::Log)->click();
    window->clock = &log::systemClock();
}

TEST_F(FilterFixture, SixDigitsAreTakenEvenWhereTheFocusMovesSilently)
{
    // An inactive window moves its focus without focus events.
    QApplication::setActiveWindow(nullptr);
    processEvents();
    edit(idc::FilterLow)->setFocus();
    edit(idc::FilterLow)->selectAll();
    typeKeys(edit(idc::FilterLow), QStringLiteral("00a1b2"));
    EXPECT_EQ(window->filterLow, 0xA1B2u);
    EXPECT_EQ(window->focusWidget(), edit(idc::FilterHigh));
    EXPECT_EQ(edit(idc::FilterHigh)->selectedText(), "FFFFFF");
}

TEST_F(FilterFixture, DataExchangeWritesDoNotCountAsEdits)
{
    setBounds("000000", 0, "FFFFFF", 0xFFFFFF);
    window->filterLowText = "12345G";  // would be rejected if typed
    window->UpdateData(false);
    processEvents();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(window->button(idc::FilterOn)->isChecked());
}

// Shows the real message boxes and answers each once it has taken the focus,
// after running `whileShown` inside the box's own event loop.
class MessageBoxes final : public ui::Alerts {
public:
    void show(QWidget* owner, const QString& text, const QString& caption, ui::AlertIcon) override
    {
        texts << text;
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
        QTimer::singleShot(0, &box, [&] {
            QElapsedTimer waited;
            waited.start();
            while (QApplication::activeWindow() != &box && waited.elapsed() < 2000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            tookFocus = QApplication::activeWindow() == &box;
            if (whileShown)
                whileShown();
            box.accept();
        });
        box.exec();
    }

    QStringList texts;
    bool tookFocus = false;
    std::function<void()> whileShown;
};

TEST_F(FilterFixture, MessageBoxTakingTheFocusLeavesTheHandlerUndisturbed)
{
    MessageBoxes boxes;
    ui::setAlerts(&boxes);
    // A frame handled while the box is up reads the controls back into the state.
    boxes.whileShown = [&] {
        postFrame(FRAME_KIND_READER, "5A000015ABCD");
    };
    setBounds("000000", 0, "FFFFFF", 0xFFFFFF);

    // Pasted in one go, so the edit is the first since "Activer" was ticked.
    pasteOver(idc::FilterLow, QStringLiteral("12345G"));
    processEvents();

    ASSERT_TRUE(boxes.tookFocus);
    EXPECT_EQ(boxes.texts, QStringList{kBadValue});  // once, not again for the focus it took
    EXPECT_EQ(edit(idc::FilterLow)->text(), "000000");
    EXPECT_EQ(window->filterLow, 0u);
    EXPECT_FALSE(window->button(idc::FilterOn)->isChecked());
    EXPECT_EQ(window->filterOn, 0);
    EXPECT_EQ(fieldText(idc::Id), "000015");
    // Once the box is gone the window gets the focus back in the edit.
    EXPECT_EQ(window->focusWidget(), edit(idc::FilterLow));
}

TEST_F(FilterFixture, OpeningTheEditsMenuIsNoLeave)
{
    typeOver(idc::FilterHigh, QStringLiteral("12"));
    QLineEdit* high = edit(idc::FilterHigh);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5), high->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(high, &menuKey);
    processEvents();
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);

    EXPECT_EQ(high->text(), "12");  // still the operator's to paste into
    menu->close();
    processEvents();
    EXPECT_EQ(high->text(), "12");
    leave();
    EXPECT_EQ(edit(idc::FilterHigh)->text(), "000012");
}

TEST_F(FilterFixture, SwitchingToAnotherWindowIsNoLeave)
{
    typeOver(idc::FilterLow, QStringLiteral("1g"));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    processEvents();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(edit(idc::FilterLow)->text(), "1g");

    // Back in the window the operator goes on where they were.
    QApplication::setActiveWindow(window.get());
    processEvents();
    EXPECT_EQ(QApplication::focusWidget(), edit(idc::FilterLow));
    leave();
    EXPECT_EQ(alerts.texts(), QStringList{kBadValue});
    EXPECT_EQ(edit(idc::FilterLow)->text(), "000000");
}

TEST_F(FilterFixture, ClosingTheWindowInTheMiddleOfAnEntryShowsNoMessage)
{
    typeOver(idc::FilterLow, QStringLiteral("1g"));
    ASSERT_EQ(focused(), edit(idc::FilterLow));
    window->reject();
    processEvents();
    EXPECT_TRUE(alerts.shown.empty());
}

}  // namespace
}  // namespace varno::testing
