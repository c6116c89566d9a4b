#pragma once
// What goes into the CSV log: the file's name, its header, the three kinds of
// line and the t and dt columns. Pure functions over bytes; frame texts are
// copied as they are, never read as a format, except that a CR or LF received
// in a frame is written as a space (one line of the file is one frame), and
// that a field holding ';' or '"' is quoted (one column is one field).

#include <cstdint>
#include <string>
#include <string_view>

#include "log/clock.h"

namespace varno::log {

// The header every opening appends: 94 bytes, Windows-1252 ("ç" 0xE7, "é" 0xE9).
inline constexpr std::string_view kLogHeader =
    "Trame re\xE7ue;Date;Heure;msec;ID Lecteur (hexa);ID Tag (hexa);t(sec);dt(sec);P1 (d\xE9"
    "c);P2 (d\xE9"
    "c)\r\n";
static_assert(kLogHeader.size() == 94);

// strftime formats of the file name's stamp, of the day the renewal compares,
// and of the date and time columns (one field of the line, two columns).
inline constexpr const char* kFileStampFormat = "%d%m%Y_%Hh%M";
inline constexpr const char* kDayFormat = "%d%m%Y";
inline constexpr const char* kDateTimeFormat = "%d/%m/%Y;%H:%M:%S";

// "VARNO_ddmmyyyy_HHhMM.csv" after the local time of `seconds`.
std::string logFileName(const Clock& clock, std::int64_t seconds);

// Time between two readings of the millisecond clock, printed "%d.%03d".
struct Elapsed {
    std::int32_t seconds = 0;
    std::int32_t milliseconds = 0;  // 0-999
};

struct TimeColumns {
    Elapsed t;   // since the first recorded frame
    Elapsed dt;  // since the previous recorded frame
};

// From (`fromSeconds`, `fromMillis`) to `now`: when the millisecond went back,
// one second is borrowed (10:00:00.900 to 10:00:01.100 is 0.200). The seconds
// are the low 32 bits of the difference.
Elapsed elapsedSince(std::int64_t fromSeconds, std::uint16_t fromMillis, ClockReading now);

// Moves the time state of the recorded frames on to `now` and gives the columns
// of the frame recorded now. `lastTime` == -1 means no frame yet: that frame
// becomes the first and both columns are 0.000.
TimeColumns stepFrameTimes(std::int64_t& firstTime, std::uint16_t& firstMillis, std::int64_t& lastTime,
                           std::uint16_t& lastMillis, ClockReading now);

// The three lines, each ended by CR LF and holding no other CR or LF: the
// CR and LF of the frame, the reader identifier and the tag identifier are
// written as spaces. Those three fields, when they hold ';' or '"', are
// written between double quotes with their quotes doubled
// ("[5A0A;""2CABCD]"); the suffix 'h' of the identifiers goes inside. `dateTime` is kDateTimeFormat of the frame's second,
// `millis` its millisecond. P1 and P2 are printed as their low byte, unsigned.
std::string readerLine(std::string_view frame, std::string_view dateTime, std::uint16_t millis,
                       std::string_view readerId, std::string_view tagId, const TimeColumns& times,
                       std::int32_t p1);
std::string debugLine(std::string_view frame, std::string_view dateTime, std::uint16_t millis,
                      std::string_view tagId, const TimeColumns& times, std::int32_t p1, std::int32_t p2);
std::string rawLine(std::string_view frame, std::string_view dateTime, std::uint16_t millis);

}  // namespace varno::log
