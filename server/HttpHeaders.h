#pragma once
// Readers of the request headers the feed's answers depend on: the byte range a podcast player asks
// for, and the Host the feed's addresses are made from.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

struct ByteRange {
    enum Kind {
        Whole,         // no range, or one this server does not honour (several ranges, another unit,
                       // malformed): the whole body, 200
        Part,          // `start` and `count` of the body, 206
        Unsatisfiable, // a range wholly past the end, 416
    };
    Kind kind = Whole;
    std::uint64_t start = 0;
    std::uint64_t count = 0;
};

// Reads a Range header (null when absent) for a body of `size` bytes: "bytes=A-B", "bytes=A-" or
// "bytes=-N" (the last N bytes).
ByteRange ParseByteRange(const char* header, std::uint64_t size);

// "http://" and the Host header's value when it is a host name, an IPv4 address or a bracketed IPv6
// address, optionally with a port from 1 to 65535; nothing for anything else.
std::optional<std::string> BaseFromHost(std::string_view host);

} // namespace station
