#pragma once
// A one-shot timer whose expiry signals an Event, so that a worker thread can wait for a deadline in the
// same wait as its messages and sockets (WaitForAny). Arming again replaces the earlier deadline.
//
// Threading: Arm and Disarm belong to the thread that waits on the event.

#include "platform/Event.h"

#include <chrono>

namespace platform {

class Timer {
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool valid() const;
    Event& event() { return event_; }

    // Signals the event once `delay` from now (at once for a delay of 0 or less).
    void Arm(std::chrono::milliseconds delay);
    // No signal comes from an earlier Arm that has not run out yet.
    void Disarm();

private:
    Event event_;
};

} // namespace platform
