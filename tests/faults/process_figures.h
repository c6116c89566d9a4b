#pragma once
// What the fault cases measure of their own process, and how they print it: one
// "[ FIGURE ]" line on standard output and a property of the test's XML record
// for each figure.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace varno::testing {

// Prints `name = value unit` and records it under `name`.
template <typename Value>
void figure(const std::string& name, const Value& value, const std::string& unit = "")
{
    std::ostringstream text;
    text << value;
    std::printf("[ FIGURE ] %s = %s%s%s\n", name.c_str(), text.str().c_str(), unit.empty() ? "" : " ",
                unit.c_str());
    std::fflush(stdout);
    ::testing::Test::RecordProperty(name, text.str() + (unit.empty() ? "" : " " + unit));
}

using Clock = std::chrono::steady_clock;

inline double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time of every thread of the process, living or ended.
inline double processCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Entries of a /proc directory, "." and ".." left out.
inline std::set<std::string> procEntries(const char* path)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(path)) {
        const int own = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && name != std::to_string(own))
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

// Open descriptors of the process (the one that lists them left out).
inline std::size_t openDescriptors()
{
    return procEntries("/proc/self/fd").size();
}

// Thread identifiers of the process.
inline std::set<std::string> threadIds()
{
    return procEntries("/proc/self/task");
}

inline pid_t currentThreadId()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// The state letter of a thread of this process ('S' while it sleeps in a
// wait), '?' when it has gone.
inline char threadState(const std::string& tid)
{
    std::ifstream in("/proc/self/task/" + tid + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), as bytes; -1 when absent.
inline long long statusBytes(const std::string& field)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1)) * 1024;
    }
    return -1;
}

// Starts the peak of the resident set over from the current size; false when
// the kernel refuses.
inline bool resetPeakResidentSet()
{
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = ::write(fd, "5", 1) == 1;
    ::close(fd);
    return done;
}

// Bytes the process has taken with read() and its kin, ended threads included.
inline long long bytesRead()
{
    std::ifstream in("/proc/self/io");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("rchar:", 0) == 0)
            return std::stoll(line.substr(6));
    }
    return -1;
}

// Waits for `condition`, checking every `step`; false when `timeout` passed first.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout,
             std::chrono::microseconds step = std::chrono::microseconds(200))
{
    const auto end = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace varno::testing
