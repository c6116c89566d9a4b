#include "log/log_lines.h"

#include <charconv>

namespace varno::log {

namespace {

void appendInt(std::string& out, std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// printf's "%03d": at least three characters, the sign first, then zeros.
void appendInt3(std::string& out, std::int32_t value)
{
    const bool negative = value < 0;
    const std::uint32_t magnitude = negative ? 0U - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    auto width = (end - digits) + (negative ? 1 : 0);
    if (negative)
        out.push_back('-');
    for (; width < 3; ++width)
        out.push_back('0');
    out.append(digits, end);
}

void appendElapsed(std::string& out, const Elapsed& e)
{
    appendInt(out, e.seconds);
    out.push_back('.');
    appendInt3(out, e.milliseconds);
}

void appendLowByte(std::string& out, std::int32_t value)
{
    appendInt(out, static_cast<std::uint8_t>(value));
}

// A field of bytes from the stream followed by `suffix`, copied as they are
// except:
// - CR and LF become spaces: a line break received inside a frame would
//   otherwise cut its line in two, and the file would hold lines that are no
//   frame. The byte count is kept, so the fields still sit at their positions
//   in the frame column;
// - a field holding ';' or '"' is written between double quotes with its
//   quotes doubled, as spreadsheets read CSV, so that it stays one column.
//   Fields without them are written bare, as they always were.
void appendStreamField(std::string& out, std::string_view bytes, std::string_view suffix = {})
{
    if (bytes.find_first_of(";\"") == std::string_view::npos) {
        const std::size_t from = out.size();
        out.append(bytes);
        for (std::size_t i = from; i < out.size(); ++i) {
            if (out[i] == '\r' || out[i] == '\n')
                out[i] = ' ';
        }
        out.append(suffix);
        return;
    }
    out.push_back('"');
    for (const char c : bytes) {
        if (c == '\r' || c == '\n')
            out.push_back(' ');
        else if (c == '"')
            out.append("\"\"");
        else
            out.push_back(c);
    }
    out.append(suffix);
    out.push_back('"');
}

// The columns every line starts with: frame;date;time;0.mmm
std::string lineStart(std::string_view frame, std::string_view dateTime, std::uint16_t millis,
                      std::size_t more)
{
    std::string line;
    line.reserve(frame.size() + dateTime.size() + 8 + more);
    appendStreamField(line, frame);
    line.push_back(';');
    line.append(dateTime);
    line.append(";0.");
    appendInt3(line, millis);
    return line;
}

// The columns reader and debug lines share: tag, t, dt and P1.
void appendTagTimesAndP1(std::string& line, std::string_view tagId, const TimeColumns& times, std::int32_t p1)
{
    appendStreamField(line, tagId, "h");
    line.push_back(';');
    appendElapsed(line, times.t);
    line.push_back(';');
    appendElapsed(line, times.dt);
    line.push_back(';');
    appendLowByte(line, p1);
}

}  // namespace

std::string logFileName(const Clock& clock, std::int64_t seconds)
{
    return "VARNO_" + formatLocalTime(clock, seconds, kFileStampFormat) + ".csv";
}

Elapsed elapsedSince(std::int64_t fromSeconds, std::uint16_t fromMillis, ClockReading now)
{
    std::int64_t s = now.seconds;
    std::int32_t m = now.milliseconds;
    if (fromMillis > now.milliseconds) {
        s -= 1;
        m += 1000;
    }
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(s - fromSeconds)), m - fromMillis};
}

TimeColumns stepFrameTimes(std::int64_t& firstTime, std::uint16_t& firstMillis, std::int64_t& lastTime,
                           std::uint16_t& lastMillis, ClockReading now)
{
    TimeColumns columns;
    if (lastTime == -1) {
        firstTime = now.seconds;
        firstMillis = now.milliseconds;
    } else {
        columns.t = elapsedSince(firstTime, firstMillis, now);
        columns.dt = elapsedSince(lastTime, lastMillis, now);
    }
    lastTime = now.seconds;
    lastMillis = now.milliseconds;
    return columns;
}

std::string readerLine(std::string_view frame, std::string_view dateTime, std::uint16_t millis,
                       std::string_view readerId, std::string_view tagId, const TimeColumns& times,
                       std::int32_t p1)
{
    std::string line = lineStart(frame, dateTime, millis, readerId.size() + tagId.size() + 40);
    line.push_back(';');
    appendStreamField(line, readerId, "h");
    line.push_back(';');
    appendTagTimesAndP1(line, tagId, times, p1);
    line.append("\r\n");
    return line;
}

std::string debugLine(std::string_view frame, std::string_view dateTime, std::uint16_t millis,
                      std::string_view tagId, const TimeColumns& times, std::int32_t p1, std::int32_t p2)
{
    std::string line = lineStart(frame, dateTime, millis, tagId.size() + 44);
    line.append(";;");  // no reader identifier
    appendTagTimesAndP1(line, tagId, times, p1);
    line.push_back(';');
    appendLowByte(line, p2);
    line.append("\r\n");
    return line;
}

std::string rawLine(std::string_view frame, std::string_view dateTime, std::uint16_t millis)
{
    std::string line = lineStart(frame, dateTime, millis, 2);
    line.append("\r\n");
    return line;
}

}  // namespace varno::log
