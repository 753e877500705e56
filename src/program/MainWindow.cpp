#include "program/MainWindow.h"

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "app/StartChecks.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "net/ServerAddresses.h"
#include "net/UpdatePrompt.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "platform/Utf.h"
#include "program/Commands.h"
#include "records/ProgramVersion.h"
#include "records/TrackSearchResults.h"

#include <algorithm>
#include <cmath>

namespace {

// Option bit of each settings box, 1 to 8; box 6 shows the inverse of its bit.
constexpr std::uint32_t kBoxFlags[MySettingsPanel::kBoxCount] = {
    SettingsFlag_ShowChatBeyondPlayPosition,
    SettingsFlag_MinimizeToTrayOnClose,
    SettingsFlag_HideConversations,
    SettingsFlag_CheckLinkScheme,
    SettingsFlag_ResumePlaying,
    SettingsFlag_NoUpdateCheck,
    SettingsFlag_HideQuietJoins,
    SettingsFlag_ShowChatActivity,
};

std::u16string TrackText(const TrackInfo& track) {
    return track.text1 + u" - " + track.text2;
}

} // namespace

std::u16string ProgramTitle() {
    return u"Vantri v" + Utf8ToUtf16(FormatProgramVersion(kProgramVersion));
}

MainWindow::MainWindow(MyAppContext* appContext, std::unique_ptr<platform::TrayIcon> trayBackend)
    : appContext(appContext), trayBackend_(std::move(trayBackend)) {
    if (appContext)
        appContext->mainWindow = this;
}

MainWindow::~MainWindow() {
    // The exit: where the show was left.
    TakeListening();
    SaveListening();
    trackList.reset();
    if (trayIcon)
        trayIcon->Remove();
    trayIcon.reset();
    if (appContext && appContext->mainWindow == this)
        appContext->mainWindow = nullptr;
}

void MainWindow::OnCreate() {
    // The palette is chosen before any control paints.
    ApplyContrast();
    trayIcon = std::make_unique<MyTrayIcon>(appContext->instance, window, std::move(trayBackend_));
    trayIcon->LoadIcon1();
    trayIcon->MakeRecord1();
    trayIcon->Add();

    auto play = std::make_unique<MyPlayControlPanel>(windowContext, appContext);
    play->Create(windowContext, 0, height - kPlayControlHeight, width, kPlayControlHeight);
    // Tab reaches the play controls after the tabs and the page above them.
    play->tabOrder = 1;
    playControlPanel = AddChild(std::move(play));
    auto info = std::make_unique<MyInfoTabPanel>(windowContext, appContext);
    info->Create(windowContext, 0, 0, width, height - kPlayControlHeight);
    infoTabPanel = AddChild(std::move(info));

    // The controls' callbacks.
    auto wire = [this](MyControlBase* control) {
        if (control)
            control->callbackTarget = this;
        return control != nullptr;
    };
    MyPlayControlPanel& p = *playControlPanel;
    if (wire(p.timeTextBar))
        p.timeTextBar->LClickCallback = &MainWindow::OnTimeTextClicked;
    if (wire(p.statusTextBar))
        p.statusTextBar->LClickCallback = &MainWindow::OnStatusTextClicked;
    if (wire(p.volumeBar))
        p.volumeBar->VolumeChangedCallback = &MainWindow::OnVolumeChanged;
    if (wire(p.muteButton))
        p.muteButton->MuteChangedCallback = &MainWindow::OnMuteChanged;
    if (wire(p.posBar)) {
        p.posBar->PosReleasedCallback = &MainWindow::OnPositionReleased;
        p.posBar->PosChangedCallback = &MainWindow::OnPositionChanged;
    }
    const MyCallback<std::int32_t> buttonCallbacks[4] = {
        &MainWindow::OnPreviousClicked, &MainWindow::OnPauseClicked, &MainWindow::OnPlayClicked,
        &MainWindow::OnNextClicked};
    for (int kind = 0; kind < 4; ++kind)
        if (wire(p.playButtons[kind]))
            p.playButtons[kind]->LClickCallback = buttonCallbacks[kind];
    MyInfoTabPanel& t = *infoTabPanel;
    if (wire(t.stationsTab))
        t.stationsTab->LClickCallback = &MainWindow::OnStationsTabClicked;
    if (wire(t.settingsTab))
        t.settingsTab->LClickCallback = &MainWindow::OnSettingsTabClicked;
    if (wire(t.aboutTab))
        t.aboutTab->LClickCallback = &MainWindow::OnAboutTabClicked;
    if (wire(t.stationPage))
        t.stationPage->PlayStreamCallback = &MainWindow::OnStreamChosen;
    if (t.stationPage) {
        t.stationPage->PlayMomentCallback = &MainWindow::OnMomentChosen;
        t.stationPage->NoteWrittenCallback = &MainWindow::OnMomentNoteWritten;
    }

    // The settings boxes show the options.
    MySettings* settings = appContext->settings;
    if (t.settingsPage) {
        for (int n = 0; n < MySettingsPanel::kBoxCount; ++n) {
            MySettingsPanelButton* box = t.settingsPage->buttons[n];
            if (!wire(box))
                continue;
            box->controlId = n + 1;
            box->LClickCallback = &MainWindow::OnSettingsBoxClicked;
            const bool bit = settings && settings->HasFlag(kBoxFlags[n]);
            const bool ticked = n == 5 ? !bit : bit;
            if (box->ticked != ticked) {
                box->ticked = ticked;
                box->Redraw();
            }
        }
    }
    if (t.chatPage && t.chatPage->listBox)
        t.chatPage->listBox->SetShowBeyond(settings &&
                                           settings->HasFlag(SettingsFlag_ShowChatBeyondPlayPosition));
    if (t.chatPage)
        t.chatPage->SetHideQuietJoins(settings && settings->HasFlag(SettingsFlag_HideQuietJoins));
    if (t.chatPage) {
        t.chatPage->searchTarget = this;
        t.chatPage->SearchPlayCallback = &MainWindow::PlayFromChatTime;
    }
    if (t.chatPage && t.chatPage->listBox) {
        t.chatPage->listBox->timeTarget = this;
        t.chatPage->listBox->TimeClickCallback = &MainWindow::OnChatTimeClicked;
    }
    if (p.posBar)
        p.posBar->showChatActivity = settings && settings->HasFlag(SettingsFlag_ShowChatActivity);
    if (settings) {
        chatOffsets = MyChatOffsets(settings->path);
        moments = MyMoments(settings->path);
        recentShows = MyRecentShows(settings->path);
        playSpeeds = MyPlaySpeeds(settings->path);
    }
    if (t.stationPage) {
        t.stationPage->moments = &moments.moments;
        t.stationPage->recentShows = &recentShows.shows;
        if (!moments.moments.empty() || !recentShows.shows.empty())
            t.stationPage->RebuildList();
    }
    if (wire(p.speedTextBar))
        p.speedTextBar->LClickCallback = &MainWindow::OnSpeedClicked;

    // Resume: the saved position is used only when no link was given.
    if (settings && settings->HasFlag(SettingsFlag_ResumePlaying))
        appContext->startLink.SetIfNoStation(
            MyLinkValue{settings->lastStationId, settings->lastStreamId, settings->lastSecond});

    Redraw();

    if (MyMediaHandler* media = appContext->mediaHandler) {
        media->SetMute(settings && settings->HasFlag(SettingsFlag_Muted));
        media->SetVolume(settings ? settings->volume : MySettings::kDefaultVolume, 0.0f);
        if (settings && settings->HasFlag(SettingsFlag_LevelLoudness))
            media->SetLoudnessLevelling(true);
    }
    if (MyNetworkHandler* network = appContext->networkHandler) {
        network->GetStationsConnectionData();
        if (!settings || !settings->HasFlag(SettingsFlag_NoUpdateCheck))
            network->GetApplicationUpdateInfo();
    }
    mediaControls = std::make_unique<MediaControlsBridge>(*this);
    CheckLinkSchemeAtStart(appContext);
}

void MainWindow::OnBoundsChanged(const RECT&) {
    if (playControlPanel)
        playControlPanel->SetBounds(RECT{0, height - kPlayControlHeight, width, height});
    if (infoTabPanel)
        infoTabPanel->SetBounds(RECT{0, 0, width, height - kPlayControlHeight});
}

void MainWindow::HandleCallbackMessage(const MyOwnerWindowMessageBase& message) {
    using C = MyCallbacks;
    if (const auto* m = MessageAs<C::MyMainWindowMessage_PlayEventCallback>(message))
        OnPlayEvent(m->event);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_PlayPosCallback>(message))
        OnPlayPos(m->position);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_StreamInfoCallback>(message))
        OnStreamInfo(m->station, m->stream, m->trackList);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_StreamChatCallback>(message))
        OnStreamChat(m->stream, m->chatRows);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_NewApplicationVersionCallback>(message))
        OnNewApplicationVersion(m->version);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_StationInfoCallback>(message))
        OnStationInfo(m->station);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_KeepProgressCallback>(message))
        OnKeepProgress(m->stationId, m->streamId, m->percent);
    else if (const auto* m = MessageAs<C::MyMainWindowMessage_TrackSearchCallback>(message)) {
        if (m->results && infoTabPanel && infoTabPanel->stationPage)
            infoTabPanel->stationPage->OnServerSearchResults(*m->results);
    }
    // A playback failure needs nothing here: its error box has told the user.
    if (mediaControls)
        mediaControls->Update();
}

void MainWindow::OnPlayEvent(std::int32_t event) {
    if (event < 0 || event > 2)
        return;
    const std::int32_t states[3] = {1, 0, 2};
    playState = states[event];
    if (!playControlPanel)
        return;
    MyPlayControlPanel& p = *playControlPanel;
    auto set = [](MyControlBase* control, bool& field, bool value) {
        if (control && field != value) {
            field = value;
            control->Redraw();
        }
    };
    if (event != 2 && p.posBar)
        set(p.posBar, p.posBar->enabled, event == 0);
    if (p.playButtons[2])
        set(p.playButtons[2], p.playButtons[2]->lit, event == 0);
    if (p.playButtons[1])
        set(p.playButtons[1], p.playButtons[1]->lit, event == 2);
    // Paused or stopped: where the show was left.
    if (event != 0)
        NoteListening(true);
}

void MainWindow::OnPlayPos(float position) {
    playPosition = position;
    StepSleepTimer();
    if (!currentStream || !trackList)
        return;
    const std::int32_t second = PlaySecondOf(position, currentStream->duration);
    if (tracker.TakeSecond(second)) {
        MySettings* settings = appContext->settings;
        if (settings && settings->HasFlag(SettingsFlag_ResumePlaying)) {
            settings->lastStationId = stationId;
            settings->lastStreamId = streamId;
            settings->lastSecond = second;
            SaveSettings();
        }
        secondOfShow_ = true;
        if (playState == 1)
            ++heardSeconds_;
        ++unsavedSeconds_;
        NoteListening(unsavedSeconds_ >= kSecondsBetweenSaves);
        if (tracker.UpdateTrack(trackList.get())) {
            SetStatusText(TrackText((*trackList)[static_cast<std::size_t>(trackIndex)]));
            MyStreamInfoPanel* tracks = infoTabPanel ? infoTabPanel->tracksPage : nullptr;
            if (tracks && tracks->currentTrack != trackIndex) {
                tracks->currentTrack = trackIndex;
                if (tracks->listBox)
                    tracks->listBox->SelectRow(trackIndex);
            }
        }
        UpdateChat(second);
        if (!playControlPanel || !playControlPanel->posBar || !playControlPanel->posBar->dragging)
            SetTimeText(FormatTime(second));
    }
    if (playControlPanel && playControlPanel->posBar && !playControlPanel->posBar->dragging)
        playControlPanel->posBar->SetPosition(position);
}

void MainWindow::OnStreamInfo(const StationInfoData* station, const StreamInfoData* stream,
                              const TrackInfoList* tracks) {
    if (!station || !stream || station->stationId != stationId || stream->streamId != streamId)
        return;
    // Another show: where the one before was left. The play second is still that show's.
    if (stream != currentStream) {
        NoteListening(true);
        heardSeconds_ = 0;
        secondOfShow_ = false;
        listenedShow_ = {stream->stationId, stream->streamId};
    }
    trackList.reset();
    // Times written in the chat link to seconds of this show, up to its end.
    if (infoTabPanel && infoTabPanel->chatPage && infoTabPanel->chatPage->listBox)
        infoTabPanel->chatPage->listBox->lastSecond =
            static_cast<std::int32_t>(std::min<std::uint32_t>(stream->duration, INT32_MAX));
    if (tracks) {
        const bool hide =
            appContext->settings && appContext->settings->HasFlag(SettingsFlag_HideConversations);
        trackList = std::make_unique<TrackInfoList>();
        trackList->reserve(tracks->size());
        for (const TrackInfo& track : *tracks)
            if (!hide || track.trackKind != 4)
                trackList->push_back(track);
    }
    currentStation = station;
    currentStream = stream;
    ApplyShowSpeed();
    if (playControlPanel && playControlPanel->posBar) {
        MyPlayPosBar* bar = playControlPanel->posBar;
        bar->markStream = stream;
        bar->marks = trackList.get();
        bar->DropCache();
        bar->Redraw();
    }
    if (window)
        window->SetTitle(station->name + u" - " +
                         FormatDateTime(static_cast<std::uint32_t>(stream->startTime)) + u" - " +
                         stream->text1 + u" - " + ProgramTitle());
    tracker.ForgetEntries();
    if (infoTabPanel && infoTabPanel->tracksPage)
        infoTabPanel->tracksPage->SetTracks(trackList.get(), stream);
    ShowChatExtras();
}

void MainWindow::OnStreamChat(const StreamInfoData* stream, const StreamChatRowList* rows) {
    if (!stream || stream->stationId != stationId || stream->streamId != streamId)
        return;
    chatRows = rows;
    chatRowsStream_ = stream;
    if (infoTabPanel && infoTabPanel->chatPage)
        infoTabPanel->chatPage->SetChatRows(rows);
    ShowChatExtras();
}

void MainWindow::OnStationInfo(const StationInfoData* station) {
    if (!station)
        return;
    if (infoTabPanel && infoTabPanel->stationPage)
        infoTabPanel->stationPage->AddStation(station);
    if (const auto link = appContext->startLink.TakeForStation(station->stationId)) {
        stationId = link->stationId;
        streamId = link->streamId;
        ApplyShowSpeed();
        if (appContext->mediaHandler)
            appContext->mediaHandler->StartPlayStream(link->stationId, link->streamId,
                                                      static_cast<std::uint32_t>(link->seconds));
    }
}

void MainWindow::OnNewApplicationVersion(std::uint32_t version) {
    AskForUpdate(appContext, version);
}

std::optional<FoundEntry> MainWindow::FindTrackAt(std::int32_t second) const {
    return currentStream ? ::FindTrackAt(trackList.get(), second) : std::nullopt;
}

std::u16string MainWindow::FormatTime(std::int32_t seconds) const {
    const std::int64_t duration = currentStream ? currentStream->duration : 0;
    switch (timeMode) {
    case 1:
        return FormatDuration(static_cast<std::int64_t>(seconds) - duration);
    case 2:
        return Utf8ToUtf16(std::to_string(seconds));
    default:
        return FormatDuration(seconds);
    }
}

void MainWindow::SetTimeText(const std::u16string& text) {
    if (playControlPanel && playControlPanel->timeTextBar)
        playControlPanel->timeTextBar->SetTextBarText(text, true);
}

void MainWindow::SetStatusText(const std::u16string& text) {
    if (playControlPanel && playControlPanel->statusTextBar)
        playControlPanel->statusTextBar->SetTextBarText(text, false);
}

void MainWindow::SaveSettings() {
    if (appContext->settings)
        appContext->settings->Save();
}

void MainWindow::SendSetPlayPos(float fraction) {
    if (!std::isfinite(fraction))
        return;
    if (appContext->mediaHandler)
        appContext->mediaHandler->SetPlayPos(fraction < 0.0f ? 0.0f : fraction);
}

void MainWindow::OnTimeTextClicked(std::int32_t) {
    if (appContext->debug)
        timeMode = (timeMode + 1) % 3;
    else
        timeMode = timeMode == 0 ? 1 : 0;
    if (currentStream)
        SetTimeText(FormatTime(WholeSecondOf(playPosition * static_cast<float>(currentStream->duration))));
    else
        SetTimeText(u"");
}

void MainWindow::OnStatusTextClicked(std::int32_t) {
    ToggleInfoView(InfoView_Tracks);
}

void MainWindow::OnVolumeChanged(float value) {
    if (appContext->settings) {
        appContext->settings->volume = value;
        SaveSettings();
    }
    if (appContext->mediaHandler)
        appContext->mediaHandler->SetVolume(value, 0.0f);
    if (mediaControls)
        mediaControls->Update();
}

void MainWindow::OnMuteChanged(bool muted) {
    if (appContext->settings) {
        appContext->settings->SetFlag(SettingsFlag_Muted, muted);
        SaveSettings();
    }
    if (appContext->mediaHandler)
        appContext->mediaHandler->SetMute(muted);
}

void MainWindow::OnPositionReleased(float fraction) {
    SendSetPlayPos(fraction);
}

void MainWindow::OnPositionChanged(float fraction) {
    if (!currentStream) {
        SetTimeText(u"");
        SetStatusText(u"");
        return;
    }
    const std::int32_t s = WholeSecondOf(fraction * static_cast<float>(currentStream->duration));
    SetTimeText(FormatTime(s));
    const auto found = FindTrackAt(s);
    SetStatusText(found ? TrackText((*trackList)[static_cast<std::size_t>(found->index)]) : u"");
}

void MainWindow::PreviousTrack() {
    const auto to = tracker.PreviousTrackPosition(currentStream, trackList.get());
    if (!to)
        return;
    SendSetPlayPos(*to);
    // Without a stream the slider goes back to the start at once.
    if (!currentStream && playControlPanel && playControlPanel->posBar)
        playControlPanel->posBar->SetPosition(0.0f);
}

void MainWindow::NextTrack() {
    if (const auto to = tracker.NextTrackPosition(currentStream, trackList.get()))
        SendSetPlayPos(*to);
}

void MainWindow::OnPreviousClicked(std::int32_t) {
    PreviousTrack();
}
void MainWindow::OnPauseClicked(std::int32_t) {
    if (appContext->mediaHandler)
        appContext->mediaHandler->Pause();
}
void MainWindow::OnPlayClicked(std::int32_t) {
    if (appContext->mediaHandler)
        appContext->mediaHandler->Continue();
}
void MainWindow::OnNextClicked(std::int32_t) {
    NextTrack();
}
void MainWindow::OnStationsTabClicked(std::int32_t) {
    ToggleInfoView(InfoView_Stations);
}
void MainWindow::OnSettingsTabClicked(std::int32_t) {
    ToggleInfoView(InfoView_Settings);
}
void MainWindow::OnAboutTabClicked(std::int32_t) {
    ToggleInfoView(InfoView_About);
}

void MainWindow::OnStreamChosen(std::int32_t station, std::int32_t stream) {
    stationId = station;
    streamId = stream;
    ApplyShowSpeed();
}

void MainWindow::OnSettingsBoxClicked(std::int32_t id) {
    if (id < 1 || id > MySettingsPanel::kBoxCount || !infoTabPanel || !infoTabPanel->settingsPage)
        return;
    MySettingsPanelButton* box = infoTabPanel->settingsPage->buttons[static_cast<std::size_t>(id - 1)];
    if (!box)
        return;
    box->ticked = !box->ticked;
    box->Redraw();
    if (MySettings* settings = appContext->settings) {
        const std::uint32_t flag = kBoxFlags[id - 1];
        settings->SetFlag(flag, !settings->HasFlag(flag));
        SaveSettings();
    }
    if (id == 1 && infoTabPanel->chatPage && infoTabPanel->chatPage->listBox)
        infoTabPanel->chatPage->listBox->SetShowBeyond(box->ticked);
    // The chat's join filter and the activity strip take effect at once.
    if (id == 7 && infoTabPanel->chatPage)
        infoTabPanel->chatPage->SetHideQuietJoins(box->ticked);
    if (id == 8 && playControlPanel && playControlPanel->posBar) {
        MyPlayPosBar* bar = playControlPanel->posBar;
        bar->showChatActivity = box->ticked;
        bar->activityRows = CurrentShowChat();
        bar->DropCache();
        bar->Redraw();
    }
}

void MainWindow::ToggleInfoView(std::int32_t view) {
    if (!infoTabPanel)
        return;
    MyInfoTabPanel& t = *infoTabPanel;
    MyControlBase* pages[5] = {nullptr, t.stationPage, t.settingsPage, t.aboutPage, t.tracksPage};
    MyTabButton* tabs[5] = {nullptr, t.stationsTab, t.settingsTab, t.aboutTab, nullptr};
    if (view < 1 || view > 4)
        return;
    auto showPage = [](MyControlBase* page, bool shown) {
        if (!page || page->visible == shown)
            return;
        page->visible = shown;
        if (shown)
            page->Redraw();
        else if (page->parent)
            page->parent->Redraw();
    };
    auto selectTab = [](MyTabButton* tab, bool selected) {
        if (!tab || tab->selected == selected)
            return;
        tab->selected = selected;
        tab->Redraw();
    };
    if (infoView == view) {
        showPage(pages[view], false);
        selectTab(tabs[view], false);
        infoView = InfoView_Chat;
        return;
    }
    for (int other = 1; other <= 4; ++other)
        if (other != view)
            showPage(pages[other], false);
    showPage(pages[view], true);
    for (int other = 1; other <= 3; ++other)
        selectTab(tabs[other], other == view);
    infoView = view;
}

void MainWindow::PlayLink(std::int32_t station, std::int32_t stream, std::int32_t seconds) {
    stationId = station;
    streamId = stream;
    ApplyShowSpeed();
    if (appContext->mediaHandler)
        appContext->mediaHandler->StartPlayStream(station, stream, static_cast<std::uint32_t>(seconds));
}

void MainWindow::PlayClipboardLink() {
    std::u16string text;
    if (!instance || !instance->GetClipboardText(text))
        return;
    if (text.size() >= kLinkBufferUnits)
        return;
    if (const auto link = ParseLink(text))
        PlayLink(link->stationId, link->streamId, link->seconds);
}

void MainWindow::CopyToClipboard(const std::u16string& text) {
    if (instance)
        instance->SetClipboardText(text);
}

void MainWindow::CopyCurrentPositionLink() {
    CopyToClipboard(Utf8ToUtf16(WebLinkBase()) + MakeTrackLink(stationId, streamId, playSecond));
}

void MainWindow::CopyMenuLink(std::uint32_t command) {
    const MyLinkValue link = appContext->menuLink.Get();
    switch (command) {
    case kCommand_CopyTrackUri:
        CopyToClipboard(std::u16string(kLinkScheme) +
                        MakeTrackLink(link.stationId, link.streamId, link.seconds));
        break;
    case kCommand_CopyTrackWebLink:
        CopyToClipboard(Utf8ToUtf16(WebLinkBase()) +
                        MakeTrackLink(link.stationId, link.streamId, link.seconds));
        break;
    case kCommand_CopyStreamUri:
    case kCommand_CopyStreamUri2:
        CopyToClipboard(std::u16string(kLinkScheme) + MakeStreamLink(link.stationId, link.streamId));
        break;
    case kCommand_CopyStreamWebLink:
    case kCommand_CopyStreamWebLink2:
        CopyToClipboard(Utf8ToUtf16(WebLinkBase()) + MakeStreamLink(link.stationId, link.streamId));
        break;
    default:
        break;
    }
}

void MainWindow::MinimizeOnClose() {
    if (!window)
        return;
    if (trayIcon && trayIcon->shown()) {
        window->Show(false);
        trayIcon->Balloon();
    } else {
        window->Minimize();
    }
}

bool MainWindow::HandleCommand(std::uint32_t command) {
    switch (command) {
    case kCommand_PlayClipboard:
        PlayClipboardLink();
        return true;
    case kCommand_CopyPosition:
    case kCommand_CopyPosition2:
        CopyCurrentPositionLink();
        return true;
    case kCommand_MediaPlayPause:
        if (appContext->mediaHandler) {
            if (playState == 1)
                appContext->mediaHandler->Pause();
            else if (playState == 2)
                appContext->mediaHandler->Continue();
        }
        return true;
    case kCommand_MediaStop:
        if (appContext->mediaHandler)
            appContext->mediaHandler->Pause();
        return true;
    case kCommand_MediaNext:
        NextTrack();
        return true;
    case kCommand_MediaPrevious:
        PreviousTrack();
        return true;
    case kCommand_SkipBack:
        SeekBy(-kSkipBackSeconds);
        return true;
    case kCommand_SkipForward:
        SeekBy(kSkipForwardSeconds);
        return true;
    case kCommand_SpeedDown:
        SetPlaySpeed(playSpeed - 1);
        return true;
    case kCommand_SpeedUp:
        SetPlaySpeed(playSpeed + 1);
        return true;
    case kCommand_SleepOff:
    case kCommand_Sleep15:
    case kCommand_Sleep30:
    case kCommand_Sleep60:
    case kCommand_SleepEndOfTrack:
    case kCommand_SleepNext:
        SleepCommand(command);
        return true;
    case kCommand_LevelLoudness:
        ToggleLoudnessLevelling();
        return true;
    case kCommand_HighContrast:
        ToggleHighContrast();
        return true;
    case kCommand_KeepOffline:
        KeepOffline();
        return true;
    case kCommand_ForgetOffline:
        ForgetOffline();
        return true;
    case kCommand_ToggleStations:
        ToggleInfoView(InfoView_Stations);
        return true;
    case kCommand_ToggleTracks:
        ToggleInfoView(InfoView_Tracks);
        return true;
    case kCommand_ToggleSettings:
        ToggleInfoView(InfoView_Settings);
        return true;
    case kCommand_CopyTrackUri:
    case kCommand_CopyTrackWebLink:
    case kCommand_CopyStreamUri:
    case kCommand_CopyStreamUri2:
    case kCommand_CopyStreamWebLink:
    case kCommand_CopyStreamWebLink2:
        CopyMenuLink(command);
        return true;
    case kCommand_ChatEarlier:
        ChangeChatOffset(-1, false);
        return true;
    case kCommand_ChatLater:
        ChangeChatOffset(1, false);
        return true;
    case kCommand_ChatMuchEarlier:
        ChangeChatOffset(-10, false);
        return true;
    case kCommand_ChatMuchLater:
        ChangeChatOffset(10, false);
        return true;
    case kCommand_ChatSyncReset:
        ChangeChatOffset(0, true);
        return true;
    case kCommand_ChatInStepHere:
        PinChatHere();
        return true;
    case kCommand_ChatForgetSyncPoints:
        ForgetChatPins();
        return true;
    case kCommand_SaveMoment:
        SaveMoment();
        return true;
    case kCommand_CopyMomentUri:
    case kCommand_CopyMomentWebLink:
    case kCommand_ForgetMoment:
    case kCommand_WriteMomentNote:
        HandleMomentCommand(command);
        return true;
    default:
        if (command >= kCommand_SpeedBase + MyPlaySpeeds::kMinTenths &&
            command <= kCommand_SpeedBase + MyPlaySpeeds::kMaxTenths) {
            SetPlaySpeed(static_cast<std::int32_t>(command - kCommand_SpeedBase));
            return true;
        }
        return false;
    }
}
