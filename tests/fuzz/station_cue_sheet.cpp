// Fuzzes the CUE sheet reader: no crash, and accepted sheets have increasing track numbers and starts
// that never go backwards.

#include "CueSheet.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto sheet =
        station::ParseCueSheet(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.cue");
    if (!sheet.ok())
        return 0;
    for (std::size_t i = 1; i < sheet->tracks.size(); ++i)
        if (sheet->tracks[i].number <= sheet->tracks[i - 1].number ||
            sheet->tracks[i].startFrames < sheet->tracks[i - 1].startFrames)
            std::abort();
    for (const auto& track : sheet->tracks)
        if (track.startFrames < 0)
            std::abort();
    return 0;
}
