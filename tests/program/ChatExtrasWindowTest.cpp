// The chat extras in the main window: the sync offset keys and menu commands move which chat row is
// current, the badge shows, the offset is kept for that show across a restart, and settings boxes 7 and
// 8 set bits 8 and 9 only and take effect at once.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "panels/MyChatOverlays.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "platform/HeadlessWindowSystem.h"
#include "program/Commands.h"
#include "program/FolderProgram.h"
#include "program/MainWindow.h"
#include "program/MainWindowBase.h"
#include "support/ScratchFolder.h"
#include "ui/MyResourceTables.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// One running main window over a settings folder; a second one over the same folder is a restart.
struct Program : programtest::FolderProgram {
    using FolderProgram::FolderProgram;
    // A key through the accelerator table, as the message loop turns it into a command.
    void Key(int virtualKey, bool shift = false) {
        const std::uint16_t command =
            FindAccelerator(LoadAcceleratorResource(115), virtualKey, false, shift, false);
        ASSERT_NE(command, 0) << "no accelerator for key " << virtualKey;
        base.window->Send(platform::WM_COMMAND, command, 0);
        Pump();
    }
    MyChatPanel& chat() { return *main->infoTabPanel->chatPage; }
};

class ChatExtrasWindow : public ::testing::Test {
protected:
    void SetUp() override {
        station.stationId = 7;
        stream.stationId = 7;
        stream.streamId = 12;
        stream.duration = 1000;
        other.stationId = 7;
        other.streamId = 13;
        other.duration = 1000;
        // One message a second from second 100 on.
        for (int t = 100; t < 200; ++t)
            rows.push_back(StreamChatRow(t, StreamChatRowKind_Message, {u"dj", u"line"}));
    }
    // Starts stream `s` in `p` with the chat rows and plays to second `second`.
    void Play(Program& p, const StreamInfoData& s, std::int32_t second) {
        p.main->PlayLink(s.stationId, s.streamId, 0);
        p.main->OnStreamInfo(&station, &s, &tracks);
        p.main->OnStreamChat(&s, &rows);
        PlayTo(p, second);
    }
    void PlayTo(Program& p, std::int32_t second) {
        p.main->OnPlayPos(static_cast<float>(second) / static_cast<float>(stream.duration));
        p.Pump();
    }
    // The time of the chat row the window shows as current.
    std::int32_t CurrentChatTime(Program& p) {
        return p.main->chatIndex < 0 ? -1 : rows[static_cast<std::size_t>(p.main->chatIndex)].time;
    }

    testsupport::ScratchFolder folder;
    StationInfoData station;
    StreamInfoData stream;
    StreamInfoData other;
    TrackInfoList tracks;
    StreamChatRowList rows;
};

TEST_F(ChatExtrasWindow, OffsetKeysMoveTheCurrentRowAndTheBadgeAtOnce) {
    Program p(folder.text());
    Play(p, stream, 150);
    EXPECT_EQ(CurrentChatTime(p), 150);
    EXPECT_FALSE(p.chat().offsetBadge->visible);

    // "]" three times: the chat runs 3 s later, so the rows of three seconds earlier are current.
    for (int i = 0; i < 3; ++i)
        p.Key(platform::VK_OEM_6);
    EXPECT_EQ(p.main->ChatOffset(), 3);
    EXPECT_EQ(CurrentChatTime(p), 147);
    ASSERT_TRUE(p.chat().offsetBadge->visible);
    EXPECT_EQ(p.chat().offsetBadge->text, u"chat +3 s");
    const RECT badge = p.chat().offsetBadge->bounds;
    EXPECT_EQ(p.base.backBuffer.bitmap->row(badge.top + 1)[badge.left + 1] & 0xFFFFFF,
              MyChatOffsetBadge::kBackColour);
    // Playing on keeps the offset.
    PlayTo(p, 160);
    EXPECT_EQ(CurrentChatTime(p), 157);

    // Shift+[ : 10 s earlier, so 7 s ahead of the recording.
    p.Key(platform::VK_OEM_4, true);
    EXPECT_EQ(p.main->ChatOffset(), -7);
    EXPECT_EQ(CurrentChatTime(p), 167);
    EXPECT_EQ(p.chat().offsetBadge->text, u"chat -7 s");
    p.Key(platform::VK_OEM_4);
    EXPECT_EQ(p.main->ChatOffset(), -8);
    p.Key(platform::VK_OEM_6, true);
    EXPECT_EQ(p.main->ChatOffset(), 2);

    // "\" resets: the badge goes and the chat is at the play second again.
    p.Key(platform::VK_OEM_5);
    EXPECT_EQ(p.main->ChatOffset(), 0);
    EXPECT_EQ(CurrentChatTime(p), 160);
    EXPECT_FALSE(p.chat().offsetBadge->visible);
    const RECT chatArea = p.chat().bounds;
    EXPECT_EQ(p.base.backBuffer.bitmap->row(badge.top + 1)[badge.left + 1] & 0xFFFFFF, 0u)
        << "black chat ground where the badge was, in " << chatArea.right;

    // The chat menu's commands do the same.
    p.Command(kCommand_ChatMuchLater);
    EXPECT_EQ(p.main->ChatOffset(), 10);
    EXPECT_EQ(CurrentChatTime(p), 150);
    p.Command(kCommand_ChatEarlier);
    EXPECT_EQ(p.main->ChatOffset(), 9);
    p.Command(kCommand_ChatSyncReset);
    EXPECT_EQ(p.main->ChatOffset(), 0);
    EXPECT_EQ(LoadMenuResource(MyChatPanel::kChatMenu).size(), 9u);
}

// "Chat is in step here" pins what the chat shows to the play second; between pins the chat follows the
// line through them, and the pins outlive the program.
TEST_F(ChatExtrasWindow, SyncPointsPinTheChatAndItFollowsTheLineBetweenThem) {
    {
        Program p(folder.text());
        Play(p, stream, 150);
        for (int i = 0; i < 5; ++i)
            p.Key(platform::VK_OEM_6); // 5 s later: the row of 145
        EXPECT_EQ(CurrentChatTime(p), 145);
        p.Command(kCommand_ChatInStepHere);
        EXPECT_EQ(p.main->ChatOffset(), 0) << "the offset is part of the pin now";
        EXPECT_FALSE(p.chat().offsetBadge->visible);
        EXPECT_EQ(CurrentChatTime(p), 145);
        PlayTo(p, 180); // after the last pin: its offset
        EXPECT_EQ(CurrentChatTime(p), 175);

        PlayTo(p, 120);
        for (int i = 0; i < 5; ++i)
            p.Key(platform::VK_OEM_4); // 5 s earlier than the pin's offset: in step at 120
        EXPECT_EQ(CurrentChatTime(p), 120);
        p.Command(kCommand_ChatInStepHere);
        PlayTo(p, 135); // 120 + 15 × (25 / 30) = 132.5, rounded
        EXPECT_EQ(CurrentChatTime(p), 133);
        PlayTo(p, 110); // before the first pin: in step
        EXPECT_EQ(CurrentChatTime(p), 110);
    }
    Program p(folder.text());
    Play(p, stream, 135);
    EXPECT_EQ(CurrentChatTime(p), 133);
    p.Command(kCommand_ChatForgetSyncPoints);
    EXPECT_EQ(CurrentChatTime(p), 135);
}

// A station's own sync points for the show count until the user pins one, and pinning keeps them.
TEST_F(ChatExtrasWindow, TheStationsSyncPointsCountAndPinningKeepsThem) {
    stream.SetChatSync(std::make_unique<ChatSyncPoints>(ChatSyncPoints{{100, 100}, {200, 180}}));
    Program p(folder.text());
    Play(p, stream, 150);
    EXPECT_EQ(CurrentChatTime(p), 140);
    PlayTo(p, 190);
    p.Key(platform::VK_OEM_6); // one second later here, pinned
    p.Command(kCommand_ChatInStepHere);
    PlayTo(p, 100);
    EXPECT_EQ(CurrentChatTime(p), 100) << "the station's first point still holds";
    PlayTo(p, 150); // now on the line from (100, 100) to the pin (190, 171): 139.4
    EXPECT_EQ(CurrentChatTime(p), 139);
    ASSERT_NE(p.main->chatOffsets.Pins(7, 12), nullptr);
    EXPECT_EQ(p.main->chatOffsets.Pins(7, 12)->size(), 3u);
}

TEST_F(ChatExtrasWindow, TheOffsetSurvivesARestartForThatShowOnly) {
    {
        Program p(folder.text());
        Play(p, stream, 150);
        p.Command(kCommand_ChatLater);
        p.Command(kCommand_ChatLater);
        EXPECT_EQ(CurrentChatTime(p), 148);
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "settings.vts"))
            << "the offset is not kept in the settings record";
        EXPECT_TRUE(std::filesystem::exists(folder.path() / "Vantri" / "chatoffsets.txt"));
    }
    Program p(folder.text());
    Play(p, stream, 150);
    EXPECT_EQ(p.main->ChatOffset(), 2);
    EXPECT_EQ(CurrentChatTime(p), 148);
    EXPECT_TRUE(p.chat().offsetBadge->visible);
    // Another show of the same station has its own offset, none.
    Play(p, other, 151);
    EXPECT_EQ(p.main->ChatOffset(), 0);
    EXPECT_EQ(CurrentChatTime(p), 151);
    EXPECT_FALSE(p.chat().offsetBadge->visible);
}

TEST_F(ChatExtrasWindow, BoxesSevenAndEightSetBitsEightAndNineOnlyAndActAtOnce) {
    Program p(folder.text());
    MySettingsPanel& page = *p.main->infoTabPanel->settingsPage;
    ASSERT_EQ(page.buttons.size(), 8u);
    EXPECT_EQ(page.buttons[6]->text, u"Hide joins and parts of people who do not speak within 10 minutes");
    EXPECT_EQ(page.buttons[7]->text, u"Show chat activity on the position bar");
    EXPECT_FALSE(page.buttons[6]->ticked);
    EXPECT_FALSE(page.buttons[7]->ticked);
    // The boxes fit on the page.
    EXPECT_LE(page.buttons[7]->bounds.bottom, page.bounds.bottom);
    const std::uint32_t before = p.settings.flags;

    rows.insert(rows.begin(), StreamChatRow(50, StreamChatRowKind_Join, {u"lurker"}));
    Play(p, stream, 150);
    p.main->OnSettingsBoxClicked(7);
    EXPECT_EQ(p.settings.flags, before | SettingsFlag_HideQuietJoins);
    EXPECT_TRUE(p.chat().hideQuietJoins);
    EXPECT_TRUE(page.buttons[6]->ticked);
    EXPECT_TRUE(static_cast<MyStreamChatListBoxRow*>(p.chat().listBox->RowAt(0))->hidden);
    p.main->OnSettingsBoxClicked(8);
    EXPECT_EQ(p.settings.flags, before | SettingsFlag_HideQuietJoins | SettingsFlag_ShowChatActivity);
    EXPECT_TRUE(p.main->playControlPanel->posBar->showChatActivity);
    EXPECT_EQ(p.main->playControlPanel->posBar->activityRows, &rows);

    // Saved: bits 8 and 9 set, bits 0 to 7 as they were, the file 38 bytes.
    MySettings reread(folder.text());
    EXPECT_EQ(reread.flags, before | 0x300u);
    EXPECT_EQ(reread.flags & 0xFFu, before & 0xFFu);
    EXPECT_EQ(std::filesystem::file_size(folder.path() / "Vantri" / "settings.vts"), 38u);

    // A restart comes up with both on.
    {
        Program again(folder.text());
        EXPECT_TRUE(again.main->infoTabPanel->settingsPage->buttons[6]->ticked);
        EXPECT_TRUE(again.main->infoTabPanel->settingsPage->buttons[7]->ticked);
        EXPECT_TRUE(again.chat().hideQuietJoins);
        EXPECT_TRUE(again.main->playControlPanel->posBar->showChatActivity);
    }
    p.main->OnSettingsBoxClicked(7);
    EXPECT_FALSE(static_cast<MyStreamChatListBoxRow*>(p.chat().listBox->RowAt(0))->hidden);
    p.main->OnSettingsBoxClicked(8);
    EXPECT_EQ(p.settings.flags, before);
}

TEST_F(ChatExtrasWindow, TheStripShowsOnlyTheChatOfTheShowPlayingAndKeysWithoutAShowDoNothing) {
    Program p(folder.text());
    p.Key(platform::VK_OEM_6);
    EXPECT_EQ(p.main->ChatOffset(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "chatoffsets.txt"));
    EXPECT_FALSE(p.chat().offsetBadge->visible);

    p.main->OnSettingsBoxClicked(8);
    Play(p, stream, 150);
    MyPlayPosBar* bar = p.main->playControlPanel->posBar;
    EXPECT_EQ(bar->activityRows, &rows);
    // Another show: until its chat arrives, the bar shows no activity rather than the last show's.
    p.main->PlayLink(other.stationId, other.streamId, 0);
    p.main->OnStreamInfo(&station, &other, &tracks);
    EXPECT_EQ(bar->activityRows, nullptr);
    p.main->OnStreamChat(&other, &rows);
    EXPECT_EQ(bar->activityRows, &rows);
}

TEST_F(ChatExtrasWindow, NudgingTheSyncIsNoSeek) {
    Program p(folder.text());
    Play(p, stream, 0);
    for (int s = 1; s <= 110; ++s)
        PlayTo(p, s);
    p.Key(platform::VK_OEM_6, true);
    p.Key(platform::VK_OEM_4);
    EXPECT_EQ(CurrentChatTime(p), 101);
    EXPECT_FALSE(p.chat().stateLine->visible) << "nothing is pinned for a change of the offset";
    // A real seek still pins the line.
    PlayTo(p, 150);
    EXPECT_TRUE(p.chat().stateLine->visible);
}

TEST_F(ChatExtrasWindow, ByDefaultNothingNewShows) {
    Program p(folder.text());
    Play(p, stream, 3);
    for (int s = 4; s < 150; ++s)
        PlayTo(p, s);
    EXPECT_FALSE(p.chat().stateLine->visible);
    EXPECT_FALSE(p.chat().offsetBadge->visible);
    EXPECT_EQ(p.chat().listBox->bounds, p.chat().bounds);
    EXPECT_FALSE(p.main->playControlPanel->posBar->showChatActivity);
    EXPECT_FALSE(p.chat().hideQuietJoins);
}

} // namespace
