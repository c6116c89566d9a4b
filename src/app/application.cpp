#include "app/application.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QStyle>

namespace varno::app {

void chooseEventDispatcher()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

void setUpApplication()
{
    // Qt's own texts (standard buttons, an edit's context menu) in the
    // window's language. Without the translation they stay in English.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;

    // The common controls without visual styles.
    if (QStyle* style = QApplication::setStyle(QStringLiteral("Windows")))
        QApplication::setPalette(style->standardPalette());
    // The window templates were laid out for these faces; the metric-compatible
    // Liberation fonts stand in for them on Linux.
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
}

}  // namespace varno::app
