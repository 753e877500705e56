#include "platform/Files.h"
#include "platform/win32/Win32Handles.h"

namespace platform {

namespace {

// Closes its handle when it goes.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (!valid())
            return true;
        BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    HANDLE handle_;
};

} // namespace

bool ReadFileStart(std::u16string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (path.empty())
        return false;
    FileHandle file(CreateFileW(WideString(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    bytes.resize(maxBytes);
    std::size_t done = 0;
    while (done < maxBytes) {
        DWORD chunk = maxBytes - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(maxBytes - done);
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            bytes.clear();
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return true;
}

bool WriteFileAtomically(std::u16string_view path, std::span<const std::span<const std::uint8_t>> parts,
                         bool flushToDisk) {
    if (path.empty())
        return false;
    const std::wstring target = WideString(path);
    const std::wstring fresh = target + L".new";
    // CREATE_ALWAYS with FILE_FLAG_OPEN_REPARSE_POINT: a link planted under the new file's name is
    // replaced, never followed.
    FileHandle file(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid())
        return false;
    bool whole = true;
    for (const auto& bytes : parts) {
        std::size_t done = 0;
        while (whole && done < bytes.size()) {
            DWORD chunk =
                bytes.size() - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size() - done);
            DWORD written = 0;
            whole = ::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) && written > 0;
            done += written;
        }
    }
    // The data must be on the disk before the rename is, or a power cut could leave the new name on an
    // empty file.
    whole = whole && (!flushToDisk || FlushFileBuffers(file.get()));
    whole = file.Close() && whole;
    if (!whole ||
        !MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace platform
