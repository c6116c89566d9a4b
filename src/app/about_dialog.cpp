#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/dialog_units.h"

namespace varno::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("About VARNO"));
    setFixedSize(ui::dluToPixelsX(235), ui::dluToPixelsY(55));

    auto place = [](QWidget* w, int x, int y, int width, int height) {
        const ui::PixelRect r = ui::dluRect(x, y, width, height);
        w->setGeometry(r.x, r.y, r.width, r.height);
    };

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/varno/varno.png")).pixmap(32, 32));
    icon->setGeometry(ui::dluToPixelsX(11), ui::dluToPixelsY(17), 32, 32);

    auto* version = new QLabel(QStringLiteral("VARNO Version 1.0"), this);
    version->setTextFormat(Qt::PlainText);
    place(version, 40, 10, 119, 8);

    auto* notice = new QLabel(QStringLiteral("Radio-tag reader monitor and logger"), this);
    notice->setTextFormat(Qt::PlainText);
    place(notice, 40, 25, 119, 8);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    place(ok, 178, 7, 50, 16);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace varno::app
