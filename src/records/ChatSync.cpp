#include "records/ChatSync.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

std::int32_t Clamp32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

ChatSyncPoints OrderChatSyncPoints(ChatSyncPoints points) {
    std::stable_sort(points.begin(), points.end(), [](const ChatSyncPoint& a, const ChatSyncPoint& b) {
        return a.playSecond < b.playSecond;
    });
    ChatSyncPoints ordered;
    for (const ChatSyncPoint& point : points) {
        if (!ordered.empty() && ordered.back().playSecond == point.playSecond)
            ordered.back() = point; // the later of equal seconds
        else
            ordered.push_back(point);
    }
    if (ordered.size() > kMaxChatSyncPoints)
        ordered.resize(kMaxChatSyncPoints);
    return ordered;
}

std::int32_t ChatSecondAt(const ChatSyncPoints& points, std::int32_t playSecond) {
    if (points.empty())
        return playSecond;
    const std::int64_t s = playSecond;
    const auto offsetOf = [](const ChatSyncPoint& p) {
        return static_cast<std::int64_t>(p.playSecond) - p.chatSecond;
    };
    if (s <= points.front().playSecond)
        return Clamp32(s - offsetOf(points.front()));
    if (s >= points.back().playSecond)
        return Clamp32(s - offsetOf(points.back()));
    const auto next =
        std::upper_bound(points.begin(), points.end(), playSecond,
                         [](std::int32_t value, const ChatSyncPoint& p) { return value < p.playSecond; });
    const ChatSyncPoint& b = *next;
    const ChatSyncPoint& a = *(next - 1);
    const double along = static_cast<double>(s - a.playSecond) /
                         static_cast<double>(static_cast<std::int64_t>(b.playSecond) - a.playSecond);
    const double chat =
        static_cast<double>(a.chatSecond) + along * (static_cast<double>(b.chatSecond) - a.chatSecond);
    return Clamp32(std::llround(chat));
}
