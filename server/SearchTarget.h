#pragma once
// The search requests of a station server, answered across every station it serves:
//   /searchtracks/?q=TEXT[&page=N]   shows and tracks whose title or artist (or host) holds TEXT
//   /searchchat/?q=TEXT[&page=N]     chat rows of every show whose sender or text holds TEXT
// TEXT is UTF-8, percent-encoded, "+" for a blank. Control characters in it are dropped, line breaks and
// tabs become blanks, and it is cut at 256 UTF-16 units; a query left empty, bytes that are not UTF-8,
// a malformed escape or an unknown parameter are refused with 400.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

enum class SearchKind { Tracks, Chat };

struct SearchRequest {
    bool ok = false;
    std::string reason; // why it was refused (400) when not ok
    SearchKind kind = SearchKind::Tracks;
    std::u16string query;
    std::uint32_t page = 0;
};

// None when `target` is not a search request at all.
std::optional<SearchRequest> ParseSearchTarget(std::string_view target);

} // namespace station
