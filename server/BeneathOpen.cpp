#include "BeneathOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace station {

namespace {

bool Acceptable(const std::filesystem::path& relative) {
    if (relative.empty() || relative.is_absolute())
        return false;
    for (const auto& part : relative)
        if (part == "..")
            return false;
    return true;
}

} // namespace

int OpenBeneath(int directoryFd, const std::filesystem::path& relative) {
    if (directoryFd < 0 || !Acceptable(relative))
        return -1;
    open_how how{};
    how.flags = O_RDONLY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd;
    do
        fd = ::syscall(SYS_openat2, directoryFd, relative.c_str(), &how, sizeof how);
    while (fd < 0 && errno == EINTR);
    if (fd >= 0)
        return static_cast<int>(fd);
    // Kernels before 5.6 (and some sandboxes) do not know openat2.
    if (errno == ENOSYS || errno == EPERM)
        return OpenBeneathNoLinks(directoryFd, relative);
    return -1;
}

int OpenBeneathNoLinks(int directoryFd, const std::filesystem::path& relative) {
    if (directoryFd < 0 || !Acceptable(relative))
        return -1;
    int current = ::fcntl(directoryFd, F_DUPFD_CLOEXEC, 0);
    auto part = relative.begin();
    while (current >= 0 && part != relative.end()) {
        auto next = std::next(part);
        const bool last = next == relative.end();
        if (part->empty() || *part == ".") {
            part = next;
            if (last) {
                ::close(current);
                return -1;
            }
            continue;
        }
        const int flags =
            last ? (O_RDONLY | O_CLOEXEC | O_NOFOLLOW) : (O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        const int opened = ::openat(current, part->c_str(), flags);
        ::close(current);
        current = opened;
        part = next;
    }
    return current;
}

} // namespace station
