#pragma once
// What libmpg123 finds in an MP3 file: its length in seconds and its sample format.

#include "Result.h"

#include <cstdint>
#include <filesystem>

namespace station {

struct Mp3Facts {
    std::uint32_t durationSeconds = 0; // rounded to the nearest second
    std::uint64_t samples = 0;         // per channel
    long rate = 0;                     // samples per second
    int channels = 0;
};

// Scans the whole file. Fails when libmpg123 finds no MPEG audio in it.
Result<Mp3Facts> ProbeMp3(const std::filesystem::path& path);

} // namespace station
