#pragma once
// Figures of this process the benchmarks print.

#include <time.h>

#include <fstream>
#include <string>

namespace varno::bench {

// A "Vm…:" line of /proc/self/status in kB: "VmRSS" now, "VmHWM" at its peak.
inline long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

inline long residentKb() { return statusKb("VmRSS"); }
inline long peakResidentKb() { return statusKb("VmHWM"); }

// CPU time of the whole process: on a shared machine it tells our own cost
// apart from the time other processes took.
inline double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace varno::bench
