#pragma once
// Which track and which chat row the play position is in, and the positions that "previous track" and
// "next track" go to: the one copy of these rules, kept by the main window and the terminal front end.
// User-interface thread only.

#include "records/CatalogueRecords.h"

#include <cstdint>
#include <optional>

// The start of the entry after the last one: no end.
constexpr std::int32_t kUnboundedSecond = INT32_MAX;

// An entry of a track list or chat row list found for a second: its index, its start and the start of
// the entry after it (kUnboundedSecond for the last entry).
struct FoundEntry {
    std::int32_t index = -1;
    std::int32_t start = -1;
    std::int32_t nextStart = -1;

    bool operator==(const FoundEntry&) const = default;
};

// The last track whose start is at or below `second`, starts compared as 32-bit unsigned numbers; none
// without a list or when `second` is below every start.
std::optional<FoundEntry> FindTrackAt(const TrackInfoList* trackList, std::int32_t second);
// The last chat row whose time is at or below `second`, compared as signed numbers.
std::optional<FoundEntry> FindChatRowAt(const StreamChatRowList* chatRows, std::int32_t second);

// The whole seconds in `seconds`, truncated: a value that is not a number gives 0, and the result is held
// within the 32-bit range.
std::int32_t WholeSecondOf(float seconds);
// The whole second a play position stands for: position × duration + 0.5 in single precision, truncated.
std::int32_t PlaySecondOf(float position, std::uint32_t duration);
// The chat's second at play second `second` when the chat runs `offset` seconds behind the recording,
// held within the 32-bit range.
std::int32_t ChatSecondOf(std::int32_t second, std::int32_t offset);

class MyPlayPositionTracker {
public:
    // What a position report changed.
    struct Update {
        bool secondChanged = false;
        bool trackChanged = false; // trackIndex names a new track
        bool chatChanged = false;  // chatIndex was looked up again (it may now be -1)
    };

    // Forgets the track and the chat row (a new stream's lists arrived); playSecond is kept.
    void ForgetEntries();

    // A reported position of `stream`. Tracks are looked up only with a track list, chat rows only with a
    // chat row list; nothing changes while the second stays the same. The chat runs `chatOffset` seconds
    // behind the recording.
    Update OnPlayPos(float position, const StreamInfoData& stream, const TrackInfoList* trackList,
                     const StreamChatRowList* chatRows, std::int32_t chatOffset = 0);
    // The steps of OnPlayPos, for a caller that acts between them: the new second (false when it is the
    // same); the track at playSecond, unless it still lies in the current one (true when a track was
    // found, and *trackChanged when it is another one); the chat row at `chatSecond`, unless it still lies
    // in the current one (true when it was looked up again; none without a list).
    bool TakeSecond(std::int32_t second);
    bool UpdateTrack(const TrackInfoList* trackList, bool* trackChanged = nullptr);
    bool UpdateChat(const StreamChatRowList* chatRows, std::int32_t chatSecond);

    // Where "previous track" goes, as a fraction of the stream: the start of the current track, or of the
    // one before when the current one began less than 5 seconds ago (and is not at second 0). Without a
    // stream, 0. Before the first track, the start of the stream. None when there is nowhere to go or the
    // stream has no duration.
    std::optional<float> PreviousTrackPosition(const StreamInfoData* stream,
                                               const TrackInfoList* trackList) const;
    // Where "next track" goes: the start of the track after the current one; on the last track its own
    // start. Before the first track, the first track when it lies ahead. None without a stream or tracks.
    std::optional<float> NextTrackPosition(const StreamInfoData* stream,
                                           const TrackInfoList* trackList) const;

    std::int32_t playSecond = -1;
    std::int32_t trackIndex = -1;
    std::int32_t trackStart = -1;
    std::int32_t trackEnd = -1;
    std::int32_t chatIndex = -1;
    std::int32_t chatTime = -1;
    std::int32_t chatNextTime = -1;
};
