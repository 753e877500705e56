#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace station {

namespace {

FileIdentity IdentityFrom(const struct stat& facts) {
    return {static_cast<std::uint64_t>(facts.st_dev), static_cast<std::uint64_t>(facts.st_ino),
            static_cast<std::uint64_t>(facts.st_size),
            static_cast<std::int64_t>(facts.st_mtim.tv_sec) * 1000000000 + facts.st_mtim.tv_nsec};
}

} // namespace

void FileIdentity::AppendTo(std::string& key) const {
    for (std::uint64_t part : {device, inode, size, static_cast<std::uint64_t>(modifiedNs)})
        key.append(reinterpret_cast<const char*>(&part), sizeof part);
}

Result<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                                  FileIdentity* identity) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Failure{path.string(), 0, std::string("cannot read: ") + std::strerror(errno)};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat facts {};
    if (::fstat(fd, &facts) != 0)
        return Failure{path.string(), 0, std::string("cannot read: ") + std::strerror(errno)};
    if (!S_ISREG(facts.st_mode))
        return Failure{path.string(), 0, "cannot read: not a regular file"};
    const auto size = static_cast<std::uint64_t>(facts.st_size);
    if (size > maxBytes)
        return Failure{path.string(), 0, "larger than " + std::to_string(maxBytes) + " bytes"};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Failure{path.string(), 0, "could not read the whole file"};
        got += static_cast<std::size_t>(n);
    }
    if (identity)
        *identity = IdentityFrom(facts);
    return bytes;
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0)
        return std::nullopt;
    return IdentityFrom(facts);
}

Status WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return Failure{path.string(), 0, "cannot open for writing"};
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out)
        return Failure{path.string(), 0, "could not write the whole file"};
    return Done{};
}

bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    if (error)
        return false;
    auto r = root.begin();
    auto p = resolved.begin();
    for (; r != root.end(); ++r, ++p) {
        if (r->empty())
            continue; // a trailing separator of root
        if (p == resolved.end() || *p != *r)
            return false;
    }
    return true;
}

} // namespace station
