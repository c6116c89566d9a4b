#include "link/frame_assembler.h"

#include <cstring>

namespace varno::link {

void FrameAssembler::reset()
{
    m_mode = Idle;
    m_pending.clear();
}

std::unique_ptr<FrameEvent> FrameAssembler::produce(log::ClockReading arrivalTime)
{
    auto event = std::make_unique<FrameEvent>();
    event->text = m_pending;
    event->arrivalTime = arrivalTime;
    return event;
}

const char* FrameAssembler::appendReaderRun(const char* p, const char* end)
{
    const char* q = p;
    while (q < end && !isSpecial(*q))
        ++q;
    const auto run = static_cast<std::size_t>(q - p);
    // Bytes that fit before the frame reaches the cap.
    const std::size_t room = kPendingCap - 1 - m_pending.size();
    if (run <= room) {
        m_pending.append(p, run);
        return q;
    }
    // The byte that reaches the cap abandons the frame; the rest is idle traffic.
    m_pending.clear();
    m_mode = Idle;
    return p + room + 1;
}

const char* FrameAssembler::slideIdleRun(const char* p, const char* end)
{
    const char* q = p;
    while (q < end && !isSpecial(*q))
        ++q;
    if (p == q)
        return q;
    // Right after a ']' the window may hold the whole frame: its first cut keeps
    // positions 1 to 6, not the last six, so that byte goes the usual way.
    if (m_pending.size() > 6) {
        int kind = 0;
        feed(static_cast<unsigned char>(*p++), kind);
    }
    // From six or fewer, byte after byte leaves the last six bytes seen.
    const auto run = static_cast<std::size_t>(q - p);
    if (run >= 6) {
        m_pending.assign(q - 6, 6);
    } else {
        m_pending.append(p, run);
        if (m_pending.size() > 6)
            m_pending.erase(0, m_pending.size() - 6);
    }
    return q;
}

std::unique_ptr<FrameEvent> FrameAssembler::feed(unsigned char c, int& kind, log::ClockReading arrivalTime)
{
    switch (c) {
    case '+':
    case '-': {
        // A second sign is dropped without any effect, not even on the mode.
        // memchr, not strchr: a NUL in pending must not hide a sign after it.
        const char* data = m_pending.data();
        const std::size_t size = m_pending.size();
        if (std::memchr(data, '+', size) != nullptr || std::memchr(data, '-', size) != nullptr)
            return nullptr;
        // What the window held before the sign becomes the start of the debug frame.
        m_pending.push_back(static_cast<char>(c));
        m_mode = DebugFrame;
        return nullptr;
    }
    case '[':
        m_pending.clear();
        m_mode = ReaderFrame;
        return nullptr;
    case ']':
        // pending is kept: it becomes the start of the idle window.
        m_mode = Idle;
        kind = FRAME_KIND_READER;
        return produce(arrivalTime);
    default:
        break;
    }

    m_pending.push_back(static_cast<char>(c));
    switch (m_mode) {
    case ReaderFrame:
        if (m_pending.size() >= kPendingCap) {
            m_pending.clear();
            m_mode = Idle;
        }
        return nullptr;
    case DebugFrame:
        if (m_pending.size() >= 16) {
            m_mode = Idle;
            kind = FRAME_KIND_DEBUG;
            auto event = produce(arrivalTime);
            m_pending.clear();
            return event;
        }
        return nullptr;
    case Idle:
        if (m_pending.size() >= 7) {
            // Keep positions 1 to 6: a window of the last six characters.
            m_pending.erase(7);
            m_pending.erase(0, 1);
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace varno::link
