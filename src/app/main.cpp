// VARNO: monitor and logger for radio-tag readers.

#include <QApplication>
#include <QFont>
#include <QStyle>

#include "app/main_window.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The classic look of the common controls, without visual styles.
    if (QStyle* style = QApplication::setStyle(QStringLiteral("Windows")))
        QApplication::setPalette(style->standardPalette());
    // The window templates were laid out for these faces; the metric-compatible
    // Liberation fonts stand in for them on Linux.
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});

    varno::app::CVARNODlg window;
    window.exec();
    return 0;
}
