#pragma once
// Hands the generator's units to a channel at the pace asked for, keeps the
// record of what was handed over, and counts frames towards the end of the run.
// Everything here runs on the simulator's one thread.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "sim/channel.h"
#include "sim/generator.h"
#include "sim/options.h"
#include "sim/stop_signal.h"

namespace varno::sim {

using Clock = std::chrono::steady_clock;

// When the next unit is due: one per 1/rate seconds, or, as a serial line, when
// the previous unit's bytes have gone out at 10 bits per byte.
class Pacer {
public:
    Pacer(double rate, unsigned baud);
    bool unpaced() const { return m_secondsPerFrame == 0 && m_secondsPerByte == 0; }
    void restart(Clock::time_point now);
    Clock::time_point due() const;
    void queued(std::size_t bytes);

private:
    double m_secondsPerFrame = 0;
    double m_secondsPerByte = 0;
    Clock::time_point m_base;
    double m_offset = 0;  // seconds from m_base to the next unit
};

// The record file: one line per frame handed over (see recordLine).
class Record {
public:
    static std::unique_ptr<Record> create(const std::string& path, std::string& error);
    ~Record();
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // `sentAt`: when the frame's last byte was handed to the reader, in
    // milliseconds since 1970.
    void add(const Frame& frame, const std::string& truncated, std::int64_t sentAt);
    // False (with `error`) when the lines could not be written.
    bool flush(std::string& error);

private:
    explicit Record(std::FILE* file) : m_file(file) {}
    std::FILE* m_file;
};

class Streamer {
public:
    enum class End {
        Finished,    // the count was reached and the reader took everything
        ReaderGone,  // the reader went away first
        Stopped,     // a stop was requested
        Failed,      // see failure()
    };

    // `record` may be null.
    Streamer(const Options& options, Generator& generator, Record* record, const StopSignal& stop);

    // Streams into one reader's channel until one of the ends above. A frame
    // counts, and goes to the record, once its last byte is handed over. When the
    // reader goes, the unit it was taking is dropped, and the next session starts
    // with the next unit: the frames handed over are the generator's frames less
    // at most one at each change of reader.
    End stream(Channel& channel);

    std::uint64_t delivered() const { return m_delivered; }
    const std::string& failure() const { return m_failure; }

private:
    // A unit waiting in m_pending. Offsets are from the start of m_pending and
    // turn negative once the unit's first bytes have gone.
    struct Queued {
        long start;
        long frameEnd;  // just past the frame's last byte
        Frame frame;
        std::string truncated;
    };

    bool countReached() const { return m_count != 0 && m_delivered >= m_count; }
    void queueDueUnits(Clock::time_point now);
    // `bytes` were taken by the reader in a call made at `sentAt` (see Record::add).
    bool handedOver(std::size_t bytes, std::int64_t sentAt);
    void dropUnitInFlight();
    End finish(Channel& channel);
    // Polls the stop signal and the channel; returns an end, or nothing to go on.
    std::optional<End> wait(Channel& channel, bool wantWrite, long timeoutNanos);

    Generator& m_generator;
    Record* m_record;
    const StopSignal& m_stop;
    Pacer m_pacer;
    std::uint64_t m_count;
    bool m_hold;
    Clock::duration m_delay;

    std::string m_pending;  // bytes queued for the channel, not yet taken
    std::deque<Queued> m_queued;
    std::uint64_t m_delivered = 0;
    std::string m_failure;
};

}  // namespace varno::sim
