#pragma once
// A stop request that a signal handler can raise and a poll() can wait for: the
// read end of a pipe turns readable, and stays so.

namespace varno::sim {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    bool valid() const { return m_read >= 0; }
    // Safe in a signal handler and from any thread.
    void request() const noexcept;
    int fd() const { return m_read; }
    bool requested() const { return wait(0); }
    // Waits up to `milliseconds` for a stop request; true when one came.
    bool wait(int milliseconds) const;

private:
    int m_read = -1;
    int m_write = -1;
};

}  // namespace varno::sim
