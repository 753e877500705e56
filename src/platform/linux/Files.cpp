#include "platform/Files.h"

#include "platform/Utf.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Closes its descriptor when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and answers whether the close succeeded; a failed close can mean lost data.
    bool Close() {
        if (fd_ < 0)
            return true;
        int result = close(fd_);
        fd_ = -1;
        return result == 0 || errno == EINTR;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool FlushToDisk(int fd) {
    while (fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

bool ReadFileStart(std::u16string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    FileDescriptor file(open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        return false;
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    bytes.resize(maxBytes);
    std::size_t done = 0;
    while (done < maxBytes) {
        ssize_t got = read(file.get(), bytes.data() + done, maxBytes - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            bytes.clear();
            return false;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return true;
}

bool WriteFileAtomically(std::u16string_view path, std::span<const std::span<const std::uint8_t>> parts,
                         bool flushToDisk) {
    if (path.empty())
        return false;
    const std::string target = Utf16ToUtf8(path);
    const std::string fresh = target + ".new";
    // O_NOFOLLOW: a link planted under the new file's name must not redirect the write elsewhere.
    FileDescriptor file(open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file.valid())
        return false;
    // The data must be on the disk before the rename is, or a power cut could leave the new name on an
    // empty file.
    bool whole = true;
    for (const auto& bytes : parts)
        whole = whole && WriteAll(file.get(), bytes);
    whole = whole && (!flushToDisk || FlushToDisk(file.get()));
    whole = file.Close() && whole;
    if (!whole || rename(fresh.c_str(), target.c_str()) != 0) {
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace platform
