// The command line: the real executable's answers to --help, --version and a
// missing display (exit statuses and texts), and the reading of the options.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/command_line.h"
#include "support/temp_dir.h"

namespace varno::testing {
namespace {

using app::CommandLine;

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// Runs the real varno with `arguments` in an environment without any display.
Outcome runVarno(const QStringList& arguments, const QMap<QString, QString>& extraEnvironment = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (auto it = extraEnvironment.begin(); it != extraEnvironment.end(); ++it)
        environment.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VARNO_EXECUTABLE), arguments);
    Outcome run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const Outcome run = runVarno({option});
        EXPECT_EQ(run.status, 0) << option.toStdString();
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: "))) << run.out.toStdString();
        for (const char* part : {"--help", "--version", "--log-dir <DIR>", "xvfb-run varno"})
            EXPECT_TRUE(run.out.contains(QString::fromLatin1(part))) << part;
        // The toolkit's options are passed on, not offered.
        EXPECT_FALSE(run.out.contains(QStringLiteral("platform")));
        EXPECT_EQ(run.err, "");
    }
    for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const Outcome run = runVarno({option});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, QStringLiteral("varno " VARNO_PROJECT_VERSION "\n"));
        EXPECT_EQ(run.err, "");
    }
}

TEST(CommandLine, WithoutADisplayOneLineSaysHowToRunIt)
{
    const QString expected = QStringLiteral(
        "varno: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
        "run it in a desktop session, or on a virtual display: xvfb-run varno\n");
    // Nothing set, or a platform that needs a display server.
    for (const QMap<QString, QString>& environment :
         {QMap<QString, QString>{}, QMap<QString, QString>{{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")}},
          QMap<QString, QString>{{QStringLiteral("DISPLAY"), QString()}}}) {
        const Outcome run = runVarno({}, environment);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, expected);
    }
    // The same with a log folder: the folder is fine, the display is missing.
    TempDir dir;
    const Outcome run = runVarno({QStringLiteral("--log-dir"), QString::fromStdString(dir.path())});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, expected);
}

TEST(CommandLine, MistakesAreToldWithStatusTwo)
{
    const struct {
        QStringList arguments;
        const char* error;
    } cases[] = {
        {{QStringLiteral("--bogus")}, "varno: Unknown option 'bogus'.\n"},
        {{QStringLiteral("file.csv")}, "varno: Unexpected argument 'file.csv'.\n"},
        {{QStringLiteral("--log-dir")}, "varno: Missing value after '--log-dir'.\n"},
        {{QStringLiteral("--log-dir"), QStringLiteral("/nonexistent/folder")},
         "varno: The log folder '/nonexistent/folder' does not exist or is not a folder.\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = runVarno(c.arguments);
        EXPECT_EQ(run.status, 2) << c.error;
        EXPECT_EQ(run.err, QString::fromUtf8(c.error) + QStringLiteral("Try 'varno --help' for more information.\n"));
        EXPECT_EQ(run.out, "");
    }
}

TEST(CommandLine, OptionsAreRead)
{
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    struct Case {
        QStringList arguments;
        CommandLine::Action action;
        QString logDirectory;
        QString platform;
    };
    const QString relative = QDir::current().relativeFilePath(folder);
    const Case cases[] = {
        {{}, CommandLine::Action::RunWindow, QString(), QString()},
        {{QStringLiteral("--log-dir"), folder}, CommandLine::Action::RunWindow, folder, QString()},
        {{QStringLiteral("--log-dir=") + folder + QStringLiteral("/")}, CommandLine::Action::RunWindow, folder, QString()},
        // A relative folder is shown as the operator can find it again: whole.
        {{QStringLiteral("--log-dir"), relative}, CommandLine::Action::RunWindow, folder, QString()},
        {{QStringLiteral("--log-dir"), QStringLiteral("/")}, CommandLine::Action::RunWindow, QStringLiteral("/"), QString()},
        // The toolkit's options pass.
        {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-reverse")},
         CommandLine::Action::RunWindow, QString(), QStringLiteral("offscreen")},
        {{QStringLiteral("--help"), QStringLiteral("--log-dir"), QStringLiteral("/nonexistent")},
         CommandLine::Action::ShowHelp, QString(), QString()},
        {{QStringLiteral("--version")}, CommandLine::Action::ShowVersion, QString(), QString()},
        {{QStringLiteral("-x")}, CommandLine::Action::Fail, QString(), QString()},
    };
    for (const Case& c : cases) {
        const CommandLine command = app::parseCommandLine(QStringList{QStringLiteral("varno")} + c.arguments);
        const std::string trace = c.arguments.join(' ').toStdString();
        EXPECT_EQ(command.action, c.action) << trace;
        EXPECT_EQ(command.logDirectory, c.logDirectory) << trace;
        EXPECT_EQ(command.platform, c.platform) << trace;
        EXPECT_EQ(command.needsDisplay(), c.action == CommandLine::Action::RunWindow) << trace;
    }
}

TEST(CommandLine, ADisplayOrAPlatformWithoutOneLetsTheWindowStart)
{
    const struct {
        const char* platform;
        const char* display;
        const char* wayland;
        bool available;
    } cases[] = {
        {"", "", "", false},
        {"", ":0", "", true},
        {"", "", "wayland-0", true},
        {"xcb", "", "", false},
        {"offscreen", "", "", true},
        {"minimal", "", "", true},
        {"vnc:size=800x600", "", "", true},
        {"xcb;offscreen", "", "", true},
        {"wayland;xcb", "", "", false},
        {"linuxfb", "", "", true},
        {"eglfs", "", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::displayAvailable(QString::fromLatin1(c.platform), QString::fromLatin1(c.display),
                                        QString::fromLatin1(c.wayland)),
                  c.available)
            << c.platform << " / " << c.display << " / " << c.wayland;
}

}  // namespace
}  // namespace varno::testing
