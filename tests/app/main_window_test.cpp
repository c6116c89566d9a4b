// The main window at start-up: controls, start values, keys and the about box.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <ctime>
#include <map>

#include "app/about_dialog.h"
#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "link/frame_event.h"
#include "support/window_fixture.h"
#include "ui/qt_text.h"
#include "ui/status_line.h"

namespace varno::testing {
namespace {

using app::idc::ChartFrame;
using app::CVARNODlg;
namespace idc = app::idc;

class MainWindowTest : public WindowTest {};

TEST_F(MainWindowTest, WindowHasTheTemplateTitleAndSize)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("VARNO - KAVRO Log Graphique v1.1.1"));
    // The template's 573 × 499 pixels, and the status line below them.
    const QRect line = window->statusLine->geometry();
    EXPECT_EQ(line, QRect(0, 499, 573, line.height()));
    EXPECT_GE(line.height(), window->fontMetrics().height());
    EXPECT_EQ(window->size(), QSize(573, 499 + line.height()));
    for (const auto& t : app::windowTemplate()) {
        if (t.id != -1) {
            EXPECT_LE(window->control(t.id)->geometry().bottom(), 498) << t.id;
        }
    }
    // That size is also the smallest; the window may grow and be maximised.
    EXPECT_EQ(window->minimumSize(), window->size());
    EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    window->resize(400, 300);
    EXPECT_EQ(window->size(), QSize(573, 499 + line.height()));
    EXPECT_FALSE(window->windowIcon().isNull());
}

// Every child of the window that is not a window itself, with its place.
std::map<QWidget*, QRect> childPlaces(QWidget* window)
{
    std::map<QWidget*, QRect> places;
    for (QWidget* w : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow())
            places[w] = w->geometry();
    return places;
}

TEST_F(MainWindowTest, ResizingGrowsTheChartAndMovesTheControlsBelowItDown)
{
    // Points and legend keys, so that the picture holds more than an empty chart.
    for (int i = 0; i < 40; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X0A1B%02XABCD", 125 + (i * 7) % 50, i % 3);
        postFrame(link::FRAME_KIND_READER, text);
    }
    postFrame(link::FRAME_KIND_DEBUG, "96 8C +0A 0C16BF");
    window->showFields();
    processEvents();
    const QImage before = window->grab().toImage();
    const std::map<QWidget*, QRect> atTemplate = childPlaces(window.get());
    QWidget* frame = window->control(idc::ChartFrame);
    const int frameBottom = atTemplate.at(frame).bottom();

    // Larger, then maximised on a 1920 × 1080 screen (no window manager: the
    // whole screen), then a little larger than the template.
    for (const QSize size : {QSize(1024, 768), QSize(1920, 1080), QSize(600, 520)}) {
        window->resize(size);
        processEvents();
        ASSERT_EQ(window->size(), size);
        // The smallest size: the template's, and the status line below it.
        const int dx = size.width() - window->minimumWidth(), dy = size.height() - window->minimumHeight();
        int moved = 0;
        for (const auto& [w, at] : atTemplate) {
            if (w == frame || w == window->chart) {
                EXPECT_EQ(w->geometry(), QRect(9, 10, 558 + dx, 286 + dy)) << size.width();
            } else if (w == window->statusLine) {
                // Along the bottom, across the whole window.
                EXPECT_EQ(w->geometry(), at.translated(0, dy).adjusted(0, 0, dx, 0)) << size.width();
                ++moved;
            } else if (at.top() > frameBottom) {
                EXPECT_EQ(w->geometry(), at.translated(0, dy)) << w->objectName().toStdString() << " " << size.width();
                ++moved;
            } else {
                EXPECT_EQ(w->geometry(), at) << w->objectName().toStdString();
            }
        }
        EXPECT_EQ(moved, static_cast<int>(atTemplate.size()) - 2);  // everything but the frame and the chart
        EXPECT_EQ(window->textView->geometry(), QRect(11, 302 + dy, 312, 185));
        EXPECT_EQ(window->chart->clientWidth, 552 + dx);
        EXPECT_EQ(window->chart->clientHeight, 280 + dy);
        EXPECT_EQ(window->chart->plotRect, (chart::Rect{42, 10, 542 + dx, 255 + dy}));
        EXPECT_EQ(window->childAt(9 + 279 + dx, 10 + 143 + dy), window->chart);
    }

    // Back at the template's size: the template's pixels, points and legend included.
    window->resize(573, 499);
    processEvents();
    EXPECT_EQ(childPlaces(window.get()), atTemplate);
    EXPECT_EQ(window->grab().toImage(), before);
}

// A line along the window's bottom, added below the template's controls with
// the window grown by its height, follows the bottom edge and spans the width.
TEST_F(MainWindowTest, ALineAddedAlongTheBottomFollowsTheBottomEdge)
{
    auto* line = new QLabel(QStringLiteral("line"), window.get());
    line->setGeometry(0, 499, 573, 20);
    line->show();
    window->setMinimumSize(573, 519);
    processEvents();
    EXPECT_EQ(window->size(), QSize(573, 519));
    EXPECT_EQ(window->control(idc::Open)->geometry(), QRect(492, 457, 63, 23));
    EXPECT_EQ(line->geometry(), QRect(0, 499, 573, 20));

    window->resize(1000, 800);
    processEvents();
    EXPECT_EQ(line->geometry(), QRect(0, 780, 1000, 20));
    EXPECT_EQ(window->control(idc::Open)->geometry(), QRect(492, 738, 63, 23));
    EXPECT_EQ(window->control(idc::ChartFrame)->geometry(), QRect(9, 10, 985, 567));
}

TEST_F(MainWindowTest, ControlsStandAtTheirTemplateRectangles)
{
    struct Case {
        int id;
        QRect pixels;
    };
    // Dialog units × 1.5 horizontally and × 1.625 vertically, rounded.
    const Case cases[] = {
        {idc::ChartFrame, {9, 10, 558, 286}},
        {idc::Open, {492, 457, 63, 23}},
        {idc::Frame, {51, 317, 111, 20}},
        {idc::Log, {492, 406, 63, 23}},
        {idc::Trigger, {183, 410, 137, 20}},
        {idc::FilterLow, {129, 457, 59, 20}},
        {idc::RawText, {344, 319, 104, 16}},
        {idc::TextView, {11, 302, 312, 185}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(window->control(c.id)->geometry(), c.pixels) << c.id;
}

TEST_F(MainWindowTest, ControlsHaveTheirKindsAndCaptions)
{
    for (int id : {idc::Open, idc::Log, idc::XSync, idc::FilterOn}) {
        auto* b = qobject_cast<QPushButton*>(window->control(id));
        ASSERT_NE(b, nullptr) << id;
        EXPECT_TRUE(b->isCheckable()) << id;  // push-like check box
    }
    EXPECT_EQ(window->button(idc::Open)->text(), "Ouvrir");
    EXPECT_EQ(window->button(idc::Log)->text(), "Enregister");
    EXPECT_EQ(window->button(idc::ApplyLimits)->text(), "Modifier");
    EXPECT_EQ(window->button(idc::ResetLegend)->text(), "Reinitialiser");
    EXPECT_EQ(window->button(idc::RawText)->text(), "Log Texte (Brut)");
    EXPECT_NE(qobject_cast<QRadioButton*>(window->control(idc::XSync100ms)), nullptr);
    for (int id : {idc::Frame, idc::P1, idc::P1Hex, idc::Id, idc::P2, idc::P2Hex, idc::DpHex, idc::LogFileName})
        EXPECT_TRUE(window->edit(id)->isReadOnly()) << id;
    for (int id : {idc::Pmin, idc::Pmax, idc::FilterLow, idc::FilterHigh})
        EXPECT_FALSE(window->edit(id)->isReadOnly()) << id;
    EXPECT_NE(window->edit(idc::Pmin)->validator(), nullptr);  // digits only
    EXPECT_TRUE(window->textView->isReadOnly());
    EXPECT_EQ(window->triggerSlider->orientation(), Qt::Horizontal);
    EXPECT_EQ(window->triggerSlider->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(qobject_cast<QLabel*>(window->control(1034))->text(), "P1");
    EXPECT_EQ(window->button(idc::Open)->toolTip(), QString::fromUtf8("Ouvrir/Fermer le port série."));
}

TEST_F(MainWindowTest, FieldsAndBoxesShowTheirStartValues)
{
    struct Case {
        int id;
        const char* text;
    };
    const Case texts[] = {
        {idc::Frame, ""},      {idc::Id, ""},        {idc::P1, " --- "},      {idc::P2, " --- "},
        {idc::P1Hex, " -- "},  {idc::P2Hex, " -- "}, {idc::DpHex, " --- "},   {idc::FilterLow, "000000"},
        {idc::FilterHigh, "FFFFFF"}, {idc::Pmin, "120"}, {idc::Pmax, "180"}, {idc::LogFileName, ""},
    };
    for (const Case& c : texts)
        EXPECT_EQ(fieldText(c.id), c.text) << c.id;

    for (int id : {idc::Open, idc::Log, idc::XSync, idc::FilterOn, idc::RawText})
        EXPECT_FALSE(window->button(id)->isChecked()) << id;
    EXPECT_TRUE(window->button(idc::XSync100ms)->isChecked());
    EXPECT_FALSE(window->button(idc::XSync1s)->isChecked());

    ASSERT_EQ(window->baudCombo->count(), 4);
    EXPECT_EQ(window->baudCombo->itemText(0), "9600");
    EXPECT_EQ(window->baudCombo->itemText(3), "115200");
    EXPECT_EQ(window->baudCombo->currentText(), "9600");
    EXPECT_GE(window->portCombo->findText("TCP/IP"), 0);
    EXPECT_GE(window->portCombo->currentIndex(), 0);

    EXPECT_EQ(window->triggerSlider->minimum(), 120);
    EXPECT_EQ(window->triggerSlider->maximum(), 180);
    EXPECT_EQ(window->triggerSlider->value(), 180);

    // Raw text mode is off: the decoded panel shows, the text view does not,
    // although the template has both.
    EXPECT_FALSE(window->textView->isVisible());
    for (int id : app::kPanelControls)
        EXPECT_TRUE(window->control(id)->isVisible()) << id;
}

TEST_F(MainWindowTest, StateRecordHoldsItsStartValues)
{
    EXPECT_EQ(window->plotMin, 120);
    EXPECT_EQ(window->plotMax, 180);
    EXPECT_EQ(window->legendSlotCount, 9);
    EXPECT_EQ(window->frameTimes.lastFrameTime, -1);
    EXPECT_EQ(window->frameTimes.lastFrameMillis, 0);
    EXPECT_EQ(window->filterLow, 0u);
    EXPECT_EQ(window->filterHigh, 0xFFFFFFu);
    EXPECT_EQ(window->xSyncPeriodMs, 100);
    EXPECT_EQ(window->xSyncTimerId, 0);
    EXPECT_EQ(window->linkOpen, 0);
    EXPECT_FALSE(window->tcpSelected);
    EXPECT_EQ(window->tcpHostAddress, 0x7F000001u);
    EXPECT_EQ(window->tcpPort, 10001u);
    EXPECT_EQ(window->textLineWidth, 50);
    EXPECT_TRUE(window->dailyRenewal);
    for (const auto& id : window->legendIds)
        EXPECT_EQ(id, "");
    EXPECT_EQ(window->legendColours, decode::kLegendDefaultColours);

    char today[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%d%m%Y", std::localtime(&now));
    EXPECT_EQ(window->currentDate, today);
    EXPECT_EQ(window->previousDate, window->currentDate);
    EXPECT_EQ(window->currentDate.size(), 8u);
}

TEST_F(MainWindowTest, OpenButtonHasTheFocusAtStart)
{
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    processEvents();
    EXPECT_EQ(window->focusWidget(), window->control(idc::Open));
}

TEST_F(MainWindowTest, DataExchangeWritesOnlyChangedEditsAndReadsThemBack)
{
    QLineEdit* low = window->edit(idc::FilterLow);
    low->setSelection(1, 3);
    window->UpdateData(false);  // unchanged text: selection kept
    EXPECT_EQ(low->selectedText(), "000");

    window->filterLowText = "00A1B2";
    window->loggingOn = 1;
    window->UpdateData(false);
    EXPECT_EQ(low->text(), "00A1B2");
    EXPECT_TRUE(window->button(idc::Log)->isChecked());

    window->edit(idc::FilterHigh)->setText(QString::fromUtf8("é€"));
    window->button(idc::FilterOn)->setChecked(true);
    window->UpdateData(true);
    EXPECT_EQ(window->filterHighText, "\xe9\x80");  // Windows-1252 bytes
    EXPECT_EQ(window->filterOn, 1);
}

// A reader's frames come one by one, each handled in its own turn of the event
// loop; the window is painted at a bounded pace all the same, and the last
// frame's picture still reaches the screen once the stream stops.
TEST_F(MainWindowTest, FramesOneByOneArePaintedAtABoundedPace)
{
    struct PaintCounter : QObject {
        const chart::COScopeCtrl* chart = nullptr;
        int paints = 0;
        double paintedValue = 0;  // the newest value on the screen
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint) {
                ++paints;
                paintedValue = chart->currentValue;
            }
            return false;
        }
    } counter;
    counter.chart = window->chart;
    QTest::qWait(100);
    window->chart->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    std::string last;
    for (int i = 0; i < 150; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X0A1B2CABCD", 120 + i % 60);
        last = text;
        postFrame(link::FRAME_KIND_READER, last);
        QTest::qWait(1);
    }
    const qint64 elapsed = clock.elapsed();
    // One paint every 50 ms at most, give or take the first and the last.
    EXPECT_LE(counter.paints, elapsed / 50 + 2) << "in " << elapsed << " ms";
    EXPECT_EQ(fieldText(idc::Frame), "[" + last + "]");  // every frame handled at once all the same
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paintedValue == 120 + 149 % 60; }, 1000));
    window->chart->removeEventFilter(&counter);
}

TEST_F(MainWindowTest, ReadOnlyFieldsShowTheirTextWithTheNextPaint)
{
    QTest::qWait(100);
    postFrame(link::FRAME_KIND_READER, "5A0A1B2CABCD");
    QTest::qWait(50);  // a paint has shown it
    ASSERT_EQ(window->edit(idc::P1)->text(), "90");

    postFrame(link::FRAME_KIND_READER, "960A1B2CABCD");
    // The exchange reads the new text back before any paint shows it.
    window->UpdateData(true);
    EXPECT_EQ(window->p1Field, "150");
    EXPECT_EQ(window->frameField, "[960A1B2CABCD]");
    // The screen catches up within a paint interval.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->edit(idc::P1)->text() == "150"; }, 1000));
    EXPECT_EQ(window->edit(idc::Frame)->text(), "[960A1B2CABCD]");
    // Edits the operator types into keep taking their text at once.
    window->filterLowText = "0000AB";
    window->UpdateData(false);
    EXPECT_EQ(window->edit(idc::FilterLow)->text(), "0000AB");
}

// No key ends a session: only the close box (or Alt+F4) closes the window.
TEST_F(MainWindowTest, EnterAndEscapeNeverEndTheProgram)
{
    const struct {
        int focus;  // 0: the window itself
        Qt::Key key;
    } cases[] = {
        {0, Qt::Key_Escape},          {idc::FilterLow, Qt::Key_Escape}, {idc::FilterLow, Qt::Key_Return},
        {idc::Pmin, Qt::Key_Escape},  {idc::PortList, Qt::Key_Return},  {idc::Open, Qt::Key_Enter},
        {idc::Log, Qt::Key_Return},   {0, Qt::Key_Return},
    };
    for (const auto& c : cases) {
        QWidget* target = c.focus == 0 ? static_cast<QWidget*>(window.get()) : window->control(c.focus);
        target->setFocus();
        QTest::keyClick(target, c.key);
        processEvents();
        EXPECT_TRUE(window->isVisible()) << c.focus << " " << c.key;
        EXPECT_EQ(window->result(), 0) << c.focus << " " << c.key;
    }
    EXPECT_EQ(window->linkOpen, 0);
    EXPECT_EQ(window->loggingOn, 0);
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(MainWindowTest, EnterInPminOrPmaxAppliesTheLimits)
{
    window->edit(idc::Pmin)->setFocus();
    window->edit(idc::Pmin)->setText("100");
    QTest::keyClick(window->edit(idc::Pmin), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->plotMin, 100);
    EXPECT_EQ(window->chart->lowerLimit, 100.0);
    EXPECT_EQ(window->triggerSlider->minimum(), 100);

    window->edit(idc::Pmax)->setFocus();
    window->edit(idc::Pmax)->setText("300");
    QTest::keyClick(window->edit(idc::Pmax), Qt::Key_Enter);
    EXPECT_TRUE(window->isVisible());
    // The limits' own checks apply, as with "Modifier".
    EXPECT_EQ(window->plotMax, 255);
    EXPECT_EQ(alerts.texts(), QStringList{QString::fromUtf8("La limite supérieure doit être inférieure à 255.")});
}

TEST_F(MainWindowTest, TheCloseBoxStillEndsTheProgram)
{
    window->close();
    EXPECT_FALSE(window->isVisible());
    processEvents();
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, ContextMenuOffersTheAboutBox)
{
    QString entry;
    QString aboutTitle;
    QStringList aboutTexts;
    // The menu and the box are modal: inspect and close them from the event loop.
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        entry = menu->actions().first()->text();
        QTimer::singleShot(50, [&] {
            auto* about = qobject_cast<app::CAboutDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            aboutTitle = about->windowTitle();
            for (auto* label : about->findChildren<QLabel*>())
                aboutTexts << label->text();
            about->accept();
        });
        menu->actions().first()->trigger();
        menu->close();
    });
    // Outside the chart, which has a menu of its own.
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 480), window->mapToGlobal(QPoint(300, 480)));
    QApplication::sendEvent(window.get(), &event);
    processEvents();

    EXPECT_EQ(entry, "&About VARNO...");
    EXPECT_EQ(aboutTitle, "About VARNO");
    EXPECT_TRUE(aboutTexts.contains("VARNO Version 1.0"));
}

TEST_F(MainWindowTest, F1OpensTheAboutBox)
{
    QString aboutTitle;
    QTimer::singleShot(50, [&] {
        auto* about = qobject_cast<app::CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        aboutTitle = about->windowTitle();
        about->accept();
    });
    window->edit(idc::FilterLow)->setFocus();
    QTest::keyClick(window->edit(idc::FilterLow), Qt::Key_F1);
    processEvents();
    EXPECT_EQ(aboutTitle, "About VARNO");
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
}  // namespace varno::testing
