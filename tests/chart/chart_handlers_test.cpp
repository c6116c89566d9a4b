// The main window's chart settings: limits, X synchronisation, trigger, reset.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <functional>

#include "app/main_window.h"
#include "chart_test_support.h"
#include "ui/alerts.h"
#include "ui/qt_text.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;

const QString kBelowZero = QString::fromUtf8("La limite inférieure doit être supérieure à 0.");
const QString kAbove255 = QString::fromUtf8("La limite supérieure doit être inférieure à 255.");
const QString kNotIncreasing = QString::fromUtf8("La limite supérieure doit être supérieure à la la limite inférieure.");

class ChartSettingsTest : public ChartTest {
protected:
    bool plotEmpty() { return litBounds(chart().pointLayer(), chart().pointLayer().rect()).isEmpty(); }
    // Handles events until `done` holds or `ms` milliseconds have passed.
    static bool waitFor(const std::function<bool()>& done, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    // Steps made since the newest dot at `row`: 0 when it stands at the right edge.
    int stepsSinceNewestDot(int row)
    {
        for (int k = 0; k < 125; ++k)
            if (point(newestX() - 4 * k, row) != kBlack)
                return k;
        return -1;
    }
};

TEST_F(ChartSettingsTest, ApplyLimitsChecksCorrectsAndApplies)
{
    struct Case {
        const char *minText, *maxText;
        QStringList messages;
        int min, max;
        const char *minShown, *maxShown;
    };
    const Case cases[] = {
        {"0", "255", {}, 0, 255, "0", "255"},  // accepted in silence, whatever the first message says
        {"-5", "100", {kBelowZero}, 0, 100, "0", "100"},
        {"300", "400", {kAbove255, kNotIncreasing}, 120, 180, "120", "180"},
        {"150", "150", {kNotIncreasing}, 120, 180, "120", "180"},
        {"abc", "", {kNotIncreasing}, 120, 180, "120", "180"},  // both read as 0
        {"99999999999", "200", {kBelowZero}, 0, 200, "0", "200"},  // saturates, then reads as -1
        {" 130", "+170x", {}, 130, 170, " 130", "+170x"},  // read leniently, shown as typed
        {"10", "20", {}, 10, 20, "10", "20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.minText) + " / " + c.maxText);
        chart().AppendPoint(0x0000FF, 150);
        alerts.shown.clear();
        window->edit(idc::Pmin)->setText(QString::fromLatin1(c.minText));
        window->edit(idc::Pmax)->setText(QString::fromLatin1(c.maxText));
        window->button(idc::ApplyLimits)->click();

        EXPECT_EQ(alerts.texts(), c.messages);
        for (const RecordedAlert& a : alerts.shown) {
            EXPECT_EQ(a.caption, ui::applicationName());
            EXPECT_EQ(a.icon, ui::AlertIcon::Exclamation);
        }
        EXPECT_EQ(window->plotMin, c.min);
        EXPECT_EQ(window->plotMax, c.max);
        EXPECT_EQ(fieldText(idc::Pmin), c.minShown);
        EXPECT_EQ(fieldText(idc::Pmax), c.maxShown);
        EXPECT_EQ(window->triggerSlider->minimum(), c.min);
        EXPECT_EQ(window->triggerSlider->maximum(), c.max);
        EXPECT_EQ(window->triggerSlider->value(), c.max);
        EXPECT_EQ(chart().lowerLimit, c.min);
        EXPECT_EQ(chart().upperLimit, c.max);
        EXPECT_EQ(chart().decimalPlaces, 1);
        // Redrawn: an empty plot, the trigger line on the top line.
        EXPECT_TRUE(plotEmpty());
        EXPECT_EQ(background(plot().left + 1, plot().top), kYellow);
        EXPECT_EQ(background(plot().left + 3, plot().top), kWhite);
    }
    // The margin follows the widest label: 10..20 needs one digit less.
    EXPECT_EQ(plot().left, 36);
}

TEST_F(ChartSettingsTest, ActivateStartsAndStopsTheEmptySteps)
{
    QAbstractButton* activate = window->xSyncButton;
    chart().AppendPoint(0x0000FF, 150);
    activate->click();
    EXPECT_EQ(window->xSyncOn, 1);
    EXPECT_NE(window->xSyncTimerId, 0);
    EXPECT_EQ(window->xSyncPeriodMs, 100);
    EXPECT_EQ(chart().xAxisText, QStringLiteral("Temp (x100msec)"));
    EXPECT_TRUE(plotEmpty());

    chart().AppendPoint(0x0000FF, 150);
    activate->click();
    EXPECT_EQ(window->xSyncOn, 0);
    EXPECT_EQ(window->xSyncTimerId, 0);
    EXPECT_EQ(chart().xAxisText, QString::fromUtf8("Trames reçues"));
    EXPECT_TRUE(plotEmpty());
}

TEST_F(ChartSettingsTest, ChoosingAPeriodSwitchesSynchronisationOff)
{
    QAbstractButton* activate = window->xSyncButton;
    activate->click();
    ASSERT_NE(window->xSyncTimerId, 0);

    window->button(idc::XSync1s)->click();
    EXPECT_EQ(window->xSyncTimerId, 0);
    EXPECT_FALSE(activate->isChecked());
    EXPECT_EQ(chart().xAxisText, QString::fromUtf8("Trames reçues"));
    EXPECT_EQ(window->xSyncOn, 1);  // no exchange: the next one brings it to 0
    postReader("0A1B2C", 150);
    EXPECT_EQ(window->xSyncOn, 0);
    EXPECT_EQ(window->xSyncTimerId, 0);

    // The new period takes effect with the next "Activer".
    activate->click();
    EXPECT_EQ(window->xSyncPeriodMs, 1000);
    EXPECT_EQ(chart().xAxisText, QStringLiteral("Temp (x1sec)"));
    EXPECT_NE(window->xSyncTimerId, 0);

    // With neither period chosen, a second.
    activate->click();
    for (int id : {idc::XSync100ms, idc::XSync1s}) {
        auto* radio = static_cast<QRadioButton*>(window->control(id));
        radio->setAutoExclusive(false);
        radio->setChecked(false);
    }
    window->xSyncPeriodMs = 100;
    activate->click();
    EXPECT_EQ(window->xSyncPeriodMs, 1000);
    EXPECT_EQ(chart().xAxisText, QStringLiteral("Temp (x1sec)"));
}

TEST_F(ChartSettingsTest, EmptyStepsOnlyWhileNoFrameArrives)
{
    window->xSyncButton->click();
    // A longer period while frames flow, so that a busy machine does not make
    // a legitimate gap; every frame re-arms the timer with it.
    constexpr int kPeriod = 250;
    window->xSyncPeriodMs = kPeriod;
    constexpr int kRow = 133;  // P1 = 150

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    int slowIntervals = 0;  // a frame later than the period may rightly follow a gap
    constexpr int kFrames = 40;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(waitFor([&] { return clock.elapsed() >= last + 20; }));
        const qint64 now = clock.elapsed();
        slowIntervals += i > 0 && now - last >= kPeriod;
        last = now;
        postReader("0A1B2C", 150);
        ASSERT_EQ(stepsSinceNewestDot(kRow), 0);
    }
    // 40 frames over some 800 ms, several periods: no empty step between them.
    int dots = 0, steps = 0;
    for (; dots < kFrames && steps < 125; ++steps)
        dots += point(newestX() - 4 * steps, kRow) != kBlack;
    ASSERT_EQ(dots, kFrames);
    EXPECT_LE(steps - kFrames, slowIntervals);

    // Then one empty step per period.
    clock.restart();
    ASSERT_TRUE(waitFor([&] { return stepsSinceNewestDot(kRow) >= 3; }));
    EXPECT_GE(clock.elapsed(), 3 * kPeriod * 95 / 100);
    EXPECT_TRUE(litBounds(chart().pointLayer(), QRect(QPoint(newestX() - 1, 0), QPoint(551, 279))).isEmpty());
    EXPECT_NE(window->xSyncTimerId, 0);

    // A frame puts the next dot at the edge again.
    postReader("0A1B2C", 150);
    EXPECT_EQ(stepsSinceNewestDot(kRow), 0);
}

TEST_F(ChartSettingsTest, OnlyTheSynchronisationTimerMakesSteps)
{
    window->xSyncButton->click();
    const int id = window->xSyncTimerId;
    chart().AppendPoint(0x0000FF, 150);
    window->OnXSyncTick(id + 1);
    window->OnXSyncTick(0);
    EXPECT_EQ(stepsSinceNewestDot(133), 0);
    EXPECT_EQ(window->xSyncTimerId, id);

    window->OnXSyncTick(id);
    EXPECT_EQ(stepsSinceNewestDot(133), 1);
    EXPECT_NE(window->xSyncTimerId, 0);  // re-armed while "Activer" is on
    EXPECT_EQ(chart().currentValue, 120.0 - 50);
}

TEST_F(ChartSettingsTest, StoppingTheTimerPausesUntilTheNextFrame)
{
    window->xSyncButton->click();
    window->StopXSyncTimer();
    EXPECT_EQ(window->xSyncTimerId, 0);
    EXPECT_TRUE(window->xSyncButton->isChecked());
    EXPECT_EQ(chart().xAxisText, QStringLiteral("Temp (x100msec)"));
    postReader("0A1B2C", 150);
    EXPECT_NE(window->xSyncTimerId, 0);
}

TEST_F(ChartSettingsTest, TriggerLineMovesWhenTheSliderIsReleased)
{
    const int left = plot().left;
    chart().AppendPoint(0x0000FF, 150);
    window->triggerSlider->setValue(150);  // the level new tags are compared with...
    processEvents();
    EXPECT_EQ(background(left + 1, 132), kBlack);  // ...but the line stays until the release
    EXPECT_EQ(background(left + 1, 10), kYellow);

    QTest::mouseRelease(window->triggerSlider, Qt::LeftButton);
    processEvents();
    EXPECT_EQ(window->triggerSlider->value(), 150);
    for (int dash = 0; dash < 3; ++dash)
        EXPECT_EQ(background(left + dash, 132), kYellow) << dash;  // 122.5 below the top, truncated
    EXPECT_EQ(background(left + 3, 132), kBlack);
    EXPECT_EQ(background(left + 1, 10), kWhite);
    EXPECT_TRUE(plotEmpty());
}

}  // namespace
}  // namespace varno::testing
