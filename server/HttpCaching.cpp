#include "HttpCaching.h"

#include <cstdio>
#include <cstring>

namespace station {

namespace {

std::string Quoted(std::uint64_t a, std::uint64_t b) {
    char text[48];
    std::snprintf(text, sizeof text, "\"%016llx%016llx\"", static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return text;
}

// FNV-1a, 64 bits, in two lanes so that the tag has 128 bits.
std::uint64_t Fnv(std::string_view bytes, std::uint64_t seed) {
    std::uint64_t hash = seed;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string ContentTag(std::string_view body) {
    return Quoted(Fnv(body, 0xcbf29ce484222325ull), Fnv(body, 0x84222325cbf29ce4ull) ^ body.size());
}

std::string SourceTag(std::string_view kind, std::string_view sources, std::uint64_t bodySize) {
    std::string identity(kind);
    identity.push_back('\0');
    identity.append(sources);
    identity.append(reinterpret_cast<const char*>(&bodySize), sizeof bodySize);
    return ContentTag(identity);
}

std::string WindowTag(std::uint64_t device, std::uint64_t inode, std::uint64_t size, std::int64_t modifiedNs,
                      std::uint64_t start, std::uint64_t length) {
    std::string identity(reinterpret_cast<const char*>(&device), sizeof device);
    identity.append(reinterpret_cast<const char*>(&inode), sizeof inode);
    identity.append(reinterpret_cast<const char*>(&size), sizeof size);
    identity.append(reinterpret_cast<const char*>(&modifiedNs), sizeof modifiedNs);
    identity.append(reinterpret_cast<const char*>(&start), sizeof start);
    identity.append(reinterpret_cast<const char*>(&length), sizeof length);
    return ContentTag(identity);
}

std::string HttpDate(std::time_t time) {
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

std::optional<std::time_t> ParseHttpDate(std::string_view text) {
    const std::string copy(Trimmed(text));
    std::tm parts{};
    const char* end = strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    if (!end || *end != '\0')
        return std::nullopt;
    return timegm(&parts);
}

bool NotModified(const Validators& validators, const char* ifNoneMatch, const char* ifModifiedSince) {
    if (ifNoneMatch) {
        std::string_view list(ifNoneMatch);
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            std::string_view tag = Trimmed(list.substr(0, comma));
            if (tag.starts_with("W/"))
                tag.remove_prefix(2); // weak comparison, as for GET
            if (tag == "*" || tag == validators.etag)
                return true;
            if (comma == std::string_view::npos)
                break;
            list.remove_prefix(comma + 1);
        }
        return false;
    }
    if (ifModifiedSince) {
        const std::optional<std::time_t> since = ParseHttpDate(ifModifiedSince);
        return since && validators.lastModified <= *since;
    }
    return false;
}

} // namespace station
