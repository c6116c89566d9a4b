// VARNO: monitor and logger for radio-tag readers.

#include <QApplication>

#include "app/application.h"
#include "app/main_window.h"

int main(int argc, char* argv[])
{
    varno::app::chooseEventDispatcher();
    QApplication application(argc, argv);
    varno::app::setUpApplication();

    varno::app::CVARNODlg window;
    window.exec();
    return 0;
}
