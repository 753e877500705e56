#include "platform/Timer.h"
#include "platform/win32/Win32Handles.h"

namespace platform {

// The event's handle is a synchronization waitable timer instead of an event: the wait treats it like
// any auto-reset event, and the event closes it with CloseHandle.
Timer::Timer() {
    if (!event_.valid())
        return;
    CloseHandle(event_.state()->handle);
    event_.state()->handle = CreateWaitableTimerW(nullptr, FALSE, nullptr);
}

Timer::~Timer() = default;

bool Timer::valid() const {
    return event_.valid();
}

void Timer::Arm(std::chrono::milliseconds delay) {
    if (!valid())
        return;
    // A negative due time is relative, in units of 100 ns; the earliest is one unit away.
    LARGE_INTEGER due;
    due.QuadPart = delay.count() > 0 ? -delay.count() * 10000LL : -1LL;
    SetWaitableTimer(event_.state()->handle, &due, 0, nullptr, nullptr, FALSE);
}

void Timer::Disarm() {
    if (!valid())
        return;
    CancelWaitableTimer(event_.state()->handle);
    // A run-out the wait has not seen yet is taken now, so that it is forgotten too.
    WaitForSingleObject(event_.state()->handle, 0);
}

} // namespace platform
