#pragma once
// The playback speed of each show the user played faster or slower, in tenths (10 is as recorded), kept
// per station and stream in a small text file beside the settings file, one show a line
// ("<station> <stream> <tenths>"), written whole and atomically at every change. Shows at 1x are not
// written. A line that does not read as one within range is skipped; the others still count.
// User-interface thread only.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>

class MyPlaySpeeds {
public:
    static constexpr std::int32_t kMinTenths = 5;
    static constexpr std::int32_t kMaxTenths = 30;
    static constexpr std::int32_t kNormalTenths = 10;
    static constexpr std::size_t kMaxShows = 10000;         // lines kept; more are not read
    static constexpr std::size_t kMaxFileSize = 512 * 1024; // bytes read at most
    static constexpr std::u16string_view kFileName = u"playspeeds.txt";

    using Key = std::pair<std::int32_t, std::int32_t>;

    MyPlaySpeeds() = default;
    // Reads the file beside the settings file `settingsPath` (empty: nothing is read or saved).
    explicit MyPlaySpeeds(std::u16string_view settingsPath);

    // The show's speed, 10 when none is kept.
    std::int32_t Get(std::int32_t stationId, std::int32_t streamId) const;
    // Stores the speed (clamped to 5..30; 10 forgets the show) and saves the file when it changed.
    // Answers the speed now kept.
    std::int32_t Set(std::int32_t stationId, std::int32_t streamId, std::int32_t tenths);
    bool Save() const;

    static std::map<Key, std::int32_t> Parse(std::span<const std::uint8_t> bytes);
    static std::string Format(const std::map<Key, std::int32_t>& speeds);

    std::u16string path; // the file; empty turns saving off
    std::map<Key, std::int32_t> speeds;
};

// "1.5×": a speed in tenths as the play panel shows it.
std::u16string FormatPlaySpeed(std::int32_t tenths);
