// Listening controls of the main window: skips by keys, by the media keys that seek and by the desktop's
// relative seeks, as the media thread is told of them.
#include "ProgramFixture.h"

#include "panels/MyPlayControlPanel.h"
#include "platform/WindowMessages.h"
#include "program/Commands.h"
#include "ui/MyPopupMenu.h"
#include "ui/MyResourceTables.h"

#include <chrono>
#include <filesystem>

namespace programtest {
namespace {

using Lines = std::vector<std::string>;

class ListeningControlsTest : public ProgramFixture {
protected:
    // Presses `key` with Ctrl held or not, through the accelerator table.
    void Press(int key, bool control) {
        system.SetKeyDown(platform::VK_CONTROL, control);
        window().InjectKey(key, true);
        Pump();
        system.SetKeyDown(platform::VK_CONTROL, false);
    }
};

TEST_F(ListeningControlsTest, CtrlLeftAndCtrlRightSkipTenBackAndThirtyOn) {
    Start();
    PlayStream7();
    At(100.0f);
    Press(platform::VK_RIGHT, true);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlayPos 0.433333"})); // 130 of 300 seconds
    EXPECT_FLOAT_EQ(main().playControlPanel->posBar->value, 130.0f / 300.0f);
    // A second press before the media thread reported the new place builds on the first.
    Press(platform::VK_LEFT, true);
    Press(platform::VK_LEFT, true);
    EXPECT_EQ(media.WaitForLines(3), (Lines{"SetPlayPos 0.433333", "SetPlayPos 0.4", "SetPlayPos 0.366667"}));
    // Left and Right without Ctrl are no skips: a pause sent after them is the next line.
    Press(platform::VK_RIGHT, false);
    Press(platform::VK_LEFT, false);
    main().OnPauseClicked(0);
    EXPECT_EQ(media.WaitForLines(4).back(), "Pause");
}

TEST_F(ListeningControlsTest, SkipsStopAtTheShowsEnds) {
    Start();
    PlayStream7();
    At(4.0f);
    main().HandleCommand(kCommand_SkipBack);
    At(290.0f);
    main().HandleCommand(kCommand_SkipForward);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetPlayPos 0", "SetPlayPos 1"}));
}

TEST_F(ListeningControlsTest, WithoutAShowSkipsSendNothing) {
    Start();
    main().HandleCommand(kCommand_SkipForward);
    main().HandleCommand(kCommand_SkipBack);
    main().OnPlayClicked(0);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"Continue"}));
}

TEST_F(ListeningControlsTest, TheMediaKeysThatSeekSkipLikeCtrlLeftAndRight) {
    Start();
    PlayStream7();
    At(60.0f);
    Press(platform::VK_MEDIA_FAST_FORWARD, false);
    Press(platform::VK_MEDIA_REWIND, false);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetPlayPos 0.3", "SetPlayPos 0.266667"}));
}

TEST_F(ListeningControlsTest, TheDesktopsRelativeSeeksAddUpAndItsPositionsAreAbsolute) {
    Start();
    PlayStream7();
    At(60.0f);
    ASSERT_TRUE(main().mediaControls);
    // As the desktop's seek keys send them: 10 seconds on, twice, then 5 back.
    main().mediaControls->HandleCommand(static_cast<std::uintptr_t>(platform::MediaCommand::Seek),
                                        10'000'000);
    main().mediaControls->HandleCommand(static_cast<std::uintptr_t>(platform::MediaCommand::Seek),
                                        10'000'000);
    main().mediaControls->HandleCommand(static_cast<std::uintptr_t>(platform::MediaCommand::Seek),
                                        -5'000'000);
    main().mediaControls->HandleCommand(static_cast<std::uintptr_t>(platform::MediaCommand::SetPosition),
                                        150'000'000);
    EXPECT_EQ(media.WaitForLines(4),
              (Lines{"SetPlayPos 0.233333", "SetPlayPos 0.266667", "SetPlayPos 0.25", "SetPlayPos 0.5"}));
}

TEST_F(ListeningControlsTest, MinusAndEqualsStepTheSpeedByATenthWithinHalfAndThreeTimes) {
    Start();
    PlayStream7();
    EXPECT_EQ(main().playControlPanel->speedTextBar->text, u"1.0\u00D7");
    Press(platform::VK_OEM_PLUS, false);
    Press(platform::VK_OEM_PLUS, false);
    Press(platform::VK_OEM_MINUS, false);
    EXPECT_EQ(media.WaitForLines(3), (Lines{"SetPlaySpeed 11", "SetPlaySpeed 12", "SetPlaySpeed 11"}));
    EXPECT_EQ(main().playControlPanel->speedTextBar->text, u"1.1\u00D7");
    media.Clear();
    main().HandleCommand(kCommand_SpeedBase + 30);
    Press(platform::VK_ADD, false); // already at the fastest: nothing more is sent
    main().HandleCommand(kCommand_SpeedBase + 5);
    Press(platform::VK_SUBTRACT, false);
    main().OnPauseClicked(0);
    EXPECT_EQ(media.WaitForLines(3), (Lines{"SetPlaySpeed 30", "SetPlaySpeed 5", "Pause"}));
    EXPECT_EQ(main().playControlPanel->speedTextBar->text, u"0.5\u00D7");
}

TEST_F(ListeningControlsTest, EachShowKeepsItsSpeedAcrossStartsAndOthersPlayAtOneTimes) {
    Start();
    PlayStream7();
    main().HandleCommand(kCommand_SpeedBase + 15);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlaySpeed 15"}));
    media.Clear();
    // Another show plays as recorded; going back to the first brings its speed back, before its start.
    main().PlayLink(1, 8, 0);
    main().PlayLink(1, 7, 20);
    EXPECT_EQ(media.WaitForLines(4), (Lines{"SetPlaySpeed 10", "StartPlayStream 1 8 0", "SetPlaySpeed 15",
                                            "StartPlayStream 1 7 20"}));

    Restart();
    EXPECT_EQ(main().playSpeeds.Get(1, 7), 15);
    EXPECT_EQ(main().playSpeeds.Get(1, 8), 10);
    main().PlayLink(1, 7, 0);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetPlaySpeed 15", "StartPlayStream 1 7 0"}));
    EXPECT_EQ(main().playControlPanel->speedTextBar->text, u"1.5\u00D7");
}

TEST_F(ListeningControlsTest, AtOneTimesNoSpeedIsEverSentOrWritten) {
    Start();
    PlayStream7();
    main().PlayLink(1, 8, 0);
    main().OnPauseClicked(0);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"StartPlayStream 1 8 0", "Pause"}));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(main().playSpeeds.path)));
}

TEST_F(ListeningControlsTest, TheSpeedMenuHoldsTheCommonSpeedsAndTheSteps) {
    const auto items = LoadMenuResource(117);
    std::vector<std::uint16_t> commands;
    for (const MyMenuItem& item : items)
        commands.push_back(item.command);
    EXPECT_EQ(commands, (std::vector<std::uint16_t>{40205,
                                                    40208,
                                                    40210,
                                                    40212,
                                                    40215,
                                                    40218,
                                                    40220,
                                                    40225,
                                                    40230,
                                                    0,
                                                    kCommand_SpeedDown,
                                                    kCommand_SpeedUp,
                                                    0,
                                                    kCommand_Sleep15,
                                                    kCommand_Sleep30,
                                                    kCommand_Sleep60,
                                                    kCommand_SleepEndOfTrack,
                                                    kCommand_SleepOff,
                                                    0,
                                                    kCommand_LevelLoudness,
                                                    kCommand_HighContrast}));
    EXPECT_EQ(items[4].text, u"1.5\u00D7");
}

TEST_F(ListeningControlsTest, AClickOnTheSpeedOpensTheSpeedMenuAndItsChoiceIsPlayed) {
    Start();
    PlayStream7();
    const RECT speed = main().playControlPanel->speedTextBar->bounds;
    // It stands over the right end of the status bar, which keeps its place.
    EXPECT_EQ(speed.right, main().playControlPanel->statusTextBar->bounds.right);
    const std::int32_t x = (speed.left + speed.right) / 2;
    const std::int32_t y = (speed.top + speed.bottom) / 2;
    const platform::Rect frame = window().WindowRect();
    system.SetCursorPosition({frame.left + x, frame.top + y});
    window().InjectButton(0, true, x, y);
    window().InjectButton(0, false, x, y);
    Pump();
    ASSERT_TRUE(main().windowContext->popupMenu);
    EXPECT_TRUE(main().windowContext->popupMenu->IsOpen());
    // The menu's choice comes back as a command.
    window().Post({platform::WM_COMMAND, kCommand_SpeedBase + 18, 0});
    Pump();
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlaySpeed 18"}));
    EXPECT_EQ(main().playControlPanel->speedTextBar->text, u"1.8\u00D7");
}

TEST_F(ListeningControlsTest, LoudnessLevellingIsOffUntilChosenAndThenKeptForTheNextStart) {
    Start();
    EXPECT_FALSE(Saved().HasFlag(SettingsFlag_LevelLoudness));
    main().HandleCommand(kCommand_LevelLoudness);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetLoudnessLevelling 1"}));
    EXPECT_TRUE(Saved().HasFlag(SettingsFlag_LevelLoudness));

    // The next start turns it on after the volume.
    owner.reset();
    media.Clear();
    settings = std::make_unique<MySettings>(folder.text());
    context.settings = settings.get();
    owner = std::make_unique<MainWindowBase>();
    ASSERT_TRUE(owner->StartApplication(&system, &context, std::make_unique<FakeTray>(true, &trayCalls)));
    EXPECT_EQ(media.WaitForLines(3), (Lines{"SetMute 0", "SetVolume 0.4 0", "SetLoudnessLevelling 1"}));
    media.Clear();
    main().HandleCommand(kCommand_LevelLoudness);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetLoudnessLevelling 0"}));
    EXPECT_FALSE(Saved().HasFlag(SettingsFlag_LevelLoudness));
}

// The sleep timer with a clock the test moves: positions arrive as the media thread would send them.
class SleepTimerWindowTest : public ListeningControlsTest {
protected:
    void SetUp() override {
        Start();
        PlayStream7();
        main().sleepClock = [this] { return now; };
        main().OnPlayEvent(0); // playing
        settings->volume = 1.0f;
    }
    // `seconds` of listening pass, then a position `seconds` of the show on arrives.
    void Listen(double seconds, double showSecond) {
        now +=
            std::chrono::duration_cast<MySleepTimer::Clock::duration>(std::chrono::duration<double>(seconds));
        At(static_cast<float>(showSecond));
    }
    MySleepTimer::Clock::time_point now{};
};

TEST_F(SleepTimerWindowTest, FifteenMinutesFadeOverTheLastTenSecondsThenPauseAndKeepThePlace) {
    // A show of 300 s is too short for this: give it an hour.
    const_cast<StreamInfoData*>(main().currentStream)->duration = 3600;
    auto at = [this](double second) { main().OnPlayPos(static_cast<float>(second / 3600)); };
    main().HandleCommand(kCommand_Sleep15);
    at(0);
    now += std::chrono::seconds(14 * 60 + 50); // ten seconds before the end: still at full volume
    at(890);
    EXPECT_TRUE(media.lines().empty());
    now += std::chrono::seconds(5); // half way through the fade
    at(895);
    now += std::chrono::milliseconds(2500);
    at(897.5);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetVolume 0.5 0", "SetVolume 0.25 0"}));
    EXPECT_NE(Saved().lastSecond, 900);
    now += std::chrono::milliseconds(2500);
    at(900);
    EXPECT_EQ(media.WaitForLines(4),
              (Lines{"SetVolume 0.5 0", "SetVolume 0.25 0", "Pause", "SetVolume 1 0"}));
    EXPECT_FALSE(main().sleepTimer.running());
    EXPECT_EQ(Saved().lastStationId, 1);
    EXPECT_EQ(Saved().lastStreamId, 7);
    EXPECT_EQ(Saved().lastSecond, 900);
}

TEST_F(SleepTimerWindowTest, TimePausedDoesNotCount) {
    main().HandleCommand(kCommand_Sleep15);
    Listen(0, 0);
    main().OnPlayEvent(2); // paused for an hour
    Listen(3600, 0);
    main().OnPlayEvent(0);
    Listen(0, 0);
    Listen(14 * 60, 0);
    EXPECT_TRUE(media.lines().empty());
    ASSERT_TRUE(main().sleepTimer.SecondsLeft());
    EXPECT_DOUBLE_EQ(*main().sleepTimer.SecondsLeft(), 60.0);
}

TEST_F(SleepTimerWindowTest, AtTheEndOfTheTrackAtTwiceTheSpeedTheFadeTakesTenSecondsOfListening) {
    main().HandleCommand(kCommand_SpeedBase + 20);
    main().HandleCommand(kCommand_SleepEndOfTrack);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlaySpeed 20"}));
    // The track from 100 ends at 150; at 2x its last 20 s of show are the last 10 s of listening.
    Listen(1, 110);
    Listen(1, 120);
    Listen(1, 130);
    Listen(5, 140);
    Listen(5, 150);
    EXPECT_EQ(media.WaitForLines(4), (Lines{"SetPlaySpeed 20", "SetVolume 0.5 0", "Pause", "SetVolume 1 0"}));
    EXPECT_EQ(Saved().lastSecond, 150);
}

TEST_F(SleepTimerWindowTest, CtrlTStepsThroughTheChoicesAndOffGivesTheVolumeBack) {
    std::vector<std::pair<std::int32_t, std::int32_t>> seen;
    for (int i = 0; i < 5; ++i) {
        Press('T', true);
        seen.emplace_back(main().sleepTimer.mode(), main().sleepTimer.minutes());
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::int32_t, std::int32_t>>{{MySleepTimer::Mode_Minutes, 15},
                                                                        {MySleepTimer::Mode_Minutes, 30},
                                                                        {MySleepTimer::Mode_Minutes, 60},
                                                                        {MySleepTimer::Mode_EndOfTrack, 0},
                                                                        {MySleepTimer::Mode_Off, 0}}));
    // Stopped in the middle of a fade: the full volume comes back at once.
    main().HandleCommand(kCommand_SleepEndOfTrack);
    Listen(0, 145); // 5 s before the end of the track from 100
    main().HandleCommand(kCommand_SleepOff);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetVolume 0.5 0", "SetVolume 1 0"}));
}

} // namespace
} // namespace programtest
