#include "app/PlaySpeeds.h"

#include "app/BesideSettings.h"

#include "platform/Files.h"

#include <algorithm>
#include <charconv>
#include <vector>

MyPlaySpeeds::MyPlaySpeeds(std::u16string_view settingsPath) {
    path = PathBesideSettings(settingsPath, kFileName);
    if (path.empty())
        return;
    std::vector<std::uint8_t> bytes;
    if (platform::ReadFileStart(path, kMaxFileSize, bytes))
        speeds = Parse(bytes);
}

std::int32_t MyPlaySpeeds::Get(std::int32_t stationId, std::int32_t streamId) const {
    const auto it = speeds.find({stationId, streamId});
    return it == speeds.end() ? kNormalTenths : it->second;
}

std::int32_t MyPlaySpeeds::Set(std::int32_t stationId, std::int32_t streamId, std::int32_t tenths) {
    tenths = std::clamp(tenths, kMinTenths, kMaxTenths);
    if (tenths == Get(stationId, streamId))
        return tenths;
    if (tenths == kNormalTenths)
        speeds.erase({stationId, streamId});
    else if (speeds.size() < kMaxShows || speeds.count({stationId, streamId}))
        speeds[{stationId, streamId}] = tenths;
    else
        return tenths; // full: played at this speed now, but not kept
    Save();
    return tenths;
}

bool MyPlaySpeeds::Save() const {
    return WriteTextAtomically(path, Format(speeds));
}

std::map<MyPlaySpeeds::Key, std::int32_t> MyPlaySpeeds::Parse(std::span<const std::uint8_t> bytes) {
    std::map<Key, std::int32_t> result;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::string_view line; TakeLine(text, line, true);) {
        std::int64_t station = 0;
        std::int64_t stream = 0;
        std::int64_t tenths = 0;
        if (!TakeNumber(line, station, false) || !TakeNumber(line, stream, false) ||
            !TakeNumber(line, tenths, false) || !line.empty() || !FitsInt32(station) || !FitsInt32(stream) ||
            tenths < kMinTenths || tenths > kMaxTenths || tenths == kNormalTenths)
            continue;
        const Key key{static_cast<std::int32_t>(station), static_cast<std::int32_t>(stream)};
        if (result.size() >= kMaxShows && !result.count(key))
            break;
        result[key] = static_cast<std::int32_t>(tenths);
    }
    return result;
}

std::string MyPlaySpeeds::Format(const std::map<Key, std::int32_t>& speeds) {
    std::string text = "# Playback speeds: station id, stream id, speed in tenths (15 is 1.5x)\n";
    for (const auto& [key, tenths] : speeds)
        text += std::to_string(key.first) + ' ' + std::to_string(key.second) + ' ' + std::to_string(tenths) +
                '\n';
    return text;
}

std::u16string FormatPlaySpeed(std::int32_t tenths) {
    std::u16string text;
    for (char c : std::to_string(tenths / 10))
        text += static_cast<char16_t>(c);
    text += u'.';
    text += static_cast<char16_t>(u'0' + tenths % 10);
    text += u'\u00D7';
    return text;
}
