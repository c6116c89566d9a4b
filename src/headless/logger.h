#pragma once
// Logging without a window: a service next to a reader (or its gateway) with
// no display and nobody watching. The same reception threads, hand-over,
// per-frame rules and log file as the window, and a run that keeps going on
// its own: a TCP server that refuses or leaves is tried again after a growing
// pause, a serial device that disappears is opened again when it comes back.
// Everything that happens is one line on the report stream (standard error):
//
//   2026-12-10T16:30:00.123+01:00 connected 127.0.0.1:10001
//
// the local time, one event word, the detail. SIGTERM and SIGINT end the run
// after every frame already read is logged; SIGUSR1 asks for a status line,
// which also comes every minute.
//
// Threads: run() on the calling thread, which takes the frames and writes
// the log; the link's own reception thread. Signals are taken through a
// descriptor, never by a handler.

#include <cstdint>
#include <cstdio>
#include <string>

#include "headless/options.h"
#include "log/clock.h"

namespace varno::headless {

// Exit statuses of a headless run.
inline constexpr int kExitStopped = 0;        // stopped by SIGTERM or SIGINT
inline constexpr int kExitBadArguments = 2;   // the command line was refused
inline constexpr int kExitLogFailure = 3;     // the log could not be opened or written

// The pauses between two tries at a TCP server: 1, 2, 4 ... 30 s; back to 1 s
// once a connection has been made.
inline constexpr int kFirstRetryMs = 1000;
inline constexpr int kLongestRetryMs = 30000;
// A serial device that is absent is looked for again this often.
inline constexpr int kSerialRetryMs = 1000;
// Frames go from the reception thread to the log at most this often while
// they come fast (at once after a silence). No display waits for them, and
// every wake-up of the logging thread costs more than the lines it writes.
inline constexpr int kHandOverPaceMs = 100;
// A status line this often.
inline constexpr int kStatusIntervalMs = 60000;

// The pause after `previousMs` (0 for the first try after a success).
int nextRetryMs(int previousMs);

// One report line (without its line break): "<time> <event> <detail>".
std::string reportLine(const log::Clock& clock, log::ClockReading at, const std::string& event,
                       const std::string& detail);

// Runs until SIGTERM or SIGINT, or a log failure; returns the exit status.
// SIGTERM, SIGINT and SIGUSR1 are blocked in the calling thread (and the
// threads it starts) for the whole run.
int run(const Options& options, std::FILE* report, const log::Clock& clock = log::systemClock());

}  // namespace varno::headless
