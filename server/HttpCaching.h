#pragma once
// What lets ordinary HTTP caches keep the station's answers: validators (an entity tag and a
// modification time) for each body, the Cache-Control each kind of answer deserves, and the decision
// whether a conditional request can be answered with 304 Not Modified.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace station {

// How long caches may keep each kind of answer. Windows of a recording never change once it is in the
// archive; lists and station information change only when the archive is reloaded; the directory names
// the host it was asked for and lists stations as they come and go.
inline constexpr const char* kCacheImmutable = "public, max-age=31536000, immutable";
inline constexpr const char* kCacheCatalogue = "public, max-age=3600";
inline constexpr const char* kCacheStationInfo = "public, max-age=300";
inline constexpr const char* kCacheDirectory = "public, max-age=60";
inline constexpr const char* kCacheNever = "no-store";

struct Validators {
    std::string etag;           // with its quotes
    std::time_t lastModified{}; // seconds since 1970, UTC
};

// A strong entity tag for a body held in memory: a hash of its bytes.
std::string ContentTag(std::string_view body);
// A strong entity tag for a body made from files: what kind of body, which versions of the files
// (`sources`, see FileIdentity) and its length. Made once when the files are loaded, not per request.
std::string SourceTag(std::string_view kind, std::string_view sources, std::uint64_t bodySize);
// A strong entity tag for a window of a recording file: the file's identity and change time, and the
// window.
std::string WindowTag(std::uint64_t device, std::uint64_t inode, std::uint64_t size, std::int64_t modifiedNs,
                      std::uint64_t start, std::uint64_t length);

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string HttpDate(std::time_t time);
std::optional<std::time_t> ParseHttpDate(std::string_view text);

// Whether a GET with these conditional headers (null when absent) may be answered 304: If-None-Match
// decides when present (a list of tags, or "*"); otherwise If-Modified-Since at or after the body's time.
bool NotModified(const Validators& validators, const char* ifNoneMatch, const char* ifModifiedSince);

} // namespace station
