#pragma once
// A log file read against the simulator's record of the same stream: for every
// frame, how long after its send time the log says it arrived, and how many of
// the log's lines show no time at all since the previous one (dt 0.000).
// Both files give local wall-clock times; they are compared field by field.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace varno::testing {

struct LogTimes {
    std::size_t lines = 0;          // frame lines of the log
    std::size_t recorded = 0;       // frames of the record
    std::size_t mismatched = 0;     // lines whose frame is not the record's frame of the same rank
    std::size_t unreadable = 0;     // lines or record entries whose time does not read
    std::vector<std::int64_t> lateMs;  // logged time less send time, one per matched line
    std::size_t dtZero = 0;         // lines after the first with dt 0.000

    double dtZeroShare() const { return lines > 1 ? static_cast<double>(dtZero) / static_cast<double>(lines - 1) : 0; }
    // The value below which `share` (0 to 1) of the lateness figures lie.
    std::int64_t lateQuantile(double share) const
    {
        if (lateMs.empty())
            return 0;
        std::vector<std::int64_t> sorted = lateMs;
        std::sort(sorted.begin(), sorted.end());
        const auto rank = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1) + 0.5);
        return sorted[std::min(rank, sorted.size() - 1)];
    }
    std::int64_t lateMin() const { return lateMs.empty() ? 0 : *std::min_element(lateMs.begin(), lateMs.end()); }
    std::int64_t lateMax() const { return lateMs.empty() ? 0 : *std::max_element(lateMs.begin(), lateMs.end()); }
};

namespace detail {

// Milliseconds of a wall-clock date and time, counted as if it were UTC: the
// same count for both files, whatever the zone. -1 when it does not read.
inline std::int64_t wallMillis(int day, int month, int year, int hour, int minute, int second, int millis)
{
    std::tm tm{};
    tm.tm_mday = day;
    tm.tm_mon = month - 1;
    tm.tm_year = year - 1900;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000 + millis;
}

inline std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    return fields;
}

}  // namespace detail

// `logPath`: a log written while the simulator sent `recordPath`'s frames, and nothing else.
inline LogTimes readLogTimes(const std::string& logPath, const std::string& recordPath)
{
    LogTimes times;
    struct Sent {
        std::string bracketed;
        std::int64_t at;
    };
    std::vector<Sent> sent;
    std::ifstream record(recordPath);
    for (std::string line; std::getline(record, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0, ms = 0;
        std::int64_t at = -1;
        if (tab != std::string::npos
            && std::sscanf(line.c_str() + tab + 1, "%d/%d/%d %d:%d:%d.%d", &d, &mo, &y, &h, &mi, &s, &ms) == 7)
            at = detail::wallMillis(d, mo, y, h, mi, s, ms);
        std::string bracketed(1, '[');
        bracketed.append(line, 4, tab == std::string::npos ? std::string::npos : tab - 4);
        bracketed.push_back(']');
        sent.push_back({std::move(bracketed), at});
    }
    times.recorded = sent.size();

    std::ifstream log(logPath, std::ios::binary);
    std::string line;
    std::getline(log, line);  // the header
    for (std::size_t i = 0; std::getline(log, line); ++i) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ++times.lines;
        const std::vector<std::string> fields = detail::split(line, ';');
        if (fields.size() < 4 || i >= sent.size() || fields[0] != sent[i].bracketed) {
            ++times.mismatched;
            continue;
        }
        if (i > 0 && fields.size() >= 8 && fields[7] == "0.000")
            ++times.dtZero;
        int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0, ms = 0;
        if (std::sscanf(fields[1].c_str(), "%d/%d/%d", &d, &mo, &y) != 3
            || std::sscanf(fields[2].c_str(), "%d:%d:%d", &h, &mi, &s) != 3
            || std::sscanf(fields[3].c_str(), "0.%d", &ms) != 1 || sent[i].at < 0) {
            ++times.unreadable;
            continue;
        }
        times.lateMs.push_back(detail::wallMillis(d, mo, y, h, mi, s, ms) - sent[i].at);
    }
    return times;
}

}  // namespace varno::testing
