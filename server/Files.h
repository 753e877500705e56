#pragma once
// Whole-file reads and writes, and the check that keeps every file the server opens inside its archive.

#include "Result.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace station {

// Reads at most `maxBytes`; a larger file is a failure.
Result<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes);
Status WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);
// Whether `path`, with every symbolic link resolved, lies inside the canonical folder `root`.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

} // namespace station
