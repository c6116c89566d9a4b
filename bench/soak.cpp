// Soak run: millions of frames from the reader simulator over loopback into the
// real main window (offscreen), with the chart drawing and logging on, raw text
// mode and X synchronisation switched now and then. Prints the frames sent and
// logged, the resident memory after warm-up and at its highest, and the
// message boxes shown; exits non-zero when a frame is missing from the log, a
// box appeared or memory grew by more than 10 MB after warm-up.
//
// Usage: varno-soak <path to varno-sim> [frames]   (default 10,000,000)

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/application.h"
#include "app/main_window.h"
#include "link/pause.h"
#include "support/process_stats.h"
#include "support/temp_dir.h"
#include "support/window_watch.h"
#include "ui/alerts.h"

namespace {

using namespace varno;

// Starts the simulator; its first line on standard output is the address it
// listens on. Returns the port, 0 on failure.
int startSimulator(const char* path, long long frames, pid_t& pid)
{
    int out[2];
    if (pipe(out) != 0)
        return 0;
    pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        const std::string count = std::to_string(frames);
        execl(path, path, "--listen", "127.0.0.1:0", "--rate", "0", "--count", count.c_str(), "--hold", "--tags",
              "12", "--quiet", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    close(out[0]);
    const auto colon = line.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

long long countLoggedLines(const std::string& dir)
{
    long long lines = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("Trame re", 0) != 0)  // every opening writes a header
                ++lines;
        }
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: varno-soak <path to varno-sim> [frames]\n");
        return 2;
    }
    const long long frames = argc > 2 ? std::atoll(argv[2]) : 10'000'000LL;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app::chooseEventDispatcher();
    QApplication application(argc, argv);
    app::setUpApplication();

    testing::TempDir logs;
    bench::CountingAlerts alerts;
    ui::setAlerts(&alerts);
    link::setPauseScale(0);

    pid_t simulator = 0;
    const int port = startSimulator(argv[1], frames, simulator);
    if (port == 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }

    auto window = std::make_unique<app::CVARNODlg>();
    window->workingDirectory = logs.path();
    window->show();
    window->button(app::idc::Log)->click();
    window->portCombo->setEditText(QStringLiteral("TCP/IP"));
    window->tcpSelected = true;
    window->tcpHostAddress = 0x7F000001;
    window->tcpPort = static_cast<std::uint32_t>(port);
    window->button(app::idc::Open)->click();

    const long long warmUp = std::min(frames / 10, 500'000LL);
    const long long switchEvery = std::max(frames / 40, 1LL);
    long rssAfterWarmUp = 0;
    long rssHighest = 0;
    long long nextSwitch = switchEvery;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = bench::cpuSeconds();
    auto lastProgress = start;
    while (window->frameHandOver->taken() < frames && window->linkOpen == 1) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (window->frameHandOver->taken() >= nextSwitch) {
            // Now and then the operator switches raw text mode, and X
            // synchronisation in decoded mode.
            window->rawTextButton->click();
            if (!window->rawTextMode())
                window->xSyncButton->click();
            nextSwitch += switchEvery;
        }
        if (rssAfterWarmUp == 0 && window->frameHandOver->taken() >= warmUp)
            rssAfterWarmUp = bench::residentKb();
        if (rssAfterWarmUp != 0)
            rssHighest = std::max(rssHighest, bench::residentKb());
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress > std::chrono::seconds(30)) {
            std::printf("... %lld frames, RSS %ld kB\n", window->frameHandOver->taken(), bench::residentKb());
            std::fflush(stdout);
            lastProgress = now;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double cpu = bench::cpuSeconds() - cpuStart;

    window->button(app::idc::Open)->click();
    window->button(app::idc::Log)->click();
    window.reset();
    kill(simulator, SIGTERM);
    waitpid(simulator, nullptr, 0);

    const long long logged = countLoggedLines(logs.path());
    const long growthKb = rssHighest - rssAfterWarmUp;
    std::printf("frames sent:            %lld\n", frames);
    std::printf("frames handled:         %lld\n", window->frameHandOver->taken());
    std::printf("CSV lines written:      %lld\n", logged);
    std::printf("frames per second:      %.0f (%.0f per CPU second)\n", window->frameHandOver->taken() / elapsed.count(),
                window->frameHandOver->taken() / cpu);
    std::printf("RSS after warm-up:      %ld kB\n", rssAfterWarmUp);
    std::printf("RSS highest after it:   %ld kB (growth %ld kB)\n", rssHighest, growthKb);
    std::printf("message boxes:          %d\n", alerts.shown);
    const bool ok = logged == frames && window->frameHandOver->taken() == frames && alerts.shown == 0 && growthKb <= 10 * 1024;
    std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
    ui::setAlerts(nullptr);
    return ok ? 0 : 1;
}
