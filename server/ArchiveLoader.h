#pragma once
// Loads an archive folder (layout in README.md, "Archive layout"). A station or stream with a fault is
// left out and its fault reported; the archive as a whole fails only when its folder is unusable.

#include "Archive.h"
#include "Result.h"

#include <filesystem>
#include <vector>

namespace station {

// Text files above this size are refused (bytes).
constexpr std::size_t kMaxTextFileBytes = 64u << 20;
// The recording's name inside a stream folder.
constexpr const char* kRecordingName = "recording.mp3";

Result<Archive> LoadArchive(const std::filesystem::path& root, std::vector<Failure>& problems);
// Loads one stream folder (stream.conf, the recording, tracks.txt and chat.txt).
Result<Stream> LoadStream(const std::filesystem::path& root, const std::filesystem::path& folder,
                          std::int32_t streamId);

} // namespace station
