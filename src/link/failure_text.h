#pragma once
// Why a link could not open, or why it ended by itself, in the operator's
// words: the second line of the link's failure messages, naming the device or
// the server. The first line stays the message the operator already knows.
// Texts are UTF-8; every errno goes through sys::errnoText.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/tcp_link.h"

namespace varno::link {

// `first` and `cause` as one message: the cause on a line of its own.
std::string withCause(std::string_view first, std::string_view cause);

// Why `device` did not open; `error` is the serial port's result code (an errno).
std::string serialOpenCause(std::string_view device, int error);
// Why the listener of `device` ended by itself.
std::string serialLostCause(std::string_view device, int error);

// Why the connection to `host`:`port` did not open.
std::string tcpOpenCause(std::uint32_t host, std::uint32_t port, const TcpOpenFailure& failure, int timeoutMs);
// The same for a server named as the operator wrote it (`where`: "name:port"),
// whose name may not have become an address at all.
std::string tcpOpenCause(std::string_view where, const TcpOpenFailure& failure, int timeoutMs);
// Why an open connection ended by itself: `error` is 0 when the server closed it.
std::string tcpLostCause(std::uint32_t host, std::uint32_t port, int error);
std::string tcpLostCause(std::string_view where, int error);

// The group that owns `device` ("" when it cannot be read): the group the
// operator's account must belong to for the device to open.
std::string deviceGroup(std::string_view device);

}  // namespace varno::link
