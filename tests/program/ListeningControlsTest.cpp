// Listening controls of the main window: skips by keys, by the media keys that seek and by the desktop's
// relative seeks, as the media thread is told of them.
#include "ProgramFixture.h"

#include "panels/MyPlayControlPanel.h"
#include "platform/WindowMessages.h"
#include "program/Commands.h"
#include "ui/MyPopupMenu.h"
#include "ui/MyResourceTables.h"

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
    EXPECT_EQ(commands, (std::vector<std::uint16_t>{40205, 40208, 40210, 40212, 40215, 40218, 40220, 40225,
                                                    40230, 0, kCommand_SpeedDown, kCommand_SpeedUp}));
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

} // namespace
} // namespace programtest
