#pragma once
// The sleep timer: after 15, 30 or 60 minutes of playing, or at the end of the track playing, the sound
// fades out over the last 10 seconds and playback pauses. Only time spent playing counts: a pause stops
// the clock. Pure logic; the main window feeds it the time and the play position and does what it says.
// User-interface thread only.

#include <chrono>
#include <cstdint>
#include <optional>

class MySleepTimer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kFade{10};

    enum Mode : std::int32_t {
        Mode_Off = 0,
        Mode_Minutes = 1,    // after a number of minutes of playing
        Mode_EndOfTrack = 2, // when the track playing ends (the show's end when it has no tracks)
    };

    // What to do after a step.
    struct Step {
        float gain = 1.0f;  // the fraction of the volume to play at, 1 when not fading
        bool pause = false; // the time is up: pause now (the timer is then off)
    };

    Mode mode() const { return mode_; }
    std::int32_t minutes() const { return minutes_; }
    bool running() const { return mode_ != Mode_Off; }

    void StartMinutes(std::int32_t minutes);
    void StartEndOfTrack();
    void Stop();

    // One step at `now`: `playing` whether sound plays; `secondsToEnd` the seconds of the show left until
    // the end of the track (or show) at the play position, and `speed` the playback speed, for the end of
    // a track.
    Step Advance(Clock::time_point now, bool playing, double secondsToEnd, double speed);

    // Seconds of listening left, for the minutes mode; none in the other modes.
    std::optional<double> SecondsLeft() const;

private:
    static Step FadeFor(double secondsLeft);

    Mode mode_ = Mode_Off;
    std::int32_t minutes_ = 0;
    Clock::duration played_{0};                 // playing time counted since the start
    std::optional<Clock::time_point> lastStep_; // the last step while playing
};
