#pragma once
// Shared between the Linux event wait and socket backend: what a bound socket wants to be woken for,
// and how a poll result turns into recorded network events.

#include "platform/Event.h"
#include "platform/Socket.h"

#include <atomic>

namespace platform {

struct Event::State {
    int fd = -1;                     // eventfd, non-blocking; a non-zero counter means signalled
    Socket::State* socket = nullptr; // the socket bound by EventSelect, if any
    int timerFd = -1;                // a Timer's timerfd, if the event belongs to one; never with a socket
    // True from a Set until the wait that reports it; a Set while it is true needs no system call, since
    // auto-reset merges it with the pending signal.
    std::atomic<bool> signalled{false};
};

struct Socket::State {
    int fd = -1;
    Event::State* event = nullptr;
    unsigned mask = 0;
    bool connecting = false;
    bool connected = false;
    bool writeEnabled = true; // one kWrite after connecting, then only after a blocked Send
    bool readEnabled = true;  // re-enabled by every Recv
    bool closeReported = false;
    NetworkEvents pending;

    // The poll(2) events this socket wants now; 0 means leave it out of the wait.
    short Interest() const;
    // Records the network events that `revents` stands for; answers whether any were recorded.
    bool Record(short revents);
    void Unbind();
};

} // namespace platform
