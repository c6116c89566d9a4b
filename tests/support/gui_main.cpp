// main() of the widget tests: one QApplication for the whole run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
