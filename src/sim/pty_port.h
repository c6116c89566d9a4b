#pragma once
// The pseudo-terminal output: a virtual serial port. We hold the master side;
// the reader opens the slave path. Frames flow only while a reader has the slave
// open, as a reader's frames on a line nobody listens to are lost anyway.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "sim/channel.h"

namespace varno::sim {

class PtyPort : public Channel {
public:
    // Null with `error` set on failure.
    static std::unique_ptr<PtyPort> open(std::string& error);
    ~PtyPort() override;

    const std::string& path() const { return m_path; }
    // True while some process has the slave side open.
    bool readerPresent() const;
    // Throws away what the last reader left unread, so the next one starts at a
    // frame boundary.
    void discardUnread();

    int fd() const override { return m_master; }
    long send(std::string_view bytes) override;
    // Echo, should a reader switch it on: read and dropped.
    bool dropInput() override;
    // Nothing left unread in the slave's input queue.
    bool drained() override;

private:
    PtyPort(int master, std::string path) : m_master(master), m_path(std::move(path)) {}
    int openSlave() const;

    int m_master;
    std::string m_path;
    // Since when the reader's queue has been seen empty. Bytes we write reach
    // that queue a moment later, through the terminal's own buffer, which the
    // count leaves out: only an emptiness that lasts tells they were all read.
    std::optional<std::chrono::steady_clock::time_point> m_emptySince;
    // When the unread count could not be read (a reader holding the port
    // exclusively): since when, so that the wait has an end.
    std::optional<std::chrono::steady_clock::time_point> m_blindSince;
};

}  // namespace varno::sim
