#include "app/ChatOffsets.h"

#include "app/BesideSettings.h"

#include "platform/Files.h"

#include <algorithm>
#include <charconv>

MyChatOffsets::MyChatOffsets(std::u16string_view settingsPath) {
    path = PathBesideSettings(settingsPath, kFileName);
    if (path.empty())
        return;
    std::vector<std::uint8_t> bytes;
    if (platform::ReadFileStart(path, kMaxFileSize, bytes)) {
        offsets = Parse(bytes);
        pins = ParsePins(bytes);
    }
}

std::int32_t MyChatOffsets::Get(std::int32_t stationId, std::int32_t streamId) const {
    const auto it = offsets.find({stationId, streamId});
    return it == offsets.end() ? 0 : it->second;
}

std::int32_t MyChatOffsets::Set(std::int32_t stationId, std::int32_t streamId, std::int32_t seconds) {
    seconds = std::clamp(seconds, -kMaxOffset, kMaxOffset);
    if (seconds == Get(stationId, streamId))
        return seconds;
    if (seconds == 0)
        offsets.erase({stationId, streamId});
    else if (offsets.size() < kMaxShows || offsets.count({stationId, streamId}))
        offsets[{stationId, streamId}] = seconds;
    else
        return 0; // full: the show is not kept
    Save();
    return seconds;
}

bool MyChatOffsets::Save() const {
    return WriteTextAtomically(path, Format(offsets) + FormatPins(pins));
}

std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t>
MyChatOffsets::Parse(std::span<const std::uint8_t> bytes) {
    std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> result;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::string_view line; TakeLine(text, line, true);) {
        std::int64_t station = 0;
        std::int64_t stream = 0;
        std::int64_t seconds = 0;
        if (!TakeNumber(line, station, true) || !TakeNumber(line, stream, true) ||
            !TakeNumber(line, seconds, true))
            continue;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (!line.empty() || !FitsInt32(station) || !FitsInt32(stream) || seconds == 0 ||
            seconds < -kMaxOffset || seconds > kMaxOffset)
            continue;
        const std::pair key{static_cast<std::int32_t>(station), static_cast<std::int32_t>(stream)};
        if (result.size() >= kMaxShows && !result.count(key))
            break;
        result[key] = static_cast<std::int32_t>(seconds);
    }
    return result;
}

std::string
MyChatOffsets::Format(const std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t>& offsets) {
    std::string text = "# Chat sync offsets: station id, stream id, seconds the chat is shown later\n";
    for (const auto& [key, seconds] : offsets)
        text += std::to_string(key.first) + ' ' + std::to_string(key.second) + ' ' + std::to_string(seconds) +
                '\n';
    return text;
}

const ChatSyncPoints* MyChatOffsets::Pins(std::int32_t stationId, std::int32_t streamId) const {
    const auto it = pins.find({stationId, streamId});
    return it == pins.end() || it->second.empty() ? nullptr : &it->second;
}

bool MyChatOffsets::AddPin(std::int32_t stationId, std::int32_t streamId, ChatSyncPoint point) {
    const std::pair key{stationId, streamId};
    auto it = pins.find(key);
    if (it == pins.end()) {
        if (pins.size() >= kMaxShows)
            return false;
        it = pins.emplace(key, ChatSyncPoints{}).first;
    }
    ChatSyncPoints& points = it->second;
    const bool replaces = std::any_of(points.begin(), points.end(), [&](const ChatSyncPoint& p) {
        return p.playSecond == point.playSecond;
    });
    if (!replaces && points.size() >= kMaxChatSyncPoints)
        return false;
    points.push_back(point);
    points = OrderChatSyncPoints(std::move(points));
    Save();
    return true;
}

void MyChatOffsets::ForgetPins(std::int32_t stationId, std::int32_t streamId) {
    if (pins.erase({stationId, streamId}))
        Save();
}

std::int32_t MyChatOffsets::ChatSecond(std::int32_t stationId, std::int32_t streamId, std::int32_t second,
                                       const ChatSyncPoints* defaults) const {
    const ChatSyncPoints* points = Pins(stationId, streamId);
    if (!points)
        points = defaults;
    const std::int64_t chat =
        static_cast<std::int64_t>(points ? ChatSecondAt(*points, second) : second) - Get(stationId, streamId);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(chat, INT32_MIN, INT32_MAX));
}

std::map<std::pair<std::int32_t, std::int32_t>, ChatSyncPoints>
MyChatOffsets::ParsePins(std::span<const std::uint8_t> bytes) {
    std::map<std::pair<std::int32_t, std::int32_t>, ChatSyncPoints> result;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::string_view line; TakeLine(text, line, true);) {
        std::int64_t station = 0;
        std::int64_t stream = 0;
        std::int64_t play = 0;
        std::int64_t chat = 0;
        if (!TakeNumber(line, station, true) || !TakeNumber(line, stream, true))
            continue;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() != '@')
            continue;
        line.remove_prefix(1);
        if (!TakeNumber(line, play, true) || !TakeNumber(line, chat, true) || !line.empty() ||
            !FitsInt32(station) || !FitsInt32(stream) || !FitsInt32(play) || !FitsInt32(chat))
            continue;
        const std::pair key{static_cast<std::int32_t>(station), static_cast<std::int32_t>(stream)};
        if (result.size() >= kMaxShows && !result.count(key))
            break;
        ChatSyncPoints& points = result[key];
        if (points.size() < kMaxChatSyncPoints)
            points.push_back({static_cast<std::int32_t>(play), static_cast<std::int32_t>(chat)});
    }
    for (auto& [key, points] : result)
        points = OrderChatSyncPoints(std::move(points));
    return result;
}

std::string
MyChatOffsets::FormatPins(const std::map<std::pair<std::int32_t, std::int32_t>, ChatSyncPoints>& pins) {
    std::string text;
    for (const auto& [key, points] : pins)
        for (const ChatSyncPoint& point : points)
            text += std::to_string(key.first) + ' ' + std::to_string(key.second) + " @ " +
                    std::to_string(point.playSecond) + ' ' + std::to_string(point.chatSecond) + '\n';
    return text;
}
