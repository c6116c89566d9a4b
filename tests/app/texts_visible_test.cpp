// Every text of the program's windows fully visible at the default size:
// each label, button, check box and group title measured with the font it is
// drawn in against the room its control gives it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include "app/about_dialog.h"
#include "link/config_tcpip.h"
#include "support/window_fixture.h"

namespace varno::testing {
namespace {

// The room a control leaves its text, and the text's width in its font.
struct Measure {
    QString text;
    int needed = 0;
    int room = 0;
};

QString describe(const QWidget* w, const QString& text)
{
    return QStringLiteral("%1 \"%2\" in %3").arg(w->metaObject()->className(), text, w->window()->windowTitle());
}

// Every text-bearing control of `dialog` whose text does not fit.
QStringList clippedTexts(QWidget* dialog)
{
    QStringList clipped;
    auto check = [&](const QWidget* w, const QString& text, int room, int roomHeight) {
        if (text.isEmpty() || !w->isVisibleTo(dialog))
            return;
        const QFontMetrics metrics(w->font());
        QString plain = text;
        plain.remove(QLatin1Char('&'));
        const int needed = metrics.horizontalAdvance(plain);
        if (needed > room || metrics.height() > roomHeight)
            clipped << QStringLiteral("%1: needs %2 x %3 px, has %4 x %5")
                           .arg(describe(w, text))
                           .arg(needed)
                           .arg(metrics.height())
                           .arg(room)
                           .arg(roomHeight);
    };
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->pixmap().isNull())
            check(label, label->text(), label->contentsRect().width(), label->contentsRect().height());
    }
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QCheckBox*>(button) != nullptr)
            contents = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<QRadioButton*>(button) != nullptr)
            contents = QStyle::SE_RadioButtonContents;
        const QRect room = button->style()->subElementRect(contents, &option, button);
        check(button, button->text(), room.width(), room.height());
    }
    for (QGroupBox* box : dialog->findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        // The title may run up to the frame's right end.
        check(box, box->title(), box->width() - label.left() - 4, label.height());
    }
    return clipped;
}

void expectAllVisible(QWidget* dialog)
{
    const QStringList clipped = clippedTexts(dialog);
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join('\n').toStdString();
}

class TextsVisibleTest : public WindowTest {};

TEST_F(TextsVisibleTest, TheMainWindowInBothModes)
{
    EXPECT_EQ(clippedTexts(window.get()), QStringList{});
    window->rawTextButton->click();
    EXPECT_EQ(clippedTexts(window.get()), QStringList{});
}

TEST_F(TextsVisibleTest, TheTcpIpSettingsAndTheAboutBox)
{
    link::CConfigTCPIP settings(window.get());
    expectAllVisible(&settings);
    app::CAboutDlg about(window.get());
    expectAllVisible(&about);
}

TEST_F(TextsVisibleTest, QtsOwnTextsAreFrench)
{
    link::CConfigTCPIP settings(window.get());
    QStringList buttons;
    for (QPushButton* button : settings.findChildren<QPushButton*>())
        buttons << button->text();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Annuler"))) << buttons.join(", ").toStdString();
    EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text(),
              QStringLiteral("Annuler"));
}

}  // namespace
}  // namespace varno::testing
