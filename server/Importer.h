#pragma once
// Makes a stream in an archive from an MP3 recording, an optional CUE sheet and an optional IRC log.
// Everything is read and checked first; the stream folder is then written under a hidden name and
// renamed into place, so a failed import leaves the archive as it was.

#include "IrcLog.h"
#include "Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace station {

struct ImportRequest {
    std::filesystem::path archive;
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::filesystem::path recording;
    std::optional<std::filesystem::path> cueSheet;
    std::optional<std::filesystem::path> chatLog;
    std::int64_t startTime = 0; // broadcast start, UTC seconds since 1970-01-01
    IrcFormat chatFormat = IrcFormat::Auto;
    std::int64_t chatUtcOffset = 0; // the log's clock, seconds east of UTC
    // Chat rows earlier than this before the start or later after the end are left out (seconds).
    std::int64_t chatMargin = 3600;
    std::uint8_t type = 1;
    std::string text1;
    std::string text2;
    std::string text3;
    std::string channel;
    // Creates the station when it does not exist yet; ignored otherwise.
    std::string stationName;
    std::string stationDescription;
    bool replace = false; // replace a stream already in the archive
};

struct ImportSummary {
    std::filesystem::path folder;
    std::uint32_t durationSeconds = 0;
    std::uint64_t size = 0;
    std::size_t tracks = 0;
    std::size_t chatRows = 0;
    std::size_t chatRowsOutside = 0; // left out by the margin
};

Result<ImportSummary> ImportStream(const ImportRequest& request);

} // namespace station
