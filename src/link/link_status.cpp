#include "link/link_status.h"

#include <algorithm>

namespace varno::link {

namespace {

constexpr std::int64_t kTenthMs = 100;

std::int64_t tenthOf(std::int64_t ms)
{
    // Rounded down for times before 1970 too.
    return ms >= 0 ? ms / kTenthMs : -((-ms + kTenthMs - 1) / kTenthMs);
}

// "1 trame", "0 trame", "2 trames": French counts zero and one in the singular.
std::string frames(std::uint64_t count, const char* after = "")
{
    return std::to_string(count) + (count > 1 ? " trames" : " trame") + after;
}

}  // namespace

void LinkStatus::serialOpened(const std::string& device, std::uint32_t baudRate, std::int64_t nowMs)
{
    opened("Ouvert : " + device + ", " + std::to_string(baudRate) + " bauds", nowMs);
}

void LinkStatus::tcpConnected(const std::string& hostAndPort, std::int64_t nowMs)
{
    opened("Connecté à " + hostAndPort, nowMs);
}

void LinkStatus::opened(std::string description, std::int64_t nowMs)
{
    m_state = State::Open;
    m_description = std::move(description);
    m_frames = 0;
    m_lastFrameMs = nowMs;
    m_tenths.fill(0);
    m_currentTenth = tenthOf(nowMs);
}

void LinkStatus::lost()
{
    if (m_state == State::Open)
        m_state = State::Lost;
}

void LinkStatus::closed()
{
    m_state = State::Closed;
}

std::size_t LinkStatus::slot(std::int64_t tenth)
{
    return static_cast<std::size_t>(((tenth % kTenths) + kTenths) % kTenths);
}

void LinkStatus::advance(std::int64_t tenth)
{
    if (tenth < m_currentTenth) {
        // The clock was set back: the tenths counted so far no longer line up.
        m_tenths.fill(0);
    } else {
        for (std::int64_t t = m_currentTenth + 1; t <= std::min(tenth, m_currentTenth + kTenths); ++t)
            m_tenths[slot(t)] = 0;
    }
    m_currentTenth = tenth;
}

void LinkStatus::frameReceived(std::int64_t nowMs)
{
    if (m_state != State::Open)
        return;
    ++m_frames;
    m_lastFrameMs = nowMs;
    const std::int64_t tenth = tenthOf(nowMs);
    if (tenth != m_currentTenth)
        advance(tenth);
    ++m_tenths[slot(tenth)];
}

std::uint32_t LinkStatus::framesPerSecond(std::int64_t nowMs) const
{
    if (m_state != State::Open)
        return 0;
    const std::int64_t now = tenthOf(nowMs);
    std::uint32_t sum = 0;
    // Tenths now-10 … now-1, those of them still kept.
    for (std::int64_t t = now - (kTenths - 1); t < now; ++t) {
        if (t <= m_currentTenth && t > m_currentTenth - kTenths)
            sum += m_tenths[slot(t)];
    }
    return sum;
}

std::optional<std::int64_t> LinkStatus::silentSeconds(std::int64_t nowMs) const
{
    if (m_state != State::Open || nowMs - m_lastFrameMs < kSilenceMs)
        return std::nullopt;
    return (nowMs - m_lastFrameMs) / 1000;
}

std::string LinkStatus::text(std::int64_t nowMs) const
{
    switch (m_state) {
    case State::Closed: return "Fermé";
    case State::Lost: return "Liaison perdue · " + frames(m_frames);
    case State::Open: break;
    }
    std::string line = m_description + " · " + frames(m_frames) + " · ";
    if (const auto silent = silentSeconds(nowMs))
        line += "aucune trame depuis " + std::to_string(*silent) + " s";
    else
        line += frames(framesPerSecond(nowMs), "/s");
    return line;
}

}  // namespace varno::link
