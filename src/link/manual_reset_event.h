#pragma once
// A manual-reset event that poll() can wait for: an eventfd that turns readable
// at set() and stays so until clear(). The stop request of every reception
// thread is one, and so is the hand-over's "room again" (frame_hand_over.h).
//
// Threads: set(), clear(), isSet() and the waits are safe from any thread, and
// set() from a signal handler; creation, moves and destruction belong to the
// owner, while no other thread uses the event.

namespace varno::link {

class ManualResetEvent {
public:
    // Creates the descriptor; ok() tells whether the system gave one.
    ManualResetEvent();
    ~ManualResetEvent();
    ManualResetEvent(ManualResetEvent&& other) noexcept;
    ManualResetEvent& operator=(ManualResetEvent&& other) noexcept;
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    bool ok() const { return m_fd >= 0; }
    int error() const { return m_error; }  // errno of a failed creation
    int fd() const { return m_fd; }         // readable while set

    void set() const noexcept;
    void clear() const noexcept;
    bool isSet() const;

    // What a wait saw: the events of the descriptor waited with (0 when it had
    // none), whether this event was set, and whether poll() itself failed.
    // Nothing at all: the time ran out (or a signal cut the wait short).
    struct Waited {
        short revents = 0;
        bool set = false;
        bool failed = false;
    };
    // Waits until `fd` has one of `events` or this event is set, at most
    // `timeoutMs` (-1: no limit).
    Waited waitWith(int fd, short events, int timeoutMs) const;
    // Waits until this event is set, at most `timeoutMs` (-1: no limit); true
    // when it is.
    bool wait(int timeoutMs) const;

private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace varno::link
