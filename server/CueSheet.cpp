#include "CueSheet.h"

#include "Text.h"

namespace station {
namespace {

// Splits a CUE line into words; a double-quoted word may hold blanks. Answers false on an unclosed quote.
bool Words(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos)
                return false;
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        const std::size_t end = line.find_first_of(" \t", i);
        words.emplace_back(line.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
        i = end == std::string_view::npos ? line.size() : end;
    }
    return true;
}

// "mm:ss:ff" (minutes unbounded) into frames.
bool ParseCueTime(std::string_view text, std::int64_t& frames) {
    const auto parts = Split(text, ':');
    std::uint64_t minutes = 0;
    std::uint64_t seconds = 0;
    std::uint64_t frame = 0;
    if (parts.size() != 3 || !ParseUnsigned(parts[0], 1u << 20, minutes) || parts[1].size() != 2 ||
        parts[2].size() != 2 || !ParseUnsigned(parts[1], 59, seconds) ||
        !ParseUnsigned(parts[2], kCueFramesPerSecond - 1, frame))
        return false;
    frames = static_cast<std::int64_t>((minutes * 60 + seconds) * kCueFramesPerSecond + frame);
    return true;
}

} // namespace

Result<CueSheet> ParseCueSheet(std::string_view text, const std::string& file) {
    CueSheet sheet;
    const auto lines = SplitLines(text);
    std::vector<std::string> words;
    bool sawFile = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string line = RepairUtf8(lines[i]);
        if (!Words(line, words))
            return Failure{file, number, "a quoted text is not closed"};
        if (words.empty())
            continue;
        const std::string command = ToLower(words[0]);
        CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
        const auto needArgs = [&](std::size_t n) { return words.size() >= n + 1; };
        if (command == "rem") {
            if (track && words.size() >= 3 && ToLower(words[1]) == "kind")
                track->talk = ToLower(words[2]) == "talk";
        } else if (command == "performer" || command == "title") {
            if (!needArgs(1))
                return Failure{file, number, words[0] + " needs a text"};
            // Unquoted texts with blanks come as several words.
            std::string value = words[1];
            for (std::size_t w = 2; w < words.size(); ++w)
                value += " " + words[w];
            std::string& slot = command == "performer" ? (track ? track->performer : sheet.performer)
                                                       : (track ? track->title : sheet.title);
            slot = value;
        } else if (command == "file") {
            if (sawFile)
                return Failure{file, number,
                               "only one FILE is supported: the sheet must describe one recording"};
            if (!needArgs(1))
                return Failure{file, number, "FILE needs a file name"};
            if (!sheet.tracks.empty())
                return Failure{file, number, "FILE must come before the first TRACK"};
            sawFile = true;
            sheet.file = words[1];
        } else if (command == "track") {
            std::uint64_t trackNumber = 0;
            if (!needArgs(2) || !ParseUnsigned(words[1], 99, trackNumber) || trackNumber == 0)
                return Failure{file, number, "expected TRACK nn TYPE with nn from 01 to 99"};
            if (track && static_cast<int>(trackNumber) <= track->number)
                return Failure{file, number, "track numbers must increase"};
            if (track && track->startFrames < 0)
                return Failure{file, track->line,
                               "track " + std::to_string(track->number) + " has no INDEX 01"};
            CueTrack next;
            next.number = static_cast<int>(trackNumber);
            next.line = number;
            sheet.tracks.push_back(std::move(next));
        } else if (command == "index") {
            if (!track)
                return Failure{file, number, "INDEX before the first TRACK"};
            std::uint64_t indexNumber = 0;
            std::int64_t frames = 0;
            if (!needArgs(2) || !ParseUnsigned(words[1], 99, indexNumber))
                return Failure{file, number, "expected INDEX nn mm:ss:ff"};
            if (!ParseCueTime(words[2], frames))
                return Failure{file, number, "expected a time mm:ss:ff (frames 00-74)"};
            if (indexNumber == 1) {
                if (track->startFrames >= 0)
                    return Failure{file, number, "a second INDEX 01 for the same track"};
                if (sheet.tracks.size() >= 2 && frames < sheet.tracks[sheet.tracks.size() - 2].startFrames)
                    return Failure{file, number, "the track starts before the one above it"};
                track->startFrames = frames;
            }
        } else if (command == "pregap" || command == "postgap" || command == "flags" || command == "isrc" ||
                   command == "catalog" || command == "songwriter" || command == "cdtextfile") {
            // Known commands that say nothing about the track list of a recording.
        } else {
            return Failure{file, number, "unknown CUE command '" + words[0] + "'"};
        }
    }
    if (sheet.tracks.empty())
        return Failure{file, 0, "the sheet has no TRACK"};
    if (sheet.tracks.back().startFrames < 0)
        return Failure{file, sheet.tracks.back().line,
                       "track " + std::to_string(sheet.tracks.back().number) + " has no INDEX 01"};
    for (CueTrack& track : sheet.tracks)
        if (track.performer.empty())
            track.performer = sheet.performer;
    return sheet;
}

} // namespace station
