#include "sim/channel.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace varno::sim {

std::string systemError(std::string_view what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

long StdoutChannel::send(std::string_view bytes)
{
    // Poll said writable; a pipe then has room for at least this much, so the
    // blocking write returns at once.
    const std::size_t chunk = std::min<std::size_t>(bytes.size(), 4096);
    const ssize_t n = ::write(1, bytes.data(), chunk);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    return -1;  // EPIPE: the reader closed its end
}

}  // namespace varno::sim
