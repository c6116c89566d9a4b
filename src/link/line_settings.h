#pragma once
// Line settings in a termios record: what the serial port writes to the
// driver and reads back from it.

#include <termios.h>

#include <cstdint>

namespace varno::link {

// Sets the rate, data bits, parity (with input parity checking exactly when
// there is parity) and stop bits. Returns 0, or EINVAL for a value termios
// cannot express; the record is unchanged then.
int setLine(termios& tio, std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity, std::uint8_t stopBits);

// Sets the flow control of a handshake mode (0 off, 1 hardware, 2 software),
// leaving every other flag alone. Returns false for another mode.
bool setHandshake(termios& tio, int mode);

// What a record holds: rate (0 for one we do not know), data bits, parity
// (none when parity checking is off), stop bits, handshake mode.
std::int32_t baudRateOf(const termios& tio);
std::int32_t dataBitsOf(const termios& tio);
std::int32_t parityOf(const termios& tio);
std::int32_t stopBitsOf(const termios& tio);
std::int32_t handshakeOf(const termios& tio);

}  // namespace varno::link
