#pragma once
// Which track and which chat row the play position is in, kept the way the main window keeps it, and the
// positions that "previous track" and "next track" go to. User-interface thread only.

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

// The whole second a play position stands for: position × duration + 0.5 in single precision, truncated.
// A position that is not a number gives 0; the result is held within the 32-bit range.
std::int32_t PlaySecondOf(float position, std::uint32_t duration);

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
    // chat row list; nothing changes while the second stays the same.
    Update OnPlayPos(float position, const StreamInfoData& stream, const TrackInfoList* trackList,
                     const StreamChatRowList* chatRows);

    // Where "previous track" goes, as a fraction of the stream: the start of the current track, or of the
    // one before when the current one began less than 5 seconds ago (and is not at second 0). Without a
    // stream, 0. Before the first track, the start of the stream. None when there is nowhere to go.
    std::optional<float> PreviousTrackPosition(const StreamInfoData* stream,
                                               const TrackInfoList* trackList) const;
    // Where "next track" goes: the start of the track after the current one; on the last track its own
    // start. Before the first track, the first track. None without a stream or tracks.
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
