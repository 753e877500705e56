#pragma once
// The request heads the front door answers itself, without libmicrohttpd: a complete
// "GET <target> HTTP/1.1" head with CRLF line ends, a Host field and "Connection: close", and besides
// those only fields that change nothing in the answer (User-Agent, Accept, Accept-Encoding,
// Accept-Language), each at most once. Anything else (other methods and versions, conditional or range
// requests, bodies, folded lines, control or non-ASCII bytes, escapes in the target, bytes after the head)
// is left to libmicrohttpd, so that every answer is the one it would give.

#include <cstddef>
#include <string_view>

namespace station {

enum class HeadScan {
    Incomplete, // no end of the head yet
    Direct,     // a plain head, ending exactly where the bytes end
    Other,      // for libmicrohttpd
};

// Scans `bytes` (what has arrived so far); for a Direct head, `target` is the request target.
HeadScan ScanDirectHead(std::string_view bytes, std::string_view& target);

} // namespace station
