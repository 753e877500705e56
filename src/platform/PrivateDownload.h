#pragma once
// A file downloaded to be run, kept where no other user can reach it: a new folder only this user can
// enter (mode 0700) under the temporary folder, holding a file created there exclusively (a file or link
// planted beforehand is never followed or reused). It is made executable only when the caller says so,
// after checking what it holds. Unless kept, the file and its folder are deleted when the object goes.
// One thread at a time.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class PrivateDownload {
public:
    // Makes a folder named `folderPrefix` followed by random characters under `parentFolder`, and the
    // empty file `fileName` in it. Null when either cannot be made.
    static std::unique_ptr<PrivateDownload>
    Create(std::u16string_view parentFolder, std::u16string_view folderPrefix, std::u16string_view fileName);
    ~PrivateDownload();
    PrivateDownload(const PrivateDownload&) = delete;
    PrivateDownload& operator=(const PrivateDownload&) = delete;

    // Appends `bytes`; false when the file is closed or the write failed.
    bool Write(std::span<const std::uint8_t> bytes);
    // Flushes and closes the file; false when that failed (data may be lost).
    bool Close();
    // Reads the whole closed file back, as it lies on the disk.
    bool ReadBack(std::vector<std::uint8_t>& bytes) const;
    // Lets the owner (only) run the closed file.
    bool MakeExecutable();
    // Leaves the file and its folder in place when the object goes.
    void Keep() { keep_ = true; }
    // Deletes the file and its folder now.
    void Discard();

    const std::u16string& path() const { return path_; }
    const std::u16string& folder() const { return folder_; }

private:
    PrivateDownload() = default;

    std::u16string folder_;
    std::u16string path_;
    int fd_ = -1;
    bool keep_ = false;
};

// Starts `program` with `arguments` as a process of its own that outlives this one, without waiting for
// it; its standard input is empty and it is never reaped by this process. False when it could not be
// started (not found, not executable).
bool StartDetachedProgram(std::u16string_view program, const std::vector<std::u16string>& arguments);

} // namespace platform
