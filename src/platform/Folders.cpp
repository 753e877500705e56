#include "platform/Folders.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

std::vector<FolderEntry> ListFolder(std::u16string_view path) {
    std::vector<FolderEntry> entries;
    std::error_code error;
    fs::directory_iterator it(fs::path(std::u16string(path)), error);
    if (error)
        return entries;
    for (const fs::directory_entry& entry : it) {
        FolderEntry one;
        one.name = entry.path().filename().u16string();
        one.isFolder = entry.is_directory(error);
        if (!one.isFolder) {
            one.size = entry.file_size(error);
            if (error)
                one.size = 0;
        }
        const fs::file_time_type when = entry.last_write_time(error);
        one.modified = error ? 0 : static_cast<std::int64_t>(when.time_since_epoch().count());
        entries.push_back(std::move(one));
    }
    return entries;
}

std::optional<std::uint64_t> FileSize(std::u16string_view path) {
    std::error_code error;
    const fs::path file(std::u16string{path});
    if (!fs::is_regular_file(file, error))
        return std::nullopt;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error)
        return std::nullopt;
    return static_cast<std::uint64_t>(size);
}

bool RemoveFile(std::u16string_view path) {
    std::error_code error;
    fs::remove(fs::path(std::u16string(path)), error);
    return !error;
}

bool RemoveFolderTree(std::u16string_view path) {
    std::error_code error;
    fs::remove_all(fs::path(std::u16string(path)), error);
    return !error;
}

bool TouchFile(std::u16string_view path) {
    std::error_code error;
    fs::last_write_time(fs::path(std::u16string(path)), fs::file_time_type::clock::now(), error);
    return !error;
}

} // namespace platform
