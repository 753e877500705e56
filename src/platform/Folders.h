#pragma once
// Listing and removing what a folder holds, for the program's own folders (the stream cache). Paths are
// UTF-16 texts (see Paths.h). One implementation for every platform, on the standard library's file system.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FolderEntry {
    std::u16string name; // without the folder
    bool isFolder = false;
    std::uint64_t size = 0;    // bytes; 0 for a folder
    std::int64_t modified = 0; // the last write, in the file system's own ticks: only compared
};

// What `path` holds, in no particular order; empty when it cannot be read.
std::vector<FolderEntry> ListFolder(std::u16string_view path);

// The size in bytes of the file `path`; none when there is no such file.
std::optional<std::uint64_t> FileSize(std::u16string_view path);

// Removes the file `path`; true when no such file is left.
bool RemoveFile(std::u16string_view path);

// Removes the folder `path` with everything in it; true when nothing is left.
bool RemoveFolderTree(std::u16string_view path);

// Sets the file's last write to now (marks it as just used); false when it cannot.
bool TouchFile(std::u16string_view path);

} // namespace platform
