#pragma once
// CUE sheets, the usual track list of a DJ mix: PERFORMER and TITLE for the sheet and per TRACK, and
// each track's INDEX 01 (mm:ss:ff, 75 frames a second) as its start in the one FILE. INDEX 00 (the gap
// before a track) is read and not used. "REM KIND talk" inside a track marks spoken parts.

#include "Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace station {

struct CueTrack {
    int number = 0;
    std::string performer; // the track's, else the sheet's
    std::string title;
    std::int64_t startFrames = -1; // INDEX 01 in 1/75 s
    bool talk = false;
    int line = 0; // of the TRACK command
};

struct CueSheet {
    std::string performer;
    std::string title;
    std::string file;
    std::vector<CueTrack> tracks;
};

constexpr int kCueFramesPerSecond = 75;

// Lines that are not valid UTF-8 are read as Windows-1252.
Result<CueSheet> ParseCueSheet(std::string_view text, const std::string& file);

} // namespace station
