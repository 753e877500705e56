#pragma once
// Whole-file reads and writes, and the check that keeps every file the server opens inside its archive.

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace station {

// What tells one version of a file from another without reading it: which file it is, how long, and
// when it was last changed. Made into validators for the answers built from it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // nanoseconds since 1970

    // Appends the identity's bytes to `key`.
    void AppendTo(std::string& key) const;
};

// Reads at most `maxBytes`; a larger file is a failure. With `identity`, also tells which version of
// the file was read (from the very descriptor read, so a file replaced meanwhile is not mistaken).
Result<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                                  FileIdentity* identity = nullptr);
// The identity of the file at `path` now; nothing when it cannot be looked at.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);
Status WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);
// Whether `path`, with every symbolic link resolved, lies inside the canonical folder `root`.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

} // namespace station
