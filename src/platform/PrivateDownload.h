#pragma once
// A file downloaded to be run, kept where no other user can reach it: a new folder only this user can
// enter (mode 0700) under the temporary folder, holding a file created there exclusively (a file or link
// planted beforehand is never followed or reused). It is made executable only when the caller says so,
// after checking what it holds. Unless it was started, the file and its folder are deleted when the
// object goes; once started, they are deleted as soon as the program has ended. One thread at a time.

#include <cstdint>
#include <functional>
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
    // Reads the closed file back as it lies on the disk, handing it to `piece` in pieces of at most 64 KiB
    // (never whole), in order; false when it cannot be read or `piece` answers false.
    bool ReadBack(const std::function<bool(std::span<const std::uint8_t>)>& piece) const;
    // Lets the owner (only) run the closed file.
    bool MakeExecutable();

    enum class Start {
        Started,
        // The file system of the folder does not let programs run (Linux: mounted "noexec").
        FolderForbidsPrograms,
        Failed, // not executable, not a program, no process to be had
    };
    // Runs the closed, executable file with `arguments` as a process of its own that outlives this one,
    // without waiting for it; its standard input is empty. Once it was started, this object no longer
    // deletes the file: it and its folder are deleted when the program ends (Linux: by a small watcher
    // process that outlives this one; Windows: by the system's thread pool while this process runs).
    Start Run(const std::vector<std::u16string>& arguments);
    // Deletes the file and its folder now.
    void Discard();

    const std::u16string& path() const { return path_; }
    const std::u16string& folder() const { return folder_; }

private:
    PrivateDownload() = default;

    std::u16string folder_;
    std::u16string path_;
    int fd_ = -1;
    bool started_ = false;
};

} // namespace platform
