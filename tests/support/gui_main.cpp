// main() of the widget tests: one QApplication for the whole run, set up as
// the program sets itself up.

#include <gtest/gtest.h>

#include <QApplication>

#include "app/application.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    varno::app::chooseEventDispatcher();
    QApplication application(argc, argv);
    varno::app::setUpApplication();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
