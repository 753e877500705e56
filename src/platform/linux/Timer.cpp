#include "platform/Timer.h"
#include "platform/linux/SocketState.h"

#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

Timer::Timer() {
    if (event_.valid())
        event_.state()->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
}

// The event closes the timer's descriptor with its own.
Timer::~Timer() = default;

bool Timer::valid() const {
    return event_.valid() && event_.state()->timerFd >= 0;
}

void Timer::Arm(std::chrono::milliseconds delay) {
    if (!valid())
        return;
    // A zero value would disarm the timer: the earliest expiry is one nanosecond away.
    const long long ns = delay.count() > 0 ? delay.count() * 1000000LL : 1;
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(ns / 1000000000LL);
    when.it_value.tv_nsec = static_cast<long>(ns % 1000000000LL);
    timerfd_settime(event_.state()->timerFd, 0, &when, nullptr);
}

void Timer::Disarm() {
    if (!valid())
        return;
    itimerspec when{};
    // Re-arming clears expiries not yet read, so a run-out that the wait has not seen is forgotten too.
    timerfd_settime(event_.state()->timerFd, 0, &when, nullptr);
}

} // namespace platform
