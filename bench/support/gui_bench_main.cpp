// main() of the benchmarks that need widgets: one QApplication on the offscreen
// platform, set up as the program sets itself up.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/application.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    varno::app::chooseEventDispatcher();
    QApplication application(argc, argv);
    varno::app::setUpApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
