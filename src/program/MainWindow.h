#pragma once
// The root control of the program's window: it lays out the play control panel along the bottom and the
// info tab panel above it, keeps the notification-area icon, and is the user-interface side of what is
// playing: the current station and stream, a filtered copy of the stream's track list, its chat rows, and
// the track and chat row the play position is in. It handles the worker threads' callback messages, the
// controls' callbacks, the accelerator keys, the copy-link menus and the clipboard. User-interface
// thread only.

#include "app/ChatOffsets.h"
#include "app/HighContrast.h"
#include "app/Moments.h"
#include "app/MyCallbacks.h"
#include "app/PlaySpeeds.h"
#include "app/RecentShows.h"
#include "app/SleepTimer.h"
#include "panels/PlayPositionTracker.h"
#include "program/MediaControlsBridge.h"
#include "program/MyTrayIcon.h"
#include "records/CatalogueRecords.h"
#include "ui/MyWindowBase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct MyAppContext;
class MyPlayControlPanel;
class MyInfoTabPanel;

class MainWindow : public MyWindowBase {
public:
    // Height of the play control panel, pixels.
    static constexpr std::int32_t kPlayControlHeight = 72;
    // The skips of Ctrl+Left and Ctrl+Right, seconds.
    static constexpr double kSkipBackSeconds = 10;
    static constexpr double kSkipForwardSeconds = 30;

    enum InfoView : std::int32_t {
        InfoView_Chat = 0,
        InfoView_Stations = 1,
        InfoView_Settings = 2,
        InfoView_About = 3,
        InfoView_Tracks = 4,
    };

    // Stores itself in the context's `mainWindow`. `trayIcon` stands for the desktop's notification area
    // (null: the system's).
    explicit MainWindow(MyAppContext* appContext, std::unique_ptr<platform::TrayIcon> trayBackend = nullptr);
    ~MainWindow() override;

    void OnCreate() override;
    void Paint() override {}
    void OnBoundsChanged(const RECT& oldRect) override;

    // One callback message of a worker thread; the caller deletes it.
    void HandleCallbackMessage(const MyOwnerWindowMessageBase& message);
    // Accelerator and menu commands routed here by the owner window; false when not one of this window's.
    bool HandleCommand(std::uint32_t command);

    void OnPlayEvent(std::int32_t event);
    void OnPlayPos(float position);
    void OnStreamInfo(const StationInfoData* station, const StreamInfoData* stream,
                      const TrackInfoList* tracks);
    void OnStreamChat(const StreamInfoData* stream, const StreamChatRowList* rows);
    void OnStationInfo(const StationInfoData* station);
    void OnNewApplicationVersion(std::uint32_t version);

    void ToggleInfoView(std::int32_t view);
    void PreviousTrack();
    void NextTrack();
    // Moves the play position by `seconds` of the show (negative: back), kept within the show; the
    // position shown moves at once, so that skips in quick succession add up.
    void SeekBy(double seconds);
    void PlayLink(std::int32_t station, std::int32_t stream, std::int32_t seconds);
    void PlayClipboardLink();
    void CopyCurrentPositionLink();
    // Copy-link menu commands 40003, 40004, 40006 to 40009 for the context's `menuLink`.
    void CopyMenuLink(std::uint32_t command);
    void CopyToClipboard(const std::u16string& text);
    // Closing with minimise-on-close: hides the window behind the notification icon with the balloon, or,
    // without a notification area, minimises it to the task bar so that it can always be found again.
    void MinimizeOnClose();

    // The track of the current stream at `second`; none without a stream or a track list.
    std::optional<FoundEntry> FindTrackAt(std::int32_t second) const;
    // `seconds` in the format of `timeMode` for the current stream.
    std::u16string FormatTime(std::int32_t seconds) const;

    // Control callbacks.
    void OnTimeTextClicked(std::int32_t id);
    void OnStatusTextClicked(std::int32_t id);
    void OnVolumeChanged(float value);
    void OnMuteChanged(bool muted);
    void OnPositionReleased(float fraction);
    void OnPositionChanged(float fraction);
    void OnPreviousClicked(std::int32_t id);
    void OnPauseClicked(std::int32_t id);
    void OnPlayClicked(std::int32_t id);
    void OnNextClicked(std::int32_t id);
    void OnStationsTabClicked(std::int32_t id);
    void OnSettingsTabClicked(std::int32_t id);
    void OnAboutTabClicked(std::int32_t id);
    void OnSettingsBoxClicked(std::int32_t id);
    void OnStreamChosen(std::int32_t station, std::int32_t stream);

    // The playback speed of the show playing, in tenths: sent to the media thread, shown on the play
    // panel and kept for the show.
    void SetPlaySpeed(std::int32_t tenths);
    void OnSpeedClicked(std::int32_t id);
    // The sleep timer commands (kCommand_SleepOff to kCommand_SleepNext).
    void SleepCommand(std::uint32_t command);
    // Loudness levelling on or off, saved in the settings.
    void ToggleLoudnessLevelling();
    // High contrast (MainWindowContrast.cpp): ChooseContrast's answer for the environment, the desktop
    // (read once, on the first need, unless the environment decides) and the option, made the window's
    // palette. ToggleHighContrast flips the option, saves it and applies the choice again.
    void ApplyContrast();
    void ToggleHighContrast();
    // The desktop said its setting changed: it is read again and the choice applied.
    void OnDesktopContrastChanged();
    ContrastChoice contrast;
    std::optional<platform::DesktopContrast> desktopContrast;
    // Menu 114's offline commands for the show of the copy-menu link, and how far keeping one has come
    // (MainWindowOffline.cpp).
    void KeepOffline();
    void ForgetOffline();
    void OnKeepProgress(std::int32_t stationId, std::int32_t streamId, std::int32_t percent);

    // The chat sync offset of the current show, seconds the chat is shown later than the recording.
    std::int32_t ChatOffset() const { return chatOffsets.Get(stationId, streamId); }
    // The current show's chat second at play second `second`: along its sync points (the user's pins, else
    // the station's), less the offset.
    std::int32_t ChatSecondFor(std::int32_t second) const;
    // "Chat is in step here": pins the chat second shown now to the play second now, the offset folded
    // in; and forgetting the show's pins.
    void PinChatHere();
    void ForgetChatPins();
    // Moves the current show's chat offset by `delta` seconds (or back to 0 when `reset`), saves it, and
    // shows the chat of the new chat second at once.
    void ChangeChatOffset(std::int32_t delta, bool reset);
    // Ctrl+B: keeps the moment playing (the second, the track, the chat of the seconds before) and shows
    // it in the station chooser; a chosen moment plays; the moment menu's commands.
    void SaveMoment();
    void OnMomentChosen(std::int32_t station, std::int32_t stream, std::int32_t second);
    // A click on a time written in the chat: plays from that second of the show.
    void OnChatTimeClicked(std::int32_t second, std::int32_t id);
    void HandleMomentCommand(std::uint32_t command);
    // Enter in a moment's note input: the note is kept.
    void OnMomentNoteWritten(std::int32_t index);
    // Records where the show playing is, for "Continue listening": kept in memory at every new second,
    // written when `save` (a pause, another show, the exit) or when enough seconds went unsaved. A show
    // enters the list once kHeardBeforeRecorded seconds of it were heard.
    void NoteListening(bool save);
    static constexpr std::int32_t kHeardBeforeRecorded = 10; // seconds played
    static constexpr std::int32_t kSecondsBetweenSaves = 15; // new play seconds
    // Keys no focused control took: Ctrl+F opens the chat's search, F3 and Shift+F3 step through its
    // matches.
    bool OnKeyDown(int virtualKey) override;
    // The chat's search (the chat shows first, over any page): open it (0), the next (1) or the
    // previous (-1) match.
    void SearchChat(std::int32_t step);
    // Enter in the chat's search: plays from the first second whose chat reaches `chatSecond`.
    void PlayFromChatTime(std::int32_t chatSecond, std::int32_t id);

    MyAppContext* appContext;
    std::unique_ptr<MyTrayIcon> trayIcon;
    // The desktop's media controls; created in OnCreate.
    std::unique_ptr<MediaControlsBridge> mediaControls;
    std::int32_t playState = 0;
    float playPosition = 0;
    // The second, track and chat row the play position is in, under the names the window uses for them.
    MyPlayPositionTracker tracker;
    std::int32_t& playSecond = tracker.playSecond;
    std::int32_t& trackIndex = tracker.trackIndex;
    std::int32_t& trackStart = tracker.trackStart;
    std::int32_t& trackEnd = tracker.trackEnd;
    std::int32_t& chatIndex = tracker.chatIndex;
    std::int32_t& chatTime = tracker.chatTime;
    std::int32_t& chatNextTime = tracker.chatNextTime;
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    const StreamInfoData* currentStream = nullptr;
    std::unique_ptr<TrackInfoList> trackList;
    const StationInfoData* currentStation = nullptr;
    bool keepingShown_ = false; // the status text shows a keep's progress
    const StreamChatRowList* chatRows = nullptr;
    std::int32_t infoView = InfoView_Chat;
    std::int32_t timeMode = 0;
    MyPlayControlPanel* playControlPanel = nullptr;
    MyInfoTabPanel* infoTabPanel = nullptr;
    MyChatOffsets chatOffsets;
    MyMoments moments;
    MyRecentShows recentShows;
    MyPlaySpeeds playSpeeds;
    std::int32_t playSpeed = MyPlaySpeeds::kNormalTenths; // what the media thread was last told
    MySleepTimer sleepTimer;
    // The sleep timer's clock; tests give their own.
    std::function<MySleepTimer::Clock::time_point()> sleepClock = [] { return MySleepTimer::Clock::now(); };
    float sleepGain = 1.0f; // the fraction of the volume the fade last sent
    // The track the timer waits for the end of, as seconds of the show: the one playing when it was set,
    // or the one a seek went to.
    std::pair<double, double> sleepTrack{0, 0};

private:
    // The kept speed of the show now chosen goes to the media thread when it differs from the last sent.
    void ApplyShowSpeed();
    void ShowPlaySpeed();
    // One step of the sleep timer at a new play position: fades, and pauses and saves the position when
    // the time is up.
    void StepSleepTimer();
    void SendSleepGain(float gain);
    // The start and end of the track (the show when it has none) at the play position.
    std::pair<double, double> TrackAroundPosition() const;
    // Finds the chat row of play second `second` less the chat offset and shows it.
    void UpdateChat(std::int32_t second);
    // The chat's offset badge and the position bar's activity strip for the current show.
    void ShowChatExtras();
    void SendSetPlayPos(float fraction);
    void SetTimeText(const std::u16string& text);
    void SetStatusText(const std::u16string& text);
    void SaveSettings();
    // Hands the moments to the station chooser and refills it.
    void ShowMoments();
    // Hands the shows listened to last to the station chooser and refills it.
    void ShowRecentShows();

    std::unique_ptr<platform::TrayIcon> trayBackend_;
    // The chat rows of the current show, null until they arrived (chatRows may still be the last show's).
    const StreamChatRowList* CurrentShowChat() const;

    // Seconds heard of the show playing since it began, and new seconds since the list was last written.
    std::int32_t heardSeconds_ = 0;
    std::int32_t unsavedSeconds_ = 0;
    // The list changed since it was last written.
    bool recentUnsaved_ = false;
    // A show joined the list or moved to its head since the station chooser last showed it.
    bool recentOrderChanged_ = false;
    // The play second is one of the show playing (not yet, right after another show began), and that
    // show's station and stream.
    bool secondOfShow_ = false;
    std::pair<std::int32_t, std::int32_t> listenedShow_{0, 0};
    // Records the show playing at the play second; answers what changed: nothing, its second (it heads
    // the list already), or the list's order (it joined the list or moved to its head).
    enum class ListeningChange { None, Second, Order };
    ListeningChange TakeListening();
    void SaveListening();

    // The stream whose chat `chatRows` is.
    const StreamInfoData* chatRowsStream_ = nullptr;
    // The show whose positions the chat was last given, to tell it when another show starts.
    std::pair<std::int32_t, std::int32_t> chatPositionShow_{0, 0};
};

// The window title while nothing plays: "Vantri v" and the program version (Vantri v0.19).
std::u16string ProgramTitle();
