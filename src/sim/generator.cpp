#include "sim/generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>

namespace varno::sim {

namespace {

std::uint64_t splitmix64(std::uint64_t& x)
{
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

std::string hex(unsigned value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

int toByte(double value) { return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0))); }

// Bytes of line noise: never '[' ']' '+' '-', which would open, close or sign a
// frame. Mostly printable text, with the odd tab, NUL, 0xFF and Latin-1 byte a
// disturbed line produces.
const std::string& strayPrintable()
{
    static const std::string bytes = [] {
        std::string s;
        for (int c = 0x20; c < 0x7F; ++c)
            if (c != '[' && c != ']' && c != '+' && c != '-')
                s.push_back(static_cast<char>(c));
        return s;
    }();
    return bytes;
}

const std::string& strayOther()
{
    static const std::string bytes = [] {
        std::string s = {'\t', '\0', '\xFF', '\x80'};
        for (int c = 0xA0; c < 0xFF; ++c)
            s.push_back(static_cast<char>(c));
        return s;
    }();
    return bytes;
}

}  // namespace

Random::Random(std::uint64_t seed)
{
    for (auto& s : m_s)
        s = splitmix64(seed);
}

std::uint64_t Random::next()
{
    const std::uint64_t result = rotl(m_s[1] * 5, 7) * 9;
    const std::uint64_t t = m_s[1] << 17;
    m_s[2] ^= m_s[0];
    m_s[3] ^= m_s[1];
    m_s[1] ^= m_s[2];
    m_s[0] ^= m_s[3];
    m_s[2] ^= t;
    m_s[3] = rotl(m_s[3], 45);
    return result;
}

unsigned Random::below(unsigned bound)
{
    // Multiply-shift: no modulo bias worth speaking of for bounds this small.
    return static_cast<unsigned>(((next() >> 32) * bound) >> 32);
}

bool Random::percent(unsigned chance) { return below(100) < chance; }

double Random::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Random::gaussian()
{
    // Sum of four uniforms, centred and scaled: close enough to a bell for
    // readings, and its tails stop at about 3.5 deviations.
    const double sum = uniform() + uniform() + uniform() + uniform();
    return (sum - 2.0) * 1.7320508075688772;
}

Generator::Generator(const GeneratorSettings& settings)
    : m_settings(settings), m_random(settings.seed)
{
    std::set<std::string> taken;
    const unsigned tagCount = std::max(1u, settings.tags);
    for (unsigned i = 0; i < tagCount; ++i) {
        // Every third tag carries a 4-digit identifier; the first is always a
        // 6-digit one, so debug lines always have a tag to name.
        const bool shortId = i % 3 == 2;
        Tag tag;
        do {
            tag.id = shortId ? hex(static_cast<unsigned>(m_random.next() & 0xFFFF), 4)
                             : hex(static_cast<unsigned>(m_random.next() & 0xFFFFFF), 6);
        } while (!taken.insert(tag.id).second);
        // Means spread from 130 to 170, one tag in each stretch, so that whatever
        // the seed some tags go past the default trigger (180) now and then and
        // some below the default floor (120).
        tag.mean = 130.0 + 40.0 * (i + m_random.uniform()) / tagCount;
        tag.level = tag.mean;
        if (!shortId)
            m_debugTags.push_back(m_tags.size());
        m_tags.push_back(std::move(tag));
    }
    // Two readers of 4 digits and two of 2 digits.
    for (int digits : {4, 4, 2, 2}) {
        std::string id;
        do {
            id = hex(static_cast<unsigned>(m_random.next() & (digits == 4 ? 0xFFFF : 0xFF)), digits);
        } while (!taken.insert(id).second);
        m_readers.push_back(id);
    }
}

int Generator::reading(Tag& tag)
{
    // The level drifts back towards the mean; each reading adds its own noise.
    tag.level += 0.1 * (tag.mean - tag.level) + 4.0 * m_random.gaussian();
    tag.level = std::clamp(tag.level, 0.0, 255.0);
    return toByte(tag.level + 6.0 * m_random.gaussian());
}

std::string Generator::readerFrameText()
{
    Tag& tag = m_tags[m_random.below(static_cast<unsigned>(m_tags.size()))];
    // A 4-digit tag is only heard by 2-digit readers (the one layout that has room for it).
    const std::string& reader = tag.id.size() == 4 ? m_readers[2 + m_random.below(2)]
                                                   : m_readers[m_random.below(4)];
    return hex(static_cast<unsigned>(reading(tag)), 2) + tag.id + reader;
}

std::string Generator::debugLine()
{
    Tag& tag = m_tags[m_debugTags[m_random.below(static_cast<unsigned>(m_debugTags.size()))]];
    const int p1 = reading(tag);
    const int p2 = toByte(tag.level + 6.0 * m_random.gaussian());  // second antenna, same moment
    const int dp = p1 - p2;
    return hex(static_cast<unsigned>(p1), 2) + ' ' + hex(static_cast<unsigned>(p2), 2) + ' '
           + (dp < 0 ? '-' : '+') + hex(static_cast<unsigned>(std::abs(dp)), 2) + ' ' + tag.id;
}

void Generator::appendNoise(Unit& unit, bool& readerNext)
{
    switch (m_random.below(3)) {
    case 0:  // blank lines
        for (unsigned n = 1 + m_random.below(2); n > 0; --n)
            unit.bytes += "\r\n";
        break;
    case 1: {  // stray characters
        for (unsigned n = 1 + m_random.below(12); n > 0; --n) {
            const std::string& from = m_random.percent(85) ? strayPrintable() : strayOther();
            unit.bytes.push_back(from[m_random.below(static_cast<unsigned>(from.size()))]);
        }
        if (m_random.percent(50))
            unit.bytes += "\r\n";
        break;
    }
    default: {  // a reader frame cut short
        const std::string text = readerFrameText();
        const std::size_t kept = 1 + m_random.below(static_cast<unsigned>(text.size()) - 1);
        unit.truncated = '[';
        unit.truncated.append(text, 0, kept);
        unit.bytes += unit.truncated;
        if (m_random.percent(50))
            unit.bytes += "\r\n";
        // The cut frame is still open at the receiver: only a '[' abandons it. A
        // debug line now would be swallowed into it.
        readerNext = true;
        break;
    }
    }
}

Unit Generator::next()
{
    Unit unit;
    bool readerNext = false;
    if (m_settings.noisePercent > 0 && m_random.percent(m_settings.noisePercent))
        appendNoise(unit, readerNext);

    // Every frame ends its line with CR LF, so the receiver has taken at least
    // seven ordinary characters since the previous frame when a debug line's sign
    // arrives, and its window then holds exactly the line's first six.
    if (!readerNext && m_random.percent(m_settings.debugPercent)) {
        unit.frame = {kDebugFrame, debugLine()};
        unit.bytes += unit.frame.text;
    } else {
        unit.frame = {kReaderFrame, readerFrameText()};
        unit.bytes += '[' + unit.frame.text + ']';
    }
    unit.frameEnd = unit.bytes.size();
    unit.bytes += "\r\n";
    return unit;
}

std::string recordLine(const Frame& frame) { return std::to_string(frame.kind) + ' ' + frame.text; }

std::string recordLine(const Frame& frame, std::int64_t sentAt)
{
    // A tab: frame texts hold spaces, never a tab.
    return recordLine(frame) + '\t' + sendTimeText(sentAt);
}

std::string sendTimeText(std::int64_t sentAt)
{
    const auto seconds = static_cast<std::time_t>(sentAt / 1000);
    std::tm tm{};
    char text[64] = "";
    if (localtime_r(&seconds, &tm) != nullptr) {
        const std::size_t n = std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &tm);
        std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(sentAt % 1000));
    }
    return text;
}

bool parseRecordLine(const std::string& line, Frame& frame, std::string* sent)
{
    if (line.size() < 4 || line[3] != ' ')
        return false;
    const std::string kind = line.substr(0, 3);
    if (kind != "351" && kind != "352")
        return false;
    const std::size_t tab = line.find('\t', 4);
    frame.kind = kind == "351" ? kReaderFrame : kDebugFrame;
    frame.text = line.substr(4, tab == std::string::npos ? std::string::npos : tab - 4);
    if (sent != nullptr)
        *sent = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    return true;
}

}  // namespace varno::sim
