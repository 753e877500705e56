// The sleep timer's arithmetic with a clock the test moves: the fade over the last ten seconds, the pause
// at the end, playing time only, and the end of a track at any speed.

#include "app/SleepTimer.h"

#include <gtest/gtest.h>

namespace {

using Clock = MySleepTimer::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(SleepTimer, MinutesOfPlayingFadeOverTheLastTenSecondsThenPause) {
    MySleepTimer timer;
    Clock::time_point now{};
    EXPECT_FALSE(timer.running());
    EXPECT_FLOAT_EQ(timer.Advance(now, true, 0, 1).gain, 1.0f); // off: nothing happens, even at an end
    timer.StartMinutes(15);
    EXPECT_FLOAT_EQ(timer.Advance(now, true, 0, 1).gain, 1.0f);
    now += seconds(14 * 60 + 50);
    auto step = timer.Advance(now, true, 0, 1);
    EXPECT_FLOAT_EQ(step.gain, 1.0f);
    EXPECT_FALSE(step.pause);
    now += milliseconds(7500);
    step = timer.Advance(now, true, 0, 1);
    EXPECT_FLOAT_EQ(step.gain, 0.25f);
    EXPECT_FALSE(step.pause);
    now += milliseconds(2500);
    step = timer.Advance(now, true, 0, 1);
    EXPECT_TRUE(step.pause);
    EXPECT_FLOAT_EQ(step.gain, 0.0f);
    EXPECT_FALSE(timer.running());
    // Once paused it is off: later steps do nothing.
    now += seconds(1);
    EXPECT_FALSE(timer.Advance(now, true, 0, 1).pause);
}

TEST(SleepTimer, OnlyPlayingTimeCounts) {
    MySleepTimer timer;
    Clock::time_point now{};
    timer.StartMinutes(1);
    timer.Advance(now, true, 0, 1);
    now += seconds(20);
    timer.Advance(now, true, 0, 1);
    now += seconds(600); // paused for ten minutes
    timer.Advance(now, false, 0, 1);
    now += seconds(5); // the first step after the pause only starts the clock again
    timer.Advance(now, true, 0, 1);
    ASSERT_TRUE(timer.SecondsLeft());
    EXPECT_DOUBLE_EQ(*timer.SecondsLeft(), 40.0);
    now += seconds(40);
    EXPECT_TRUE(timer.Advance(now, true, 0, 1).pause);
}

TEST(SleepTimer, TheEndOfATrackFadesOverTenSecondsOfListeningAtAnySpeed) {
    MySleepTimer timer;
    timer.StartEndOfTrack();
    EXPECT_FALSE(timer.SecondsLeft());
    const Clock::time_point now{};
    EXPECT_FLOAT_EQ(timer.Advance(now, true, 30, 1).gain, 1.0f);
    EXPECT_FLOAT_EQ(timer.Advance(now, true, 5, 1).gain, 0.5f);
    // At 2x, 10 s of the show are 5 s of listening.
    EXPECT_FLOAT_EQ(timer.Advance(now, true, 10, 2).gain, 0.5f);
    EXPECT_FLOAT_EQ(timer.Advance(now, true, 15, 0.5).gain, 1.0f);
    EXPECT_TRUE(timer.running());
    EXPECT_TRUE(timer.Advance(now, true, 0, 1).pause);
    EXPECT_FALSE(timer.running());
}

TEST(SleepTimer, AStartAgainBeginsAfreshAndStopEndsIt) {
    MySleepTimer timer;
    Clock::time_point now{};
    timer.StartMinutes(15);
    timer.Advance(now, true, 0, 1);
    now += seconds(600);
    timer.Advance(now, true, 0, 1);
    timer.StartMinutes(30);
    EXPECT_DOUBLE_EQ(*timer.SecondsLeft(), 1800.0);
    EXPECT_EQ(timer.minutes(), 30);
    timer.Stop();
    EXPECT_FALSE(timer.running());
    EXPECT_EQ(timer.mode(), MySleepTimer::Mode_Off);
}

} // namespace
