#pragma once
// Auto-reset events and the wait for any one of several of them.
//
// An Event is a move-only handle to a kernel object. Set() signals it; a wait that reports it resets it
// (auto-reset). Setting an event that is already signalled leaves it signalled once. Any thread may call
// Set(); the wait and Socket's notifications run on the thread that owns the wait.

#include <memory>
#include <span>

namespace platform {

class Socket;

class Event {
public:
    // Creates a non-signalled auto-reset event. valid() is false when the system refused one.
    Event();
    ~Event();
    Event(Event&&) noexcept;
    Event& operator=(Event&&) noexcept;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool valid() const;
    void Set();

    struct State;
    State* state() const { return state_.get(); }

private:
    std::unique_ptr<State> state_;
};

// Waits without time-out until one of `events` is signalled, and answers the lowest index among those
// signalled; only that event is reset. An event bound to a socket (Socket::EventSelect) is also
// signalled by the socket's network events, following the re-enabling rules written in Socket.h.
// Answers -1 when the wait itself fails (an invalid event, or the system call failed).
int WaitForAny(std::span<Event* const> events);

// Waits up to `milliseconds` for one event; answers true when it was signalled (and resets it).
bool WaitForEvent(Event& event, int milliseconds);

} // namespace platform
