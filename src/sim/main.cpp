// varno-sim: a simulated radio-tag reader for trying VARNO without hardware.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/options.h"
#include "sim/run.h"
#include "sim/stop_signal.h"

namespace {

const varno::sim::StopSignal* g_stop = nullptr;

void onStopSignal(int)
{
    if (g_stop)
        g_stop->request();
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace varno::sim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseOptions(args);
    if (parsed.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "varno-sim: %s\nTry 'varno-sim --help' for more information.\n", parsed.error.c_str());
        return 2;
    }
    const Options& options = parsed.options;

    // A reader that goes away ends its session; it must not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
    StopSignal stop;
    g_stop = &stop;
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    RunHooks hooks;
    hooks.ready = [](const std::string& where) {
        std::printf("%s\n", where.c_str());
        std::fflush(stdout);
    };
    hooks.note = [&](const std::string& text) {
        if (!options.quiet)
            std::fprintf(stderr, "varno-sim: %s\n", text.c_str());
    };
    hooks.error = [](const std::string& text) { std::fprintf(stderr, "varno-sim: %s\n", text.c_str()); };
    const int status = run(options, stop, hooks);
    g_stop = nullptr;
    return status;
}
