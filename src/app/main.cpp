// VARNO: monitor and logger for radio-tag readers.

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "app/application.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "headless/logger.h"
#include "log/working_directory.h"

namespace {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

}  // namespace

int main(int argc, char* argv[])
{
    using namespace varno::app;

    // Read before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = parseCommandLine(arguments);
    switch (command.action) {
    case CommandLine::Action::ShowHelp: {
        const QCoreApplication core(argc, argv);  // names the program in the usage line
        print(stdout, helpText());
        return 0;
    }
    case CommandLine::Action::ShowVersion:
        print(stdout, versionText());
        return 0;
    case CommandLine::Action::Fail:
        print(stderr, QStringLiteral("varno: %1\nTry 'varno --help' for more information.\n").arg(command.error));
        return 2;
    case CommandLine::Action::RunHeadless:
        return varno::headless::run(command.headless, stderr);
    case CommandLine::Action::RunWindow:
        break;
    }
    if (command.needsDisplay()
        && !displayAvailable(command.platform.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : command.platform,
                             qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"))) {
        print(stderr, noDisplayText());
        return 2;
    }

    chooseEventDispatcher();
    QApplication application(argc, argv);
    setUpApplication();

    CVARNODlg window;
    if (!command.logDirectory.isEmpty())
        window.workingDirectory = varno::log::withoutTrailingSlash(QFile::encodeName(command.logDirectory).toStdString());
    window.exec();
    return 0;
}
