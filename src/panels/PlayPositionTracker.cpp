#include "panels/PlayPositionTracker.h"

#include <algorithm>
#include <cmath>

namespace {

// The walk both lookups share: from the last entry towards the first, the first one at or below `second`.
template <typename List, typename StartOf, typename AtOrBelow>
std::optional<FoundEntry> FindAt(const List* list, std::int32_t second, StartOf startOf,
                                 AtOrBelow atOrBelow) {
    if (!list)
        return std::nullopt;
    for (std::size_t i = list->size(); i-- > 0;) {
        const std::int32_t start = startOf((*list)[i]);
        if (atOrBelow(start, second)) {
            const std::int32_t next = i + 1 < list->size() ? startOf((*list)[i + 1]) : kUnboundedSecond;
            return FoundEntry{static_cast<std::int32_t>(i), start, next};
        }
    }
    return std::nullopt;
}

bool Within(std::int32_t second, std::int32_t start, std::int32_t end) {
    return second >= start && second < end;
}

std::optional<float> FractionOf(std::int32_t second, const StreamInfoData& stream) {
    if (stream.duration == 0)
        return std::nullopt;
    return static_cast<float>(second) / static_cast<float>(stream.duration);
}

} // namespace

std::optional<FoundEntry> FindTrackAt(const TrackInfoList* trackList, std::int32_t second) {
    return FindAt(
        trackList, second, [](const TrackInfo& track) { return track.start; },
        [](std::int32_t start, std::int32_t s) {
            return static_cast<std::uint32_t>(start) <= static_cast<std::uint32_t>(s);
        });
}

std::optional<FoundEntry> FindChatRowAt(const StreamChatRowList* chatRows, std::int32_t second) {
    return FindAt(
        chatRows, second, [](const StreamChatRow& row) { return row.time; },
        [](std::int32_t time, std::int32_t s) { return time <= s; });
}

std::int32_t WholeSecondOf(float seconds) {
    if (std::isnan(seconds))
        return 0;
    if (seconds >= 2147483520.0f) // the largest float below 2^31
        return INT32_MAX;
    if (seconds <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<std::int32_t>(seconds);
}

std::int32_t PlaySecondOf(float position, std::uint32_t duration) {
    return WholeSecondOf(position * static_cast<float>(duration) + 0.5f);
}

std::int32_t ChatSecondOf(std::int32_t second, std::int32_t offset) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(second) - offset, INT32_MIN, INT32_MAX));
}

void MyPlayPositionTracker::ForgetEntries() {
    trackIndex = trackStart = trackEnd = -1;
    chatIndex = chatTime = chatNextTime = -1;
}

bool MyPlayPositionTracker::TakeSecond(std::int32_t second) {
    if (second == playSecond)
        return false;
    playSecond = second;
    return true;
}

bool MyPlayPositionTracker::UpdateTrack(const TrackInfoList* trackList, bool* trackChanged) {
    if (!trackList || Within(playSecond, trackStart, trackEnd))
        return false;
    const auto track = FindTrackAt(trackList, playSecond);
    if (!track)
        return false;
    if (trackChanged)
        *trackChanged = track->index != trackIndex;
    trackIndex = track->index;
    trackStart = track->start;
    trackEnd = track->nextStart;
    return true;
}

bool MyPlayPositionTracker::UpdateChat(const StreamChatRowList* chatRows, std::int32_t chatSecond) {
    if (Within(chatSecond, chatTime, chatNextTime))
        return false;
    const auto row = FindChatRowAt(chatRows, chatSecond);
    chatIndex = row ? row->index : -1;
    chatTime = row ? row->start : -1;
    chatNextTime = row ? row->nextStart : -1;
    return true;
}

MyPlayPositionTracker::Update MyPlayPositionTracker::OnPlayPos(float position, const StreamInfoData& stream,
                                                               const TrackInfoList* trackList,
                                                               const StreamChatRowList* chatRows,
                                                               std::int32_t chatOffset) {
    Update update;
    if (!TakeSecond(PlaySecondOf(position, stream.duration)))
        return update;
    update.secondChanged = true;
    UpdateTrack(trackList, &update.trackChanged);
    if (chatRows)
        update.chatChanged = UpdateChat(chatRows, ChatSecondOf(playSecond, chatOffset));
    return update;
}

std::optional<float> MyPlayPositionTracker::PreviousTrackPosition(const StreamInfoData* stream,
                                                                  const TrackInfoList* trackList) const {
    if (!stream)
        return 0.0f;
    if (stream->duration == 0)
        return std::nullopt;
    if (trackIndex < 0)
        return 0.0f; // before the first track (or before any position): the start of the stream
    if (trackStart > playSecond - 5 && trackStart != 0) {
        auto previous = FindTrackAt(trackList, trackStart - 1);
        if (!previous)
            return std::nullopt;
        return FractionOf(previous->start, *stream);
    }
    return FractionOf(trackStart, *stream);
}

std::optional<float> MyPlayPositionTracker::NextTrackPosition(const StreamInfoData* stream,
                                                              const TrackInfoList* trackList) const {
    if (!stream || !trackList || trackList->empty())
        return std::nullopt;
    if (trackIndex < 0) {
        if (trackList->front().start <= playSecond)
            return std::nullopt;
        return FractionOf(trackList->front().start, *stream);
    }
    auto next = FindTrackAt(trackList, trackEnd);
    if (!next)
        return std::nullopt;
    return FractionOf(next->start, *stream);
}
