// The main window's logic on the headless window system: what it tells the media thread, what it shows,
// what it saves.
#include "ProgramFixture.h"

#include "app/Links.h"
#include "net/ServerAddresses.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "platform/Utf.h"
#include "program/Commands.h"

#include <filesystem>

namespace programtest {
namespace {

using Lines = std::vector<std::string>;

class MainWindowTest : public ProgramFixture {};

TEST_F(MainWindowTest, StartsWithTheSavedVolumeAndMuteAndTheProgramTitle) {
    settings = std::make_unique<MySettings>(folder.text());
    settings->volume = 0.25f;
    settings->SetFlag(SettingsFlag_Muted, true);
    ASSERT_TRUE(settings->Save());
    context.settings = settings.get();
    context.instance = &system;
    context.mediaHandler = &media;
    ASSERT_TRUE(media.Start());
    owner = std::make_unique<MainWindowBase>();
    ASSERT_TRUE(owner->StartApplication(&system, &context, std::make_unique<FakeTray>(true, &trayCalls)));
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetMute 1", "SetVolume 0.25 0"}));
    EXPECT_EQ(window().title(), u"Vantri v0.19");
    EXPECT_EQ(trayCalls, (Lines{"Add 16 1025"}));
    EXPECT_EQ(context.mainWindowHandle.load(), owner->window.get());
    EXPECT_EQ(context.mainWindow, &main());
}

TEST_F(MainWindowTest, ResumeSavesOncePerSecondAndTheNextStartPlaysFromThere) {
    settings = std::make_unique<MySettings>(folder.text());
    settings->SetFlag(SettingsFlag_ResumePlaying, true);
    ASSERT_TRUE(settings->Save());
    Start();
    PlayStream7();
    At(10.0f);
    EXPECT_EQ(Saved().lastSecond, 10);
    EXPECT_EQ(Saved().lastStreamId, 7);
    // Within the same second nothing is written: a removed file stays removed.
    std::filesystem::remove(std::filesystem::path(settings->path));
    At(10.3f);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(settings->path)));
    At(11.0f);
    EXPECT_EQ(Saved().lastSecond, 11);

    Restart();
    EXPECT_EQ(context.startLink.Get(), (MyLinkValue{1, 7, 11}));
    main().OnStationInfo(station.get());
    EXPECT_EQ(media.WaitForLines(1), (Lines{"StartPlayStream 1 7 11"}));
    EXPECT_TRUE(context.startLink.empty());
    EXPECT_EQ(main().stationId, 1);
    EXPECT_EQ(main().streamId, 7);
}

TEST_F(MainWindowTest, ALinkOnTheCommandLineWinsOverTheSavedPosition) {
    settings = std::make_unique<MySettings>(folder.text());
    settings->SetFlag(SettingsFlag_ResumePlaying, true);
    settings->lastStationId = 1;
    settings->lastStreamId = 8;
    settings->lastSecond = 99;
    ASSERT_TRUE(settings->Save());
    context.startLink.Set(1, 7, 42);
    Start();
    MakeRecords();
    StationInfoData other(2);
    main().OnStationInfo(&other); // another station: the link waits
    EXPECT_EQ(context.startLink.Get(), (MyLinkValue{1, 7, 42}));
    main().OnStationInfo(station.get());
    EXPECT_EQ(media.WaitForLines(1), (Lines{"StartPlayStream 1 7 42"}));
}

TEST_F(MainWindowTest, AStreamInfoForThePreviousStreamChangesNothing) {
    Start();
    MakeRecords();
    main().PlayLink(1, 7, 0);
    main().PlayLink(1, 8, 0);
    const StreamInfoData* old = station->streams.at(7).get();
    main().OnStreamInfo(station.get(), old, old->trackList());
    main().OnStreamChat(old, old->chatRows());
    EXPECT_EQ(main().currentStream, nullptr);
    EXPECT_EQ(main().chatRows, nullptr);
    EXPECT_EQ(window().title(), u"Vantri v0.19");
    const StreamInfoData* current = station->streams.at(8).get();
    main().OnStreamInfo(station.get(), current, current->trackList());
    EXPECT_EQ(main().currentStream, current);
    EXPECT_EQ(window().title(), u"Loopback FM - 2023-11-14 22:13 - Evening show - Vantri v0.19");
}

TEST_F(MainWindowTest, HiddenConversationsAreNotInTheListTheMarksOrTheStatusText) {
    settings = std::make_unique<MySettings>(folder.text());
    settings->SetFlag(SettingsFlag_HideConversations, true);
    ASSERT_TRUE(settings->Save());
    Start();
    PlayStream7();
    ASSERT_TRUE(main().trackList);
    ASSERT_EQ(main().trackList->size(), 3u);
    EXPECT_EQ(main().playControlPanel->posBar->marks, main().trackList.get());
    At(160.0f);
    EXPECT_EQ(StatusText(), u"Artist 2 - Song"); // the track from 100, not the talk from 150
    EXPECT_EQ(main().trackIndex, 1);
    EXPECT_EQ(main().infoTabPanel->tracksPage->currentTrack, 1);
}

TEST_F(MainWindowTest, WithConversationsShownTheTalkIsATrack) {
    Start();
    PlayStream7();
    ASSERT_EQ(main().trackList->size(), 4u);
    At(160.0f);
    EXPECT_EQ(StatusText(), u"Artist 3 - Talk");
    EXPECT_EQ(main().trackEnd, 200);
}

TEST_F(MainWindowTest, PreviousTrackAtThreeAndTenSecondsIntoASecondTrack) {
    Start();
    PlayStream7();
    At(103.0f);
    main().PreviousTrack();
    At(110.0f);
    main().PreviousTrack();
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetPlayPos 0", "SetPlayPos 0.333333"}));
}

TEST_F(MainWindowTest, PreviousTrackInTheFirstTrack) {
    Start();
    PlayStream7();
    At(3.0f); // a first track that starts at 0 goes to 0
    main().PreviousTrack();
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlayPos 0"}));
    media.Clear();
    // A first track that starts later: 3 seconds in, there is no track before it.
    auto tracks = std::make_unique<TrackInfoList>(*main().trackList);
    tracks->erase(tracks->begin());
    main().trackList = std::move(tracks);
    main().trackStart = main().trackEnd = main().trackIndex = -1;
    At(103.0f);
    main().PreviousTrack();
    main().OnPauseClicked(0); // a marker: nothing was sent before it
    EXPECT_EQ(media.WaitForLines(1), (Lines{"Pause"}));
}

TEST_F(MainWindowTest, NextTrackGoesOnAndRestartsTheLastTrack) {
    Start();
    PlayStream7();
    At(20.0f);
    main().NextTrack();
    At(250.0f);
    main().NextTrack();
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetPlayPos 0.333333", "SetPlayPos 0.666667"}));
}

TEST_F(MainWindowTest, WithoutAStreamPreviousGoesToTheStartAndNextDoesNothing) {
    Start();
    main().NextTrack();
    main().PreviousTrack();
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlayPos 0"}));
    EXPECT_EQ(main().playControlPanel->posBar->value, 0.0f);
}

TEST_F(MainWindowTest, TimeTextFromZeroAndNegativeRemainingTime) {
    Start();
    PlayStream7();
    At(0.0f);
    EXPECT_EQ(TimeText(), u"0:00:00");
    main().OnTimeTextClicked(0);
    EXPECT_EQ(TimeText(), u"-0:05:00");
    At(61.0f);
    EXPECT_EQ(TimeText(), u"-0:03:59");
}

TEST_F(MainWindowTest, TimeModesCycleWithAndWithoutDebug) {
    Start();
    PlayStream7();
    At(61.0f);
    std::vector<std::u16string> shown;
    for (int i = 0; i < 3; ++i) {
        main().OnTimeTextClicked(0);
        shown.push_back(TimeText());
    }
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"-0:03:59", u"0:01:01", u"-0:03:59"}));
    context.debug = 1;
    main().timeMode = 0;
    shown.clear();
    for (int i = 0; i < 3; ++i) {
        main().OnTimeTextClicked(0);
        shown.push_back(TimeText());
    }
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"-0:03:59", u"61", u"0:01:01"}));
}

TEST_F(MainWindowTest, ChatFollowsThePositionAndTheSliderMovesOnlyWithATrackList) {
    Start();
    MakeRecords();
    main().PlayLink(1, 7, 0);
    At(30.0f); // no stream yet: nothing moves
    EXPECT_EQ(main().playControlPanel->posBar->value, 0.0f);
    PlayStream7();
    At(2.0f);
    EXPECT_EQ(main().chatIndex, -1);
    At(6.0f);
    EXPECT_EQ(main().chatIndex, 0);
    At(130.0f);
    EXPECT_EQ(main().chatIndex, 1);
    EXPECT_EQ(main().infoTabPanel->chatPage->listBox->currentIndex, 1);
    EXPECT_FLOAT_EQ(main().playControlPanel->posBar->value, 130.0f / 300.0f);
}

TEST_F(MainWindowTest, PlayEventsLightTheButtonsAndEnableTheSlider) {
    Start();
    main().OnPlayEvent(0);
    EXPECT_EQ(main().playState, 1);
    EXPECT_TRUE(main().playControlPanel->playButtons[2]->lit);
    EXPECT_TRUE(main().playControlPanel->posBar->enabled);
    main().OnPlayEvent(2);
    EXPECT_EQ(main().playState, 2);
    EXPECT_TRUE(main().playControlPanel->playButtons[1]->lit);
    EXPECT_FALSE(main().playControlPanel->playButtons[2]->lit);
    EXPECT_TRUE(main().playControlPanel->posBar->enabled);
    main().OnPlayEvent(1);
    EXPECT_EQ(main().playState, 0);
    EXPECT_FALSE(main().playControlPanel->posBar->enabled);
    main().OnPlayEvent(7);
    EXPECT_EQ(main().playState, 0);
}

TEST_F(MainWindowTest, F7TwiceAndF7ThenF9ThroughTheAcceleratorTable) {
    Start();
    MyInfoTabPanel& tabs = *main().infoTabPanel;
    window().InjectKey(platform::VK_F1 + 6, true);
    Pump();
    EXPECT_EQ(main().infoView, 1);
    EXPECT_TRUE(tabs.stationPage->visible);
    EXPECT_TRUE(tabs.stationsTab->selected);
    window().InjectKey(platform::VK_F1 + 6, true);
    Pump();
    EXPECT_EQ(main().infoView, 0);
    EXPECT_FALSE(tabs.stationPage->visible);
    EXPECT_FALSE(tabs.stationsTab->selected);
    window().InjectKey(platform::VK_F1 + 6, true);
    window().InjectKey(platform::VK_F1 + 8, true);
    Pump();
    EXPECT_EQ(main().infoView, 2);
    EXPECT_FALSE(tabs.stationPage->visible);
    EXPECT_TRUE(tabs.settingsPage->visible);
    EXPECT_FALSE(tabs.stationsTab->selected);
    EXPECT_TRUE(tabs.settingsTab->selected);
    window().InjectKey(platform::VK_F1 + 7, true); // F8: the track list, which has no tab
    Pump();
    EXPECT_EQ(main().infoView, 4);
    EXPECT_TRUE(tabs.tracksPage->visible);
    EXPECT_FALSE(tabs.settingsTab->selected);
}

TEST_F(MainWindowTest, CtrlCBeforeAnythingPlayedCopiesTheNumberFormOfMinusOne) {
    Start();
    system.SetKeyDown(platform::VK_CONTROL, true);
    window().InjectKey('C', true);
    Pump();
    std::u16string copied;
    ASSERT_TRUE(system.GetClipboardText(copied));
    EXPECT_EQ(copied, Utf8ToUtf16(WebLinkBase()) + u"track-0-0-" + EncodeBase62(0xFFFFFFFFu));
}

TEST_F(MainWindowTest, CtrlVPlaysTheClipboardLinkAndIgnoresOtherText) {
    Start();
    system.SetClipboardText(u"no link here");
    main().HandleCommand(kCommand_PlayClipboard);
    system.SetClipboardText(u"vantri:track-1-7-" + EncodeBase62(95));
    system.SetKeyDown(platform::VK_CONTROL, true);
    window().InjectKey('V', true);
    Pump();
    EXPECT_EQ(media.WaitForLines(1), (Lines{"StartPlayStream 1 7 95"}));
}

TEST_F(MainWindowTest, CopyLinkMenusUseTheMenuLink) {
    Start();
    context.menuLink.Set(1, 7, 65);
    std::u16string copied;
    main().HandleCommand(kCommand_CopyTrackUri);
    system.GetClipboardText(copied);
    EXPECT_EQ(copied, u"vantri:track-1-7-13");
    main().HandleCommand(kCommand_CopyStreamUri2);
    system.GetClipboardText(copied);
    EXPECT_EQ(copied, u"vantri:stream-1-7");
    main().HandleCommand(kCommand_CopyStreamWebLink);
    system.GetClipboardText(copied);
    EXPECT_EQ(copied, Utf8ToUtf16(WebLinkBase()) + u"stream-1-7");
}

TEST_F(MainWindowTest, MinimizeOnCloseWithANotificationAreaHidesAndShowsTheBalloon) {
    Start(true);
    window().InjectClose();
    Pump();
    EXPECT_FALSE(window().destroyed());
    EXPECT_FALSE(window().visible());
    EXPECT_EQ(trayCalls.back(),
              "Balloon Vantri is still here!|To quit please right click and choose exit.|5000");
    // A click on the icon shows it again.
    owner->window->Send(MyTrayIcon::kCallbackMessage, 0, platform::WM_LBUTTONDOWN);
    EXPECT_TRUE(window().visible());
}

TEST_F(MainWindowTest, MinimizeOnCloseWithoutANotificationAreaMinimizesToTheTaskBar) {
    Start(false);
    window().InjectClose();
    Pump();
    EXPECT_FALSE(window().destroyed());
    EXPECT_TRUE(window().visible());
    EXPECT_TRUE(window().minimized());
    for (const std::string& call : trayCalls)
        EXPECT_EQ(call.rfind("Balloon", 0), std::string::npos);
}

TEST_F(MainWindowTest, CloseWithoutMinimizeOnCloseEndsTheProgram) {
    settings = std::make_unique<MySettings>(folder.text());
    settings->SetFlag(SettingsFlag_MinimizeToTrayOnClose, false);
    ASSERT_TRUE(settings->Save());
    Start();
    window().InjectClose();
    platform::Message message;
    while (system.PeekMessage(message) && message.message != platform::WM_QUIT)
        system.DispatchMessage(message);
    EXPECT_EQ(message.message, platform::WM_QUIT);
    EXPECT_TRUE(window().destroyed());
    EXPECT_EQ(context.mainWindowHandle.load(), nullptr);
    EXPECT_EQ(trayCalls.back(), "Add 16 1025"); // the icon goes with the window object
    owner.reset();
    EXPECT_EQ(trayCalls.back(), "Remove");
}

TEST_F(MainWindowTest, SettingsBoxesShowAndFlipTheirOptions) {
    Start();
    MySettingsPanel& page = *main().infoTabPanel->settingsPage;
    // Defaults: minimise on close and the link check on, updates checked (bit 7 clear).
    std::vector<bool> ticked;
    for (auto* box : page.buttons)
        ticked.push_back(box->ticked);
    EXPECT_EQ(ticked, (std::vector<bool>{false, true, false, true, false, true, false, false}));
    main().OnSettingsBoxClicked(6);
    main().OnSettingsBoxClicked(1);
    EXPECT_TRUE(Saved().HasFlag(SettingsFlag_NoUpdateCheck));
    EXPECT_TRUE(Saved().HasFlag(SettingsFlag_ShowChatBeyondPlayPosition));
    EXPECT_TRUE(main().infoTabPanel->chatPage->listBox->showBeyond);
    EXPECT_FALSE(page.buttons[5]->ticked);
}

TEST_F(MainWindowTest, VolumeAndMuteAreSavedAndSent) {
    Start();
    main().OnVolumeChanged(0.5f);
    main().OnMuteChanged(true);
    EXPECT_EQ(media.WaitForLines(2), (Lines{"SetVolume 0.5 0", "SetMute 1"}));
    EXPECT_FLOAT_EQ(Saved().volume, 0.5f);
    EXPECT_TRUE(Saved().HasFlag(SettingsFlag_Muted));
}

TEST_F(MainWindowTest, PreviewWhileDraggingShowsTimeAndTrackWithoutSeeking) {
    Start();
    main().OnPositionChanged(0.5f);
    EXPECT_EQ(TimeText(), u"");
    PlayStream7();
    main().OnPositionChanged(0.5f);
    EXPECT_EQ(TimeText(), u"0:02:30");
    EXPECT_EQ(StatusText(), u"Artist 3 - Talk");
    main().OnPositionReleased(0.5f);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlayPos 0.5"}));
}

TEST_F(MainWindowTest, ServersTextsAndNumbersThatMakeNoSense) {
    Start();
    MakeRecords();
    auto stream = std::make_unique<StreamInfoData>();
    stream->stationId = 1;
    stream->streamId = 9;
    stream->duration = 0; // a stream of no length
    StationInfoData nameless(1);
    auto tracks = std::make_unique<TrackInfoList>();
    for (int i = 0; i < 10000; ++i)
        tracks->push_back(TrackInfo{i * 7, 0, 0, false, u"", u""});
    tracks->push_back(TrackInfo{-5, 0, 0, false, u"past", u"end"});
    main().PlayLink(1, 9, 0);
    main().OnStreamInfo(&nameless, stream.get(), tracks.get());
    main().OnPlayPos(1.0f);
    main().OnPlayPos(std::numeric_limits<float>::quiet_NaN());
    main().NextTrack();
    main().PreviousTrack();
    main().OnPauseClicked(0);
    // No seek into a stream without length.
    EXPECT_EQ(media.WaitForLines(2), (Lines{"StartPlayStream 1 9 0", "Pause"}));
    EXPECT_EQ(window().title(), u" - 1970-01-01 00:00 -  - Vantri v0.19");
}

} // namespace
} // namespace programtest
