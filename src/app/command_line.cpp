#include "app/command_line.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace varno::app {

namespace {

// The toolkit's options for GUI applications: accepted here, hidden from the
// help, and read by the QApplication itself.
const char* const kToolkitOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "display", "geometry", "style", "stylesheet", "session", "name", "title",
};
const char* const kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// Platforms that draw without a display server.
const char* const kPlatformsWithoutDisplay[] = {
    "offscreen", "minimal", "minimalegl", "vnc", "linuxfb", "eglfs", "vkkhrdisplay",
};

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Display this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Display the version and exit.")};
    QCommandLineOption logDir{
        QStringLiteral("log-dir"),
        QStringLiteral("Write the log files into <DIR>. By default they go to the folder VARNO is started "
                       "from, or to the home folder when that is / or cannot be written into."),
        QStringLiteral("DIR")};
};

void describe(QCommandLineParser& parser, const Options& options)
{
    // "-platform" is one option, as the toolkit reads it, not six letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "VARNO: monitor and logger for radio-tag readers.\n"
        "Listens to a reader's stream on a serial port or as a TCP client, shows and plots its frames\n"
        "and logs them to VARNO_ddmmyyyy_HHhMM.csv. Needs a display; without one, run: xvfb-run varno"));
    parser.addOption(options.help);
    parser.addOption(options.version);
    parser.addOption(options.logDir);
    for (const char* name : kToolkitOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kToolkitFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine command;
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    if (!parser.parse(arguments)) {
        command.action = CommandLine::Action::Fail;
        command.error = parser.errorText();
        return command;
    }
    if (parser.isSet(options.help)) {
        command.action = CommandLine::Action::ShowHelp;
        return command;
    }
    if (parser.isSet(options.version)) {
        command.action = CommandLine::Action::ShowVersion;
        return command;
    }
    if (!parser.positionalArguments().isEmpty()) {
        command.action = CommandLine::Action::Fail;
        command.error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
        return command;
    }
    if (parser.isSet(options.logDir)) {
        const QString given = parser.value(options.logDir);
        const QFileInfo folder(QDir::current(), given);
        if (given.isEmpty() || !folder.isDir()) {
            command.action = CommandLine::Action::Fail;
            command.error = QStringLiteral("The log folder '%1' does not exist or is not a folder.").arg(given);
            return command;
        }
        // The path the status line shows: absolute, as the operator can find it.
        command.logDirectory = QDir::cleanPath(folder.absoluteFilePath());
    }
    command.platform = parser.value(QStringLiteral("platform"));
    return command;
}

QString helpText()
{
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    return parser.helpText();
}

QString versionText()
{
    return QStringLiteral("varno " VARNO_VERSION "\n");
}

bool displayAvailable(const QString& platform, const QString& display, const QString& waylandDisplay)
{
    // QT_QPA_PLATFORM may list platforms to try in turn, each with its own
    // parameters after a colon: "offscreen", "xcb;wayland", "vnc:size=800x600".
    for (const QString& entry : platform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        for (const char* displayless : kPlatformsWithoutDisplay) {
            if (name == QLatin1String(displayless))
                return true;
        }
    }
    return !display.isEmpty() || !waylandDisplay.isEmpty();
}

QString noDisplayText()
{
    return QStringLiteral("varno: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                          "run it in a desktop session, or on a virtual display: xvfb-run varno\n");
}

}  // namespace varno::app
