#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/dialog_units.h"
#include "ui/placement.h"

namespace varno::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("About VARNO"));
    setFixedSize(ui::dluToPixelsX(235), ui::dluToPixelsY(55));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/varno/varno.png")).pixmap(32, 32));
    icon->setGeometry(ui::dluToPixelsX(11), ui::dluToPixelsY(17), 32, 32);

    auto* version = new QLabel(QStringLiteral("VARNO Version 1.0"), this);
    version->setTextFormat(Qt::PlainText);
    ui::placeLabel(version, 40, 10, 119, 8);

    auto* notice = new QLabel(QStringLiteral("Radio-tag reader monitor and logger"), this);
    notice->setTextFormat(Qt::PlainText);
    // Below the OK button, so it may run on to the box's right edge.
    ui::placeLabel(notice, 40, 25, 119, 8);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ui::place(ok, 178, 7, 50, 16);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace varno::app
