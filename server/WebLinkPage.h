#pragma once
// The page a web link opens in a browser: the web link base followed by "track-" station, stream and
// seconds, or "stream-" station and stream, each number in the player's base 62 ("0-9A-Za-z") and joined
// by "-". The page names the station, the show and the moment, and offers the same place as a "vantri:"
// link that opens the player.

#include "Archive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

struct WebLink {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t seconds = 0;
    bool track = false; // a moment ("track-"), not the whole stream ("stream-")

    bool operator==(const WebLink&) const = default;
};

// Reads a request target of exactly "/track-S-T-N" or "/stream-S-T" (base 62, at most five digits
// each). Nothing for anything else.
std::optional<WebLink> ParseWebLinkTarget(std::string_view target);

// The "vantri:" link for the same place.
std::string SchemeLink(const WebLink& link);

// The page for `link`, or nothing when the archive has no such station or stream.
std::optional<std::string> WebLinkPage(const Archive& archive, const WebLink& link);

} // namespace station
