#include "sim/run.h"

#include <poll.h>

#include <memory>

#include "sim/pty_port.h"
#include "sim/streamer.h"
#include "sim/tcp_server.h"

namespace varno::sim {

namespace {

// The reader went away or the run ended: says so and tells whether to go on.
enum class Next { Serve, Exit0, Exit1 };

Next after(Streamer::End end, const Streamer& streamer, const RunHooks& hooks)
{
    switch (end) {
    case Streamer::End::ReaderGone:
        return Next::Serve;
    case Streamer::End::Failed:
        hooks.error(streamer.failure());
        return Next::Exit1;
    case Streamer::End::Finished:
    case Streamer::End::Stopped:
        break;
    }
    hooks.note((end == Streamer::End::Stopped ? "stopped after " : "done: ")
               + std::to_string(streamer.delivered()) + " frames");
    return Next::Exit0;
}

int serveTcp(const Options& options, Streamer& streamer, const StopSignal& stop, const RunHooks& hooks)
{
    std::string error;
    auto server = TcpServer::listen(options.address, options.port, error);
    if (!server) {
        hooks.error(error);
        return 1;
    }
    hooks.ready(server->where());
    for (;;) {
        pollfd fds[2] = {{stop.fd(), POLLIN, 0}, {server->fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;  // EINTR
        if (fds[0].revents & POLLIN) {
            hooks.note("stopped after " + std::to_string(streamer.delivered()) + " frames");
            return 0;
        }
        std::string peer;
        auto client = server->accept(peer, error);
        if (!client) {
            if (!error.empty()) {
                hooks.note(error);
                error.clear();
                stop.wait(100);  // out of descriptors, say: do not spin
            }
            continue;
        }
        hooks.note("client " + peer + " connected");
        const auto end = streamer.stream(*client);
        client.reset();
        if (end == Streamer::End::ReaderGone)
            hooks.note("client " + peer + " disconnected after " + std::to_string(streamer.delivered())
                       + " frames");
        if (const Next next = after(end, streamer, hooks); next != Next::Serve)
            return next == Next::Exit0 ? 0 : 1;
    }
}

int servePty(Streamer& streamer, const StopSignal& stop, const RunHooks& hooks)
{
    std::string error;
    auto port = PtyPort::open(error);
    if (!port) {
        hooks.error(error);
        return 1;
    }
    hooks.ready(port->path());
    for (;;) {
        // No event tells that a reader opened the slave: look ten times a second.
        while (!port->readerPresent()) {
            if (stop.wait(100)) {
                hooks.note("stopped after " + std::to_string(streamer.delivered()) + " frames");
                return 0;
            }
        }
        hooks.note("reader opened " + port->path());
        const auto end = streamer.stream(*port);
        if (end == Streamer::End::ReaderGone) {
            hooks.note("reader closed " + port->path() + " after " + std::to_string(streamer.delivered())
                       + " frames");
            port->discardUnread();
        }
        if (const Next next = after(end, streamer, hooks); next != Next::Serve)
            return next == Next::Exit0 ? 0 : 1;
    }
}

}  // namespace

int run(const Options& options, const StopSignal& stop, const RunHooks& hooks)
{
    if (!stop.valid()) {
        hooks.error("cannot create the stop pipe");
        return 1;
    }
    std::unique_ptr<Record> record;
    if (!options.recordPath.empty()) {
        std::string error;
        record = Record::create(options.recordPath, error);
        if (!record) {
            hooks.error(error);
            return 1;
        }
    }
    Generator generator(options.stream);
    Streamer streamer(options, generator, record.get(), stop);

    switch (options.output) {
    case Options::Output::Tcp:
        return serveTcp(options, streamer, stop, hooks);
    case Options::Output::Pty:
        return servePty(streamer, stop, hooks);
    case Options::Output::Stdout: {
        StdoutChannel out;
        const auto end = streamer.stream(out);
        if (end == Streamer::End::ReaderGone) {
            hooks.note("standard output closed after " + std::to_string(streamer.delivered()) + " frames");
            return 0;
        }
        return after(end, streamer, hooks) == Next::Exit1 ? 1 : 0;
    }
    }
    return 1;
}

}  // namespace varno::sim
