#pragma once
// Moments the listener saved: a second of a show with its context (the track playing, the chat lines
// of the seconds before, a note). Kept in a text file beside the settings file, one moment a line of
// tab-separated fields
//     <station> <stream> <second> <saved at, Unix seconds> <track> <note> [<chat line>...]
// where a tab, line feed, carriage return or backslash inside a text is written as \t, \n, \r or \\.
// The file is written whole and atomically at every change; a line that does not read as a moment
// (numbers out of range, bad escapes, text that is not UTF-8) is skipped and the others still count.
// User-interface thread only.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct MyMoment {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t second = 0;
    std::int64_t savedAt = 0;
    std::u16string track;
    std::u16string note;
    std::vector<std::u16string> chat; // oldest first

    bool operator==(const MyMoment&) const = default;
};

class MyMoments {
public:
    static constexpr std::size_t kMaxMoments = 1000;             // the oldest go first beyond this
    static constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024; // bytes read at most
    static constexpr std::size_t kMaxChatLines = 20;             // context lines kept per moment
    static constexpr std::size_t kMaxTextLength = 512;           // UTF-16 units per text
    static constexpr std::int32_t kChatContextSeconds = 10;      // chat kept from before the moment
    static constexpr std::u16string_view kFileName = u"moments.txt";

    MyMoments() = default;
    // Reads the file beside the settings file `settingsPath` (empty: nothing is read or saved).
    explicit MyMoments(std::u16string_view settingsPath);

    // Appends `moment` (texts cut to their limits, the oldest moment dropped when full) and saves.
    // Answers its index.
    std::size_t Add(MyMoment moment);
    // Sets the note of moment `index` and saves; false when there is no such moment.
    bool SetNote(std::size_t index, std::u16string_view note);
    bool Remove(std::size_t index);
    bool Save() const;

    static std::vector<MyMoment> Parse(std::span<const std::uint8_t> bytes);
    static std::string Format(const std::vector<MyMoment>& moments);

    std::u16string path;           // the moments file; empty turns saving off
    std::vector<MyMoment> moments; // oldest first
};
