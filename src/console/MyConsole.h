#pragma once
// The terminal front end: it stands where the main window stands. It handles the worker threads'
// callback messages the way the main window does (the start link, the current stream, the track and
// chat bookkeeping) and shows what the window would: "Now playing", each track and each chat line as
// playback reaches it, in the chat's colours on a terminal. With `events` it prints one line per callback
// instead (a playback failure shows as the error box before it). Keys: space pauses and continues, the arrow
// keys seek by 10 seconds, n and p go to the next and previous track, q quits.
//
// User-interface thread only, except ErrorBox, which any thread may call.

#include "app/MyMessageBase.h"
#include "console/ConsoleOptions.h"
#include "panels/PlayPositionTracker.h"
#include "records/CatalogueRecords.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

struct MyAppContext;

// What the console asks of the media thread (its sending operations).
class ConsoleMediaControl {
public:
    virtual ~ConsoleMediaControl() = default;
    virtual void StartPlayStream(std::int32_t stationId, std::int32_t streamId,
                                 std::uint32_t startSeconds) = 0;
    virtual void SetPlayPos(float position) = 0;
    virtual void Pause() = 0;
    virtual void Continue() = 0;
};

class MyConsole {
public:
    using Clock = std::chrono::steady_clock;
    // Writes one line of output (without its line break).
    using LineWriter = std::function<void(const std::string& line)>;

    // Without a link, the newest stream is chosen once no new station has arrived for this long.
    static constexpr std::chrono::milliseconds kStationQuietTime{500};
    static constexpr std::int32_t kSeekStepSeconds = 10;
    // With no station information this long after the start, the run ends as failed.
    static constexpr std::chrono::seconds kDirectoryTimeout{15};
    // Once the position is near the stream's end, the run ends when the rest can have played, and this
    // much later.
    static constexpr std::chrono::milliseconds kEndPlayOut{250};

    MyConsole(MyAppContext* context, const ConsoleOptions& options, ConsoleMediaControl* media,
              LineWriter write, bool colour);

    void HandleCallback(std::unique_ptr<MyOwnerWindowMessageBase> message, Clock::time_point now);
    // A key from platform::KeyboardInput (a character code or a TerminalKey).
    void HandleKey(int key);
    // Lets time-based decisions happen (choosing the newest stream).
    void Tick(Clock::time_point now);
    // An error box's text, shown as a line ("ErrorBox TEXT" with line breaks as \n in events mode). Only
    // shown: what the console does about a failure follows the media thread's PlaybackFailure callbacks,
    // whatever the boxes say. Those reports, repeated with no audio in between, end the run as failed (at
    // the next Tick); they print no line of their own, since their box has.
    void ErrorBox(const std::u16string& text);

    bool finished() const { return finished_; }
    // Finished without anything to play.
    bool failed() const { return failed_; }
    std::int32_t playState() const { return playState_; }
    const MyPlayPositionTracker& tracker() const { return tracker_; }

private:
    void OnPlayEvent(std::int32_t event);
    void OnPlayPos(float position);
    void OnPlaybackFailure(std::int32_t failure);
    void OnStreamInfo(const StationInfoData* station, const StreamInfoData* stream,
                      const TrackInfoList* trackList);
    void OnStreamChat(const StreamInfoData* stream, const StreamChatRowList* chatRows);
    void OnStationInfo(const StationInfoData* station, Clock::time_point now);
    void PlayLink(std::int32_t stationId, std::int32_t streamId, std::int32_t seconds);
    void PlayNewest(const StationInfoData* onlyStation);
    void SeekToSecond(std::int64_t second);
    void SeekToFraction(std::optional<float> fraction);
    void ShowChatUpTo(std::int32_t index);
    void Write(const std::string& line);
    // Ends the run as failed with `text` (the events mode's line is "ErrorBox " and `eventText`).
    void Fail(const std::string& text, const std::string& eventText);

    MyAppContext* context_;
    ConsoleOptions options_;
    ConsoleMediaControl* media_;
    LineWriter write_;
    bool colour_;
    std::mutex writeLock_; // error boxes may come from any thread

    std::map<std::int32_t, const StationInfoData*> stations_;
    std::optional<Clock::time_point> lastStationArrival_;
    bool streamChosen_ = false;

    std::int32_t playState_ = 0; // 0 stopped, 1 playing, 2 paused
    std::int32_t stationId_ = 0;
    std::int32_t streamId_ = 0;
    std::int32_t startSecond_ = 0; // where the current stream was started, for --seconds
    const StationInfoData* currentStation_ = nullptr;
    const StreamInfoData* currentStream_ = nullptr;
    const TrackInfoList* trackList_ = nullptr;
    const StreamChatRowList* chatRows_ = nullptr;
    bool nowPlayingShown_ = false;
    std::int32_t chatShown_ = -1; // index of the last chat row shown
    MyPlayPositionTracker tracker_;
    bool finished_ = false;
    bool failed_ = false;
    std::optional<Clock::time_point> firstTick_;
    // When the position came near the end of the stream; the run ends once the rest can have played.
    std::optional<Clock::time_point> endReached_;
    std::chrono::milliseconds endRemaining_{0}; // seconds of the stream left then, by the estimate
    // Reports in a row that the stream cannot go on playing (PlaybackFailure callbacks), cleared by every
    // position; a few in a row end the run, one could be a damaged block.
    int unplayable_ = 0;
    static constexpr int kUnplayableReports = 3;
};
