#pragma once
// The shows listened to last, each with the second it was left at, newest first: what the station chooser
// offers under "Continue listening". Kept in a text file beside the settings file, one show a line of
// tab-separated decimal numbers
//     <station> <stream> <second> <listened at, Unix seconds>
// newest first. One entry a show: listening to a show again updates its entry and makes it the newest.
// The file is written whole and atomically at every save; a line that does not read as an entry (a
// number out of range, a field too many or too few, a show already read) is skipped and the others still
// count. User-interface thread only.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct MyRecentShow {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t second = 0;
    std::int64_t listenedAt = 0;

    bool operator==(const MyRecentShow&) const = default;
};

class MyRecentShows {
public:
    static constexpr std::size_t kMaxShows = 20;           // the oldest go beyond this
    static constexpr std::size_t kMaxFileSize = 64 * 1024; // bytes read at most
    static constexpr std::u16string_view kFileName = u"recent.txt";

    MyRecentShows() = default;
    // Reads the file beside the settings file `settingsPath` (empty: nothing is read or saved).
    explicit MyRecentShows(std::u16string_view settingsPath);

    // Records that show (`stationId`, `streamId`) was listened to up to `second` at `listenedAt`: its entry
    // moves to the front with the new second, or a new one goes there and the oldest beyond the cap goes.
    // Does not save. Answers whether anything changed.
    bool Update(std::int32_t stationId, std::int32_t streamId, std::int32_t second, std::int64_t listenedAt);
    // The entry of that show, or null.
    const MyRecentShow* Find(std::int32_t stationId, std::int32_t streamId) const;
    bool Save() const;

    static std::vector<MyRecentShow> Parse(std::span<const std::uint8_t> bytes);
    static std::string Format(const std::vector<MyRecentShow>& shows);

    std::u16string path;             // the file; empty turns saving off
    std::vector<MyRecentShow> shows; // newest first
};
