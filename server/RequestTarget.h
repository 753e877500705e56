#pragma once
// Parses the request target of a GET (the bytes between "GET " and " HTTP/1.1") into what is asked for.
// The target is the prefix a server is reached under (a station's base path, or "/"), an endpoint and
// its parameters, exactly in the forms the player writes, debug forms included:
//   /getstations/[?debug]
//   <base>getstationinfo/[?debug]
//   <base>getstreamdata/?streamid=N&start=N&length=N[&debug]
//   <base>getstreaminfo/?streamid=N[&debug]
//   <base>getstreamchat/?streamid=N[&debug]
//   /getvantriversioninfo/versionN[&debug]
//   /getvantriupdatedownload/versionN[&debug]
// Anything else is refused with an HTTP status and a reason.

#include <cstdint>
#include <string>
#include <string_view>

namespace station {

enum class Endpoint {
    Directory,
    StationInfo,
    StreamData,
    TrackList,
    Chat,
    UpdateInfo,
    UpdateDownload,
};

struct ParsedRequest {
    Endpoint endpoint = Endpoint::Directory;
    std::string_view prefix;    // the path before the endpoint, from "/" to its last "/"
    std::uint32_t streamId = 0; // as the player writes it: unsigned 32-bit
    std::uint64_t start = 0;    // first byte of a stream data window
    std::uint32_t length = 0;   // bytes asked for
    std::int32_t version = 0;   // the player's version in update requests
    bool debug = false;
};

struct RequestParse {
    bool ok = false;
    int status = 0; // HTTP status when not ok: 400, 404 or 414
    std::string reason;
    ParsedRequest request;
};

constexpr std::size_t kMaxRequestTarget = 1024; // bytes

// `target` must outlive the answer (its prefix points into it).
RequestParse ParseRequestTarget(std::string_view target);

} // namespace station
