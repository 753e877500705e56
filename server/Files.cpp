#include "Files.h"

#include <fstream>
#include <system_error>

namespace station {

Result<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        return Failure{path.string(), 0, "cannot read: " + error.message()};
    if (size > maxBytes)
        return Failure{path.string(), 0, "larger than " + std::to_string(maxBytes) + " bytes"};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Failure{path.string(), 0, "cannot open for reading"};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size())
        return Failure{path.string(), 0, "could not read the whole file"};
    return bytes;
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
