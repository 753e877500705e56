#pragma once
// A fresh, empty folder under the system's temporary folder, removed with everything in it when the
// object goes.

#include <filesystem>
#include <string>

namespace testsupport {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as the program's UTF-16 path text.
    std::u16string text() const { return path_.u16string(); }

private:
    std::filesystem::path path_;
};

} // namespace testsupport
