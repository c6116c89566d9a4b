// The "Log Texte (Brut)" switch between the decoded panel and the text view.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

#include "app/main_window.h"
#include "chart/oscope_ctrl.h"
#include "link/frame_event.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

namespace idc = app::idc;
using app::CVARNODlg;
using link::FRAME_KIND_READER;

class RawTextTest : public WindowTest {
protected:
    void clickRawText()
    {
        QTest::mouseClick(window->rawTextButton, Qt::LeftButton);
        processEvents();
    }

    bool inPanel(int id) const
    {
        const auto& panel = app::kPanelControls;
        return std::find(panel.begin(), panel.end(), id) != panel.end();
    }

    // Every control of the template, by its identifier.
    std::vector<int> allControls() const
    {
        std::vector<int> ids;
        for (QWidget* w : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (w->objectName().startsWith("idc_"))
                ids.push_back(w->objectName().mid(4).toInt());
        }
        return ids;
    }
};

// Notes the order in which the panel's controls are shown or hidden.
struct VisibilityOrder : QObject {
    std::vector<int> shown, hidden;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        const int id = watched->objectName().mid(4).toInt();
        if (e->type() == QEvent::Show)
            shown.push_back(id);
        else if (e->type() == QEvent::Hide)
            hidden.push_back(id);
        return false;
    }
};

TEST_F(RawTextTest, TickingSwapsExactlyThePanelForTheTextViewAndBack)
{
    VisibilityOrder order;
    for (int id : app::kPanelControls)
        window->control(id)->installEventFilter(&order);
    const std::vector<int> ids = allControls();
    ASSERT_GT(ids.size(), app::kPanelControls.size());

    clickRawText();
    ASSERT_TRUE(window->rawTextButton->isChecked());
    for (int id : ids) {
        const bool visible = id == idc::TextView || !inPanel(id);
        EXPECT_EQ(window->control(id)->isVisible(), visible) << id;
    }
    EXPECT_TRUE(window->chart->isVisible());
    EXPECT_TRUE(std::equal(order.hidden.begin(), order.hidden.end(), app::kPanelControls.begin(),
                           app::kPanelControls.end()));

    clickRawText();
    ASSERT_FALSE(window->rawTextButton->isChecked());
    for (int id : ids)
        EXPECT_EQ(window->control(id)->isVisible(), id != idc::TextView) << id;
    EXPECT_TRUE(window->chart->isVisible());
    EXPECT_TRUE(std::equal(order.shown.begin(), order.shown.end(), app::kPanelControls.begin(),
                           app::kPanelControls.end()));
    for (int id : app::kPanelControls)
        window->control(id)->removeEventFilter(&order);
}

TEST_F(RawTextTest, XSyncIsSwitchedOffEitherWayAndStaysOff)
{
    for (const bool on : {true, false}) {
        window->rawTextButton->setChecked(!on);
        window->xSyncButton->setChecked(true);
        window->UpdateData(true);
        ASSERT_EQ(window->xSyncOn, 1);

        window->OnToggleXSync();
        ASSERT_NE(window->xSyncTimerId, 0);
        ASSERT_NE(window->chart->xAxisText, QString::fromUtf8("Trames reçues"));

        clickRawText();
        EXPECT_EQ(window->rawTextMode(), on);
        EXPECT_FALSE(window->xSyncButton->isChecked()) << on;
        EXPECT_EQ(window->xSyncOn, 0) << on;
        EXPECT_EQ(window->xSyncTimerId, 0) << on;
        EXPECT_EQ(window->chart->xAxisText, QString::fromUtf8("Trames reçues")) << on;
    }
    // Turning the mode off does not start X synchronisation again.
    clickRawText();
    clickRawText();
    EXPECT_FALSE(window->xSyncButton->isChecked());
    EXPECT_EQ(window->xSyncOn, 0);
}

TEST_F(RawTextTest, EachViewShowsAgainWhatItShowedBefore)
{
    postFrame(FRAME_KIND_READER, "5A0A1B2CABCD");
    clickRawText();

    // Frames in raw text mode leave the decoded fields alone and are echoed.
    postFrame(FRAME_KIND_READER, "960A1B2CAB");
    postFrame(FRAME_KIND_READER, "FF0A1BAB");
    EXPECT_EQ(fieldText(idc::Frame), "[5A0A1B2CABCD]");
    EXPECT_EQ(fieldText(idc::P1), "90");
    EXPECT_EQ(fieldText(idc::Id), "0A1B2C");
    const QString echoed = window->textView->toPlainText();
    EXPECT_TRUE(echoed.contains(" > [960A1B2CAB]\n")) << echoed.toStdString();
    EXPECT_TRUE(echoed.contains(" > [FF0A1BAB]\n")) << echoed.toStdString();

    clickRawText();
    EXPECT_TRUE(window->edit(idc::Frame)->isVisible());
    EXPECT_EQ(fieldText(idc::Frame), "[5A0A1B2CABCD]");
    EXPECT_EQ(window->textView->toPlainText(), echoed);
    clickRawText();
    EXPECT_EQ(window->textView->toPlainText(), echoed);
}

}  // namespace
}  // namespace varno::testing
