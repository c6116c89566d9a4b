#include "link/line_settings.h"

#include <cerrno>

#include "link/serial.h"

namespace varno::link {

namespace {

struct BaudEntry {
    std::uint32_t rate;
    speed_t code;
};

constexpr BaudEntry kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

}  // namespace

int setLine(termios& tio, std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity, std::uint8_t stopBits)
{
    speed_t speed = B0;
    bool known = false;
    for (const BaudEntry& e : kBaudRates) {
        if (e.rate == baudRate) {
            speed = e.code;
            known = true;
        }
    }
    if (!known)
        return EINVAL;
    tcflag_t size = 0;
    switch (dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return EINVAL;
    }
    tcflag_t parityFlags = 0;
    switch (parity) {
    case kParityNone: break;
    case kParityOdd: parityFlags = PARENB | PARODD; break;
    case kParityEven: parityFlags = PARENB; break;
    case kParityMark: parityFlags = PARENB | CMSPAR | PARODD; break;
    case kParitySpace: parityFlags = PARENB | CMSPAR; break;
    default: return EINVAL;
    }
    if (stopBits > kStopTwo)
        return EINVAL;

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= size | parityFlags;
    // One and a half stop bits exist only with 5 data bits, where the UART
    // makes CSTOPB mean just that.
    if (stopBits != kStopOne)
        tio.c_cflag |= CSTOPB;
    if (parity != kParityNone)
        tio.c_iflag |= INPCK;
    else
        tio.c_iflag &= ~INPCK;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return 0;
}

bool setHandshake(termios& tio, int mode)
{
    if (mode < kHandshakeOff || mode > kHandshakeSoftware)
        return false;
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF);
    if (mode == kHandshakeHardware)
        tio.c_cflag |= CRTSCTS;
    else if (mode == kHandshakeSoftware)
        tio.c_iflag |= IXON | IXOFF;
    return true;
}

std::int32_t baudRateOf(const termios& tio)
{
    const speed_t code = ::cfgetospeed(&tio);
    for (const BaudEntry& e : kBaudRates) {
        if (e.code == code)
            return static_cast<std::int32_t>(e.rate);
    }
    return 0;
}

std::int32_t dataBitsOf(const termios& tio)
{
    switch (tio.c_cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

std::int32_t parityOf(const termios& tio)
{
    if ((tio.c_iflag & INPCK) == 0 || (tio.c_cflag & PARENB) == 0)
        return kParityNone;
    const bool odd = (tio.c_cflag & PARODD) != 0;
    if ((tio.c_cflag & CMSPAR) != 0)
        return odd ? kParityMark : kParitySpace;
    return odd ? kParityOdd : kParityEven;
}

std::int32_t stopBitsOf(const termios& tio)
{
    if ((tio.c_cflag & CSTOPB) == 0)
        return kStopOne;
    return (tio.c_cflag & CSIZE) == CS5 ? kStopOneAndHalf : kStopTwo;
}

std::int32_t handshakeOf(const termios& tio)
{
    if ((tio.c_cflag & CRTSCTS) != 0)
        return kHandshakeHardware;
    if ((tio.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF))
        return kHandshakeSoftware;
    return kHandshakeOff;
}

}  // namespace varno::link
