#pragma once
// Where the stream goes: a TCP client, the reader side of a pseudo-terminal, or
// standard output. All of them are driven from the simulator's one thread.

#include <string>
#include <string_view>

namespace varno::sim {

// "what: the errno text": the one place that turns errno into a message.
std::string systemError(std::string_view what, int error);

class Channel {
public:
    virtual ~Channel() = default;
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // The descriptor to poll: writable when bytes can be handed over, readable
    // when the reader sent something or went away.
    virtual int fd() const = 0;
    // False when the descriptor must not be read (standard output).
    virtual bool watchesInput() const { return true; }
    // Hands over as much of `bytes` as fits without blocking: the count taken
    // (0 when full), or -1 once the reader is gone.
    virtual long send(std::string_view bytes) = 0;
    // Reads and drops what the reader sent; false once the reader is gone.
    virtual bool dropInput() = 0;
    // True once the reader has taken every byte handed over, as far as can be told.
    virtual bool drained() = 0;
};

// Standard output, left in blocking mode: switching it to non-blocking would
// change the terminal or pipe it shares with the shell.
class StdoutChannel : public Channel {
public:
    int fd() const override { return 1; }
    bool watchesInput() const override { return false; }
    long send(std::string_view bytes) override;
    bool dropInput() override { return true; }
    // What is in a pipe or a file stays there for the reader after we exit.
    bool drained() override { return true; }
};

}  // namespace varno::sim
