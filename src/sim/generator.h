#pragma once
// The simulated reader's stream: tags whose readings drift around a mean, heard by
// readers of 4- and 2-digit identifiers, sent as reader frames of the three
// lengths, now and then a 16-character debug line, and optional line noise.
// A pure function of its settings: the same settings give the same bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace varno::sim {

// Kinds of frame as the receiver names them.
inline constexpr int kReaderFrame = 351;  // closed by ']'
inline constexpr int kDebugFrame = 352;   // 16 characters holding a sign

struct GeneratorSettings {
    unsigned tags = 5;
    std::uint64_t seed = 1;
    unsigned debugPercent = 5;  // share of frames sent as debug lines
    unsigned noisePercent = 0;  // share of frames preceded by line noise
};

// One frame as the receiver's assembler yields it: a reader frame without its
// brackets, or the 16 characters of a debug line.
struct Frame {
    int kind = kReaderFrame;
    std::string text;

    bool operator==(const Frame&) const = default;
};

// The bytes that carry exactly one complete frame: the noise before it, the frame,
// and its line break.
struct Unit {
    std::string bytes;
    std::size_t frameEnd = 0;  // offset in `bytes` just past the frame's last byte
    Frame frame;
    std::string truncated;  // a reader frame cut short in the noise ("[5A0A"), or empty
};

struct Tag {
    std::string id;  // 6 or 4 hexadecimal digits
    double mean = 150;
    double level = 150;
};

// xoshiro256**, seeded through splitmix64: fixed output on every platform, unlike
// the standard library's distributions.
class Random {
public:
    explicit Random(std::uint64_t seed);
    std::uint64_t next();
    unsigned below(unsigned bound);         // 0 .. bound-1
    bool percent(unsigned chance);          // true `chance` times in 100
    double uniform();                       // [0, 1)
    double gaussian();                      // mean 0, deviation 1, bounded tails

private:
    std::uint64_t m_s[4];
};

class Generator {
public:
    explicit Generator(const GeneratorSettings& settings);

    Unit next();

    const std::vector<Tag>& tags() const { return m_tags; }
    const std::vector<std::string>& readers() const { return m_readers; }

private:
    int reading(Tag& tag);
    std::string readerFrameText();
    std::string debugLine();
    void appendNoise(Unit& unit, bool& readerNext);

    GeneratorSettings m_settings;
    Random m_random;
    std::vector<Tag> m_tags;
    std::vector<std::size_t> m_debugTags;  // tags of 6 digits: debug lines name only those
    std::vector<std::string> m_readers;    // the 4-digit ones first, then the 2-digit ones
};

// One line of the record of what was sent: "351 5A0A1B2CABCD" or "352 5A 3C +1E 0A1B2C",
// then, when `sentAt` is given (milliseconds since 1970), a tab and the local
// time the frame went out: "08/12/2026 20:13:49.045".
std::string recordLine(const Frame& frame);
std::string recordLine(const Frame& frame, std::int64_t sentAt);
// A record line's frame, and its send time's text into `sent` when asked for
// (empty when the line has none); false for comment lines ('#') and lines
// that are not frames.
bool parseRecordLine(const std::string& line, Frame& frame, std::string* sent = nullptr);
// The local time of `sentAt` (milliseconds since 1970) as a record line gives it.
std::string sendTimeText(std::int64_t sentAt);

}  // namespace varno::sim
