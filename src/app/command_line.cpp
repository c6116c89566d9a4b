#include "app/command_line.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "log/working_directory.h"

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
                       "from, or (with the window) to the home folder when that is / or cannot be written into."),
        QStringLiteral("DIR")};
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Log without a window or a display, from exactly one source (--serial or --tcp), until "
                       "SIGTERM or SIGINT. Events go to standard error, one line each; SIGUSR1 asks for a "
                       "status line, which also comes every minute.")};
    QCommandLineOption serial{QStringLiteral("serial"),
                              QStringLiteral("With --headless: read the serial device <DEVICE>, opened again when "
                                             "it comes back after it disappeared."),
                              QStringLiteral("DEVICE")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("With --serial: the rate, 9600, 19200, 38400 or 115200 (the default)."),
                            QStringLiteral("RATE")};
    QCommandLineOption tcp{QStringLiteral("tcp"),
                           QStringLiteral("With --headless: connect to the server <HOST:PORT>, again after a "
                                          "growing pause (1 to 30 s) when it refuses or leaves."),
                           QStringLiteral("HOST:PORT")};
    QCommandLineOption raw{QStringLiteral("raw"),
                           QStringLiteral("With --headless: log every frame as it came, with its time only (the "
                                          "lines of the window's raw text mode).")};
    QCommandLineOption filter{QStringLiteral("filter"),
                              QStringLiteral("With --headless: log only the tags from <LO> to <HI>, six "
                                             "hexadecimal digits each, as the window's tag filter does."),
                              QStringLiteral("LO:HI")};
};

// The options that only a headless run takes.
QList<const QCommandLineOption*> headlessOnly(const Options& options)
{
    return {&options.serial, &options.baud, &options.tcp, &options.raw, &options.filter};
}

void describe(QCommandLineParser& parser, const Options& options)
{
    // "-platform" is one option, as the toolkit reads it, not six letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "VARNO: monitor and logger for radio-tag readers.\n"
        "Listens to a reader's stream on a serial port or as a TCP client, shows and plots its frames\n"
        "and logs them to VARNO_ddmmyyyy_HHhMM.csv. The window needs a display; without one, run:\n"
        "xvfb-run varno, or log without a window: varno --headless --tcp 127.0.0.1:10001\n"
        "\n"
        "Exit status: 0 when the run ends normally (the window closed, or SIGTERM or SIGINT with\n"
        "--headless), 2 when the command line is refused or there is no display for the window,\n"
        "3 when a headless run cannot open or write its log."));
    parser.addOption(options.help);
    parser.addOption(options.version);
    parser.addOption(options.logDir);
    parser.addOption(options.headless);
    for (const QCommandLineOption* option : headlessOnly(options))
        parser.addOption(*option);
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

    auto fail = [&command](const QString& error) {
        command.action = CommandLine::Action::Fail;
        command.error = error;
        return command;
    };
    if (!parser.isSet(options.headless)) {
        for (const QCommandLineOption* option : headlessOnly(options)) {
            if (parser.isSet(*option))
                return fail(QStringLiteral("--%1 goes with --headless.").arg(option->names().constFirst()));
        }
        return command;
    }

    headless::Options& run = command.headless;
    command.action = CommandLine::Action::RunHeadless;
    const bool serial = parser.isSet(options.serial);
    const bool tcp = parser.isSet(options.tcp);
    if (serial == tcp)
        return fail(QStringLiteral("--headless reads exactly one source: --serial DEVICE or --tcp HOST:PORT."));
    if (serial) {
        run.source = headless::Options::Source::Serial;
        run.device = QFile::encodeName(parser.value(options.serial)).toStdString();
        if (run.device.empty())
            return fail(QStringLiteral("--serial needs a device, such as /dev/ttyUSB0."));
        if (parser.isSet(options.baud)) {
            const auto rate = headless::parseBaudRate(parser.value(options.baud).toStdString());
            if (!rate.value)
                return fail(QString::fromStdString(rate.error) + QLatin1Char('.'));
            run.baudRate = *rate.value;
        }
    } else {
        if (parser.isSet(options.baud))
            return fail(QStringLiteral("--baud goes with --serial."));
        run.source = headless::Options::Source::Tcp;
        const auto target = headless::parseTcpTarget(parser.value(options.tcp).toStdString());
        if (!target.value)
            return fail(QString::fromStdString(target.error) + QLatin1Char('.'));
        run.host = target.value->host;
        run.port = target.value->port;
    }
    run.raw = parser.isSet(options.raw);
    if (parser.isSet(options.filter)) {
        const auto range = headless::parseFilterRange(parser.value(options.filter).toStdString());
        if (!range.value)
            return fail(QString::fromStdString(range.error) + QLatin1Char('.'));
        run.filterOn = true;
        run.filterLow = range.value->low;
        run.filterHigh = range.value->high;
    }
    // The log folder: the one named, or the start-up directory.
    run.logDirectory = log::withoutTrailingSlash(command.logDirectory.isEmpty()
                                                     ? log::currentWorkingDirectory()
                                                     : QFile::encodeName(command.logDirectory).toStdString());
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
