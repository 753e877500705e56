#pragma once
// Sync points of a show's chat: pairs of a play second and the chat second that belongs to it, for a
// recording whose chat drifts (a stream that dropped and came back). Between two points the chat second
// follows the play second along the straight line through them; before the first point and after the
// last the chat keeps that point's offset.

#include <cstddef>
#include <cstdint>
#include <vector>

struct ChatSyncPoint {
    std::int32_t playSecond = 0;
    std::int32_t chatSecond = 0;

    bool operator==(const ChatSyncPoint&) const = default;
};

// Sorted by play second, no two at the same play second.
using ChatSyncPoints = std::vector<ChatSyncPoint>;

// The most points a show keeps: one record of the stream information carries them all.
inline constexpr std::size_t kMaxChatSyncPoints = 255;

// `points` in play-second order; of points at the same play second the last given is kept, and beyond
// kMaxChatSyncPoints the rest are dropped.
ChatSyncPoints OrderChatSyncPoints(ChatSyncPoints points);

// The chat second at play second `playSecond` (the play second itself without points), held within the
// 32-bit range.
std::int32_t ChatSecondAt(const ChatSyncPoints& points, std::int32_t playSecond);
