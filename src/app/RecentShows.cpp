#include "app/RecentShows.h"

#include "app/BesideSettings.h"

#include "platform/Files.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::int64_t kMaxListenedAt = 253402300799; // the last second of the year 9999

std::optional<MyRecentShow> ParseLine(std::string_view line) {
    std::int64_t numbers[4];
    for (std::int64_t& number : numbers)
        if (!TakeNumber(line, number, false))
            return std::nullopt;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    if (!line.empty())
        return std::nullopt; // a field too many
    for (int i = 0; i < 3; ++i)
        if (numbers[i] < 0 || !FitsInt32(numbers[i]))
            return std::nullopt;
    if (numbers[3] < 0 || numbers[3] > kMaxListenedAt)
        return std::nullopt;
    return MyRecentShow{static_cast<std::int32_t>(numbers[0]), static_cast<std::int32_t>(numbers[1]),
                        static_cast<std::int32_t>(numbers[2]), numbers[3]};
}

} // namespace

MyRecentShows::MyRecentShows(std::u16string_view settingsPath) {
    path = PathBesideSettings(settingsPath, kFileName);
    if (path.empty())
        return;
    std::vector<std::uint8_t> bytes;
    if (platform::ReadFileStart(path, kMaxFileSize, bytes))
        shows = Parse(bytes);
}

bool MyRecentShows::Update(std::int32_t stationId, std::int32_t streamId, std::int32_t second,
                           std::int64_t listenedAt) {
    if (stationId < 0 || streamId < 0)
        return false;
    second = std::max(second, 0);
    listenedAt = std::clamp<std::int64_t>(listenedAt, 0, kMaxListenedAt);
    const MyRecentShow entry{stationId, streamId, second, listenedAt};
    auto found = std::find_if(shows.begin(), shows.end(), [&](const MyRecentShow& show) {
        return show.stationId == stationId && show.streamId == streamId;
    });
    if (found != shows.end() && found == shows.begin() && *found == entry)
        return false;
    if (found != shows.end())
        shows.erase(found);
    shows.insert(shows.begin(), entry);
    if (shows.size() > kMaxShows)
        shows.resize(kMaxShows);
    return true;
}

const MyRecentShow* MyRecentShows::Find(std::int32_t stationId, std::int32_t streamId) const {
    for (const MyRecentShow& show : shows)
        if (show.stationId == stationId && show.streamId == streamId)
            return &show;
    return nullptr;
}

bool MyRecentShows::Save() const {
    return WriteTextAtomically(path, Format(shows));
}

std::vector<MyRecentShow> MyRecentShows::Parse(std::span<const std::uint8_t> bytes) {
    std::vector<MyRecentShow> result;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::string_view line; TakeLine(text, line, true) && result.size() < kMaxShows;) {
        const std::optional<MyRecentShow> show = ParseLine(line);
        // Newest first: a show met again further down is an older copy.
        if (show && std::none_of(result.begin(), result.end(), [&](const MyRecentShow& kept) {
                return kept.stationId == show->stationId && kept.streamId == show->streamId;
            }))
            result.push_back(*show);
    }
    return result;
}

std::string MyRecentShows::Format(const std::vector<MyRecentShow>& shows) {
    std::string out;
    for (const MyRecentShow& show : shows)
        out += std::to_string(show.stationId) + '\t' + std::to_string(show.streamId) + '\t' +
               std::to_string(show.second) + '\t' + std::to_string(show.listenedAt) + '\n';
    return out;
}
