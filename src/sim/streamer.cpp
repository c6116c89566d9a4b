#include "sim/streamer.h"

#include <poll.h>

#include <cerrno>
#include <ctime>

namespace varno::sim {

namespace {

// Unpaced, the generator runs ahead of the reader by at most this much.
constexpr std::size_t kMaxPending = 16 * 1024;
// A reader that stalls the line for longer than this does not get the backlog
// in a burst afterwards: a serial line cannot go faster than its pace either.
constexpr auto kMaxLag = std::chrono::milliseconds(250);

}  // namespace

Pacer::Pacer(double rate, unsigned baud)
{
    if (baud != 0)
        m_secondsPerByte = 10.0 / baud;
    else if (rate > 0)
        m_secondsPerFrame = 1.0 / rate;
}

void Pacer::restart(Clock::time_point now)
{
    m_base = now;
    m_offset = 0;
}

Clock::time_point Pacer::due() const
{
    return m_base + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_offset));
}

void Pacer::queued(std::size_t bytes)
{
    m_offset += m_secondsPerFrame + static_cast<double>(bytes) * m_secondsPerByte;
}

std::unique_ptr<Record> Record::create(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = systemError("cannot write the record " + path, errno);
        return nullptr;
    }
    return std::unique_ptr<Record>(new Record(file));
}

Record::~Record()
{
    std::fclose(m_file);
}

void Record::add(const Frame& frame, const std::string& truncated, std::int64_t sentAt)
{
    if (!truncated.empty()) {
        std::fputs("# truncated ", m_file);
        std::fputs(truncated.c_str(), m_file);
        std::fputc('\n', m_file);
    }
    std::fputs(recordLine(frame, sentAt).c_str(), m_file);
    std::fputc('\n', m_file);
}

bool Record::flush(std::string& error)
{
    if (std::fflush(m_file) != 0 || std::ferror(m_file)) {
        error = systemError("cannot write the record", errno);
        return false;
    }
    return true;
}

Streamer::Streamer(const Options& options, Generator& generator, Record* record, const StopSignal& stop)
    : m_generator(generator),
      m_record(record),
      m_stop(stop),
      m_pacer(options.rate, options.baud),
      m_count(options.count),
      m_hold(options.hold),
      m_delay(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.delay)))
{
}

void Streamer::queueDueUnits(Clock::time_point now)
{
    while ((m_count == 0 || m_delivered + m_queued.size() < m_count) && m_pending.size() < kMaxPending) {
        // Unpaced, every unit is due from the start of the session on.
        const auto due = m_pacer.due();
        if (due > now)
            break;
        if (!m_pacer.unpaced() && now - due > kMaxLag)
            m_pacer.restart(now);
        Unit unit = m_generator.next();
        const auto start = static_cast<long>(m_pending.size());
        m_pending += unit.bytes;
        m_queued.push_back({start, start + static_cast<long>(unit.frameEnd), std::move(unit.frame),
                            std::move(unit.truncated)});
        m_pacer.queued(unit.bytes.size());
    }
}

bool Streamer::handedOver(std::size_t bytes, std::int64_t sentAt)
{
    m_pending.erase(0, bytes);
    const auto taken = static_cast<long>(bytes);
    bool any = false;
    while (!m_queued.empty() && m_queued.front().frameEnd <= taken) {
        if (m_record)
            m_record->add(m_queued.front().frame, m_queued.front().truncated, sentAt);
        ++m_delivered;
        any = true;
        m_queued.pop_front();
    }
    for (auto& q : m_queued) {
        q.start -= taken;
        q.frameEnd -= taken;
    }
    return !any || !m_record || m_record->flush(m_failure);
}

void Streamer::dropUnitInFlight()
{
    // Only the front unit can have started; the ones behind it are kept whole
    // for the next reader.
    if (!m_queued.empty() && m_queued.front().start < 0)
        m_queued.pop_front();
    const long keepFrom = m_queued.empty() ? static_cast<long>(m_pending.size()) : m_queued.front().start;
    m_pending.erase(0, static_cast<std::size_t>(keepFrom));
    for (auto& q : m_queued) {
        q.start -= keepFrom;
        q.frameEnd -= keepFrom;
    }
}

std::optional<Streamer::End> Streamer::wait(Channel& channel, bool wantWrite, long timeoutNanos)
{
    pollfd fds[2] = {
        {m_stop.fd(), POLLIN, 0},
        {channel.fd(), static_cast<short>((channel.watchesInput() ? POLLIN : 0) | (wantWrite ? POLLOUT : 0)), 0},
    };
    timespec timeout{timeoutNanos / 1000000000, timeoutNanos % 1000000000};
    if (::ppoll(fds, 2, timeoutNanos < 0 ? nullptr : &timeout, nullptr) < 0) {
        if (errno == EINTR)
            return std::nullopt;
        m_failure = systemError("poll", errno);
        return End::Failed;
    }
    if (fds[0].revents & POLLIN)
        return End::Stopped;
    if ((fds[1].revents & POLLIN) && !channel.dropInput())
        return End::ReaderGone;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
        return End::ReaderGone;
    return std::nullopt;
}

Streamer::End Streamer::stream(Channel& channel)
{
    const auto start = Clock::now() + m_delay;
    m_pacer.restart(start);
    auto gone = [&] {
        dropUnitInFlight();
        return End::ReaderGone;
    };

    for (;;) {
        const auto now = Clock::now();
        const bool started = now >= start;  // units kept from the last session wait too
        if (!countReached())
            queueDueUnits(now);
        if (started && !m_pending.empty()) {
            // Read before the bytes go: the reader cannot have them any earlier,
            // so its own clock never shows them arriving before this.
            const std::int64_t sentAt = std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::system_clock::now().time_since_epoch())
                                            .count();
            const long n = channel.send(m_pending);
            if (n < 0)
                return gone();
            if (n > 0 && !handedOver(static_cast<std::size_t>(n), sentAt))
                return End::Failed;
        }
        if (countReached() && m_pending.empty())
            return finish(channel);

        const bool wantWrite = started && !m_pending.empty();
        long timeout = -1;  // bytes waiting: until the channel takes more
        if (!wantWrite) {
            const auto next = m_pending.empty() ? m_pacer.due() : start;
            timeout = std::max<long>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(next - now).count());
        }
        if (auto how = wait(channel, wantWrite, timeout))
            return *how == End::ReaderGone ? gone() : *how;
    }
}

Streamer::End Streamer::finish(Channel& channel)
{
    // The run ends once the reader has the bytes, not when they sit in a queue.
    while (!channel.drained()) {
        if (auto how = wait(channel, false, 10'000'000))
            return *how == End::ReaderGone ? End::Finished : *how;
    }
    while (m_hold) {
        if (auto how = wait(channel, false, -1))
            return *how == End::ReaderGone ? End::Finished : *how;
    }
    return End::Finished;
}

}  // namespace varno::sim
