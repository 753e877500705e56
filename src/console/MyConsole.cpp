#include "console/MyConsole.h"

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/PlayEvent.h"
#include "panels/ChatLine.h"
#include "platform/Terminal.h"
#include "platform/Utf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Utf8(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

// A 24-bit colour escape for a 0x00BBGGRR colour.
std::string Coloured(const std::string& text, ColourRef colour) {
    char escape[32];
    std::snprintf(escape, sizeof escape, "\x1b[38;2;%u;%u;%um", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return escape + text + "\x1b[0m";
}

std::string CountOrNone(const void* list, std::size_t count) {
    return list ? std::to_string(count) : "none";
}

} // namespace

MyConsole::MyConsole(MyAppContext* context, const ConsoleOptions& options, ConsoleMediaControl* media,
                     LineWriter write, bool colour)
    : context_(context), options_(options), media_(media), write_(std::move(write)), colour_(colour) {
    if (options_.link)
        context_->startLink.Set(options_.link->stationId, options_.link->streamId, options_.link->seconds);
}

void MyConsole::Write(const std::string& line) {
    std::lock_guard guard(writeLock_);
    write_(line);
}

void MyConsole::ErrorBox(const std::u16string& text) {
    std::u16string oneLine;
    for (char16_t unit : text) {
        if (unit == u'\n')
            oneLine += u"\\n";
        else if (unit != u'\r')
            oneLine += unit;
    }
    Write((options_.events ? "ErrorBox " : "Error: ") + Utf8(oneLine));
}

void MyConsole::Fail(const std::string& text, const std::string& eventText) {
    Write(options_.events ? "ErrorBox " + eventText : text);
    failed_ = finished_ = true;
}

void MyConsole::HandleCallback(std::unique_ptr<MyOwnerWindowMessageBase> message, Clock::time_point now) {
    if (!message)
        return;
    using C = MyCallbacks;
    if (const auto* m = MessageAs<C::MyMainWindowMessage_PlayEventCallback>(*message)) {
        OnPlayEvent(m->event);
    } else if (const auto* m = MessageAs<C::MyMainWindowMessage_PlayPosCallback>(*message)) {
        OnPlayPos(m->position);
    } else if (const auto* m = MessageAs<C::MyMainWindowMessage_StreamInfoCallback>(*message)) {
        OnStreamInfo(m->station, m->stream, m->trackList);
    } else if (const auto* m = MessageAs<C::MyMainWindowMessage_StreamChatCallback>(*message)) {
        OnStreamChat(m->stream, m->chatRows);
    } else if (const auto* m = MessageAs<C::MyMainWindowMessage_NewApplicationVersionCallback>(*message)) {
        Write(options_.events ? "NewApplicationVersion " + std::to_string(m->version)
                              : "A new version is available: " + std::to_string(m->version));
    } else if (const auto* m = MessageAs<C::MyMainWindowMessage_StationInfoCallback>(*message)) {
        OnStationInfo(m->station, now);
    } else if (const auto* m = MessageAs<C::MyMainWindowMessage_PlaybackFailureCallback>(*message)) {
        OnPlaybackFailure(m->failure);
    }
}

void MyConsole::OnPlayEvent(std::int32_t event) {
    if (options_.events)
        Write("PlayEvent " + std::to_string(event));
    const std::int32_t before = playState_;
    switch (event) {
    case 0:
        playState_ = 1;
        break;
    case 1:
        playState_ = 0;
        break;
    case 2:
        playState_ = 2;
        break;
    default:
        return;
    }
    // The start itself shows as "Now playing"; only changes out of and into a pause are shown.
    if (!options_.events && (playState_ == 2 || before == 2) && playState_ != before)
        Write(playState_ == 2 ? "[paused]" : "[playing]");
}

void MyConsole::OnPlaybackFailure(std::int32_t failure) {
    // Its error box has been shown already; here it only counts towards giving up.
    switch (failure) {
    case PlaybackFailure_DecoderStart:
    case PlaybackFailure_NoAudioDevice:
        ++unplayable_;
        break;
    default:
        break;
    }
}

void MyConsole::OnPlayPos(float position) {
    unplayable_ = 0;
    if (options_.events) {
        char text[64];
        std::snprintf(text, sizeof text, "PlayPos %.6f", static_cast<double>(position));
        Write(text);
    }
    if (!currentStream_)
        return;
    const auto update = tracker_.OnPlayPos(position, *currentStream_, trackList_, chatRows_);
    if (!options_.events) {
        if (update.trackChanged && trackList_) {
            const TrackInfo& track = (*trackList_)[static_cast<std::size_t>(tracker_.trackIndex)];
            Write("Track " + Utf8(FormatDuration(track.start)) + "  " + Utf8(track.text1) + " - " +
                  Utf8(track.text2));
        }
        if (update.chatChanged)
            ShowChatUpTo(tracker_.chatIndex);
    }
    if (options_.seconds && currentStream_->duration != 0) {
        const double played = static_cast<double>(position) * currentStream_->duration - startSecond_;
        if (played >= *options_.seconds)
            finished_ = true;
    }
    // The end of the show ends the run, also when --seconds reaches beyond it. The estimate trails the
    // stream's end by the device's second and the block the decoder start keeps, so the end counts as
    // reached within that distance, and the run ends once what remains can have been played.
    if (currentStream_->duration != 0 && currentStream_->size != 0 && !endReached_) {
        const double duration = currentStream_->duration;
        const double blockSeconds = 4096.0 * duration / static_cast<double>(currentStream_->size);
        const double remaining = duration - static_cast<double>(position) * duration;
        if (remaining <= 1.25 + blockSeconds) {
            endReached_ = Clock::now();
            endRemaining_ =
                std::chrono::milliseconds(static_cast<long long>(std::max(remaining, 0.0) * 1000));
        }
    }
}

void MyConsole::ShowChatUpTo(std::int32_t index) {
    if (!chatRows_ || index <= chatShown_) {
        chatShown_ = index; // moved back (or no row): later rows show again when reached
        return;
    }
    // After a jump forward only the rows of the last seek step are shown, not everything skipped.
    for (std::int32_t i = chatShown_ + 1; i <= index; ++i) {
        const StreamChatRow& row = (*chatRows_)[static_cast<std::size_t>(i)];
        if (row.time < tracker_.playSecond - kSeekStepSeconds)
            continue;
        const ChatLine line = ComposeChatLine(row);
        const std::string text = Utf8(line.text);
        Write(colour_ ? Coloured(text, line.colour) : text);
    }
    chatShown_ = index;
}

void MyConsole::OnStreamInfo(const StationInfoData* station, const StreamInfoData* stream,
                             const TrackInfoList* trackList) {
    if (!station || !stream)
        return;
    if (options_.events)
        Write("StreamInfo " + std::to_string(stream->stationId) + " " + std::to_string(stream->streamId) +
              " " + CountOrNone(trackList, trackList ? trackList->size() : 0));
    if (station->stationId != stationId_ || stream->streamId != streamId_)
        return; // an answer for a stream that is no longer current
    currentStation_ = station;
    currentStream_ = stream;
    trackList_ = trackList;
    tracker_.ForgetEntries();
    if (!options_.events && !nowPlayingShown_) {
        nowPlayingShown_ = true;
        Write("Now playing: " + Utf8(station->name) + " - " +
              Utf8(FormatDateTime(static_cast<std::uint32_t>(stream->startTime))) + " - " +
              Utf8(stream->text1) + " (" + Utf8(FormatDuration(stream->duration)) + ")");
    }
}

void MyConsole::OnStreamChat(const StreamInfoData* stream, const StreamChatRowList* chatRows) {
    if (!stream)
        return;
    if (options_.events)
        Write("StreamChat " + std::to_string(stream->stationId) + " " + std::to_string(stream->streamId) +
              " " + CountOrNone(chatRows, chatRows ? chatRows->size() : 0));
    if (stream->stationId != stationId_ || stream->streamId != streamId_)
        return;
    chatRows_ = chatRows;
    chatShown_ = -1;
    tracker_.ForgetEntries();
    tracker_.playSecond = -1; // looks the chat row up again at the next position
}

void MyConsole::OnStationInfo(const StationInfoData* station, Clock::time_point now) {
    if (!station)
        return;
    if (options_.events)
        Write("StationInfo " + std::to_string(station->stationId) + " " + Utf8(station->name));
    stations_[station->stationId] = station;
    lastStationArrival_ = now;
    if (const auto link = context_->startLink.TakeForStation(station->stationId)) {
        const std::int32_t streamId = link->streamId;
        const std::int32_t seconds = link->seconds;
        if (streamId == 0) {
            PlayNewest(station); // a station link: its newest stream
            return;
        }
        auto stream = station->streams.find(streamId);
        if (stream == station->streams.end()) {
            streamChosen_ = true;
            Fail("Stream " + std::to_string(streamId) + " of station " + std::to_string(station->stationId) +
                     " does not exist.",
                 "stream does not exist");
            return;
        }
        if (seconds < 0 || static_cast<std::uint32_t>(seconds) >= stream->second->duration) {
            streamChosen_ = true;
            Fail("Second " + std::to_string(seconds) + " is past the end of the stream (" +
                     Utf8(FormatDuration(stream->second->duration)) + ").",
                 "start is past the end of the stream");
            return;
        }
        PlayLink(station->stationId, streamId, seconds);
    }
}

void MyConsole::Tick(Clock::time_point now) {
    if (!firstTick_)
        firstTick_ = now;
    if (finished_)
        return;
    if (stations_.empty() && now - *firstTick_ >= kDirectoryTimeout) {
        Fail("No station information arrived.", "no station information arrived");
        return;
    }
    if (unplayable_ >= kUnplayableReports) {
        Fail("The stream cannot be played.", "stream cannot be played");
        return;
    }
    if (endReached_ && now - *endReached_ >= endRemaining_ + kEndPlayOut) {
        finished_ = true;
        return;
    }
    // Every station has had time to arrive and the linked one is not among them.
    if (options_.link && !streamChosen_ && lastStationArrival_ &&
        now - *lastStationArrival_ >= kStationQuietTime && context_->startLink.stationId != 0 &&
        !stations_.contains(context_->startLink.stationId)) {
        streamChosen_ = true;
        Fail("Station " + std::to_string(context_->startLink.stationId) + " does not exist.",
             "station does not exist");
        return;
    }
    if (streamChosen_ || options_.link || !lastStationArrival_ ||
        now - *lastStationArrival_ < kStationQuietTime)
        return;
    PlayNewest(nullptr);
}

void MyConsole::PlayNewest(const StationInfoData* onlyStation) {
    const StreamInfoData* newest = nullptr;
    for (const auto& [id, station] : stations_) {
        if (onlyStation && station != onlyStation)
            continue;
        for (const auto& [streamId, stream] : station->streams)
            if (!newest || stream->startTime > newest->startTime ||
                (stream->startTime == newest->startTime && stream->streamId > newest->streamId))
                newest = stream.get();
    }
    streamChosen_ = true;
    if (!newest) {
        Fail("No stream to play.", "no stream to play");
        return;
    }
    PlayLink(newest->stationId, newest->streamId, 0);
}

void MyConsole::PlayLink(std::int32_t stationId, std::int32_t streamId, std::int32_t seconds) {
    streamChosen_ = true;
    if (stationId != stationId_ || streamId != streamId_)
        nowPlayingShown_ = false;
    stationId_ = stationId;
    streamId_ = streamId;
    startSecond_ = seconds;
    endReached_.reset();
    media_->StartPlayStream(stationId, streamId, static_cast<std::uint32_t>(seconds));
}

void MyConsole::HandleKey(int key) {
    switch (key) {
    case ' ':
        if (playState_ == 1)
            media_->Pause();
        else if (playState_ == 2)
            media_->Continue();
        break;
    case platform::TerminalKey_Left:
        SeekToSecond(static_cast<std::int64_t>(std::max(tracker_.playSecond, 0)) - kSeekStepSeconds);
        break;
    case platform::TerminalKey_Right:
        SeekToSecond(static_cast<std::int64_t>(std::max(tracker_.playSecond, 0)) + kSeekStepSeconds);
        break;
    case 'n':
    case 'N':
        SeekToFraction(tracker_.NextTrackPosition(currentStream_, trackList_));
        break;
    case 'p':
    case 'P':
        SeekToFraction(tracker_.PreviousTrackPosition(currentStream_, trackList_));
        break;
    case 'q':
    case 'Q':
    case 3: // Ctrl+C
        finished_ = true;
        break;
    default:
        break;
    }
}

void MyConsole::SeekToSecond(std::int64_t second) {
    if (!currentStream_ || currentStream_->duration == 0)
        return;
    const std::int64_t last = static_cast<std::int64_t>(currentStream_->duration) - 1;
    second = std::clamp<std::int64_t>(second, 0, std::max<std::int64_t>(last, 0));
    media_->SetPlayPos(static_cast<float>(static_cast<double>(second) / currentStream_->duration));
}

void MyConsole::SeekToFraction(std::optional<float> fraction) {
    if (currentStream_ && fraction)
        media_->SetPlayPos(*fraction);
}
