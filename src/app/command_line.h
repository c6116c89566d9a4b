#pragma once
// The command line, read before any application object exists, so that
// --help and --version work without a display, and a missing display is told
// in one line instead of the toolkit's abort.

#include <QString>
#include <QStringList>

#include "headless/options.h"

namespace varno::app {

struct CommandLine {
    enum class Action { RunWindow, RunHeadless, ShowHelp, ShowVersion, Fail };
    Action action = Action::RunWindow;
    // --log-dir: an existing folder, absolute and clean ("/" for the root);
    // empty for the default (log::defaultLogDirectory).
    QString logDirectory;
    // The toolkit's -platform option, when given (it is passed on to it).
    QString platform;
    // Fail: what was wrong, one line.
    QString error;
    // RunHeadless: the source, the log folder and what to log.
    headless::Options headless;

    // Whether the action shows a window, and so needs a display.
    bool needsDisplay() const { return action == Action::RunWindow; }
};

// `arguments` as main() got them, the program's name first. The toolkit's
// own options (-platform, -style, -display, ...) are accepted and left for it.
CommandLine parseCommandLine(const QStringList& arguments);

// The texts of --help (needs a QCoreApplication, for the program's name in
// its usage line) and --version ("varno 1.1.1").
QString helpText();
QString versionText();

// Whether the toolkit can show a window: a display server is named
// (`display`: DISPLAY, `waylandDisplay`: WAYLAND_DISPLAY), or the platform
// (`platform`: the -platform option, or else QT_QPA_PLATFORM) needs none.
bool displayAvailable(const QString& platform, const QString& display, const QString& waylandDisplay);

// The line that says there is no display and how to run the program anyway.
QString noDisplayText();

}  // namespace varno::app
