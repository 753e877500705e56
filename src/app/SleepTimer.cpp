#include "app/SleepTimer.h"

#include <algorithm>

void MySleepTimer::StartMinutes(std::int32_t minutes) {
    mode_ = Mode_Minutes;
    minutes_ = std::max(minutes, 1);
    played_ = Clock::duration{0};
    lastStep_.reset();
}

void MySleepTimer::StartEndOfTrack() {
    mode_ = Mode_EndOfTrack;
    minutes_ = 0;
    played_ = Clock::duration{0};
    lastStep_.reset();
}

void MySleepTimer::Stop() {
    mode_ = Mode_Off;
    minutes_ = 0;
    lastStep_.reset();
}

std::optional<double> MySleepTimer::SecondsLeft() const {
    if (mode_ != Mode_Minutes)
        return std::nullopt;
    const double played = std::chrono::duration<double>(played_).count();
    return std::max(0.0, minutes_ * 60.0 - played);
}

MySleepTimer::Step MySleepTimer::FadeFor(double secondsLeft) {
    Step step;
    const double fade = static_cast<double>(kFade.count());
    if (secondsLeft <= 0) {
        step.gain = 0.0f;
        step.pause = true;
    } else if (secondsLeft < fade) {
        step.gain = static_cast<float>(secondsLeft / fade);
    }
    return step;
}

MySleepTimer::Step MySleepTimer::Advance(Clock::time_point now, bool playing, double secondsToEnd,
                                         double speed) {
    if (mode_ == Mode_Off)
        return {};
    if (!playing) {
        // The clock stops while paused; the next step while playing counts from then on.
        lastStep_.reset();
        return {};
    }
    if (lastStep_ && now > *lastStep_)
        played_ += now - *lastStep_;
    lastStep_ = now;
    Step step;
    if (mode_ == Mode_Minutes)
        step = FadeFor(*SecondsLeft());
    else
        step = FadeFor(secondsToEnd / std::max(speed, 0.1));
    if (step.pause)
        Stop();
    return step;
}
