#pragma once
// One run of the simulator: sets up the output and the record, then streams
// session after session until the count is reached or a stop is requested.

#include <functional>
#include <string>

#include "sim/options.h"
#include "sim/stop_signal.h"

namespace varno::sim {

struct RunHooks {
    // Called once, when the output is ready for a reader, with where it is:
    // "127.0.0.1:10001" or "/dev/pts/3". Not called for standard output.
    std::function<void(const std::string&)> ready;
    std::function<void(const std::string&)> note;   // progress
    std::function<void(const std::string&)> error;  // the failure that ends the run
};

// The exit status: 0 when done or stopped, 1 on a failure.
int run(const Options& options, const StopSignal& stop, const RunHooks& hooks);

}  // namespace varno::sim
