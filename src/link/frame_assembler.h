#pragma once
// Cuts an unframed byte stream into reader frames ("[...]") and debug frames
// (16 characters around a '+' or '-'). One assembler per reception thread.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "link/frame_event.h"

namespace varno::link {

class FrameAssembler {
public:
    enum Mode { Idle = 331, ReaderFrame = 332, DebugFrame = 333 };

    // A reader frame that never closes is abandoned when it reaches this many
    // bytes, so a stream without ']' cannot grow memory without bound.
    static constexpr std::size_t kPendingCap = 4096;

    FrameAssembler() = default;

    void reset();

    // Feeds one byte, read at `arrivalTime`. Returns the frame the byte
    // completes, stamped with that time, with its kind in `kind`, or nullptr
    // (and leaves `kind` alone).
    std::unique_ptr<FrameEvent> feed(unsigned char c, int& kind, log::ClockReading arrivalTime = {});

    // Feeds a block read at `arrivalTime`, handing each completed frame to
    // `sink(kind, event)` at once, before the next byte is fed. The same frames
    // as feeding byte by byte.
    template <typename Sink>
    void feed(std::string_view bytes, log::ClockReading arrivalTime, Sink&& sink)
    {
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        while (p < end) {
            if (m_mode == ReaderFrame)
                p = appendReaderRun(p, end);  // the body of a reader frame, at once
            else if (m_mode == Idle)
                p = slideIdleRun(p, end);  // line noise between frames, at once
            if (p == end)
                break;
            int kind = 0;
            if (auto event = feed(static_cast<unsigned char>(*p++), kind, arrivalTime))
                sink(kind, std::move(event));
        }
    }

    Mode mode() const { return m_mode; }
    const std::string& pending() const { return m_pending; }

private:
    static bool isSpecial(char c) { return c == '[' || c == ']' || c == '+' || c == '-'; }
    // In ReaderFrame mode: appends the ordinary bytes from `p` on, up to the next
    // special byte or the cap, and returns where it stopped.
    const char* appendReaderRun(const char* p, const char* end);
    // In Idle mode: slides the window over the ordinary bytes from `p` on, up to
    // the next special byte, and returns where it stopped.
    const char* slideIdleRun(const char* p, const char* end);
    std::unique_ptr<FrameEvent> produce(log::ClockReading arrivalTime);

    Mode m_mode = Idle;
    std::string m_pending;  // bytes; NUL is an ordinary character
};

}  // namespace varno::link
