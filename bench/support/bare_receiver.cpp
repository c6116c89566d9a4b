// The least a receiver can do for a stream that must be timed frame by frame:
// wait on the socket and a stop descriptor, as the reception threads do,
// receive what came, and nothing else. Its CPU use at a reader's pace is the
// machine's own price of one wake-up per frame, the floor under any logger's
// figure; the headless benchmark prints both.
//
// Usage: bare_receiver 127.x.x.x:PORT   (loopback only; ends at end of stream or SIGTERM)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string where = argc == 2 ? argv[1] : "";
    const auto colon = where.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (colon == std::string::npos || inet_pton(AF_INET, where.substr(0, colon).c_str(), &address.sin_addr) != 1 ||
        (ntohl(address.sin_addr.s_addr) >> 24) != 127) {
        std::fprintf(stderr, "usage: bare_receiver 127.x.x.x:PORT\n");
        return 2;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(where.c_str() + colon + 1)));
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0 || ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("bare_receiver: connect");
        return 1;
    }
    const int stop = ::eventfd(0, EFD_CLOEXEC);  // never set: only waited on, as a real one is
    char buffer[4096];
    long long bytes = 0;
    for (;;) {
        pollfd fds[2] = {{socket, POLLIN, 0}, {stop, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        bytes += n;
    }
    std::printf("%lld\n", bytes);
    return 0;
}
