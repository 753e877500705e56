#pragma once
// The response bodies, built from the loaded archive with the server's own record writer.

#include "Archive.h"
#include "Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

// Directory: header (version 1, station count), then one record per station with its id, port, name,
// host and base path. Stations without a host of their own point at `host` and `port`, the address the
// player used to reach this server.
std::string DirectoryBody(const Archive& archive, std::string_view host, std::uint16_t port);
// Station information: header (version 5 with a description, else 4), then one record per stream.
std::string StationInfoBody(const Station& station);
// Track list: header (version 3, track count), then one record per track, then, when the stream has
// sync points, one chat sync record (version 1, count, then play and chat seconds), which players that
// do not know it never read: they stop at the announced number of tracks.
std::string TrackListBody(const Stream& stream);
// Chat: header (version 3, channel text, row count), then one record per row.
std::string ChatBody(const Stream& stream);
// Update information: the newest version number.
std::string UpdateInfoBody(std::int32_t newestVersion);
// Update download: header with the total size, then the installer's bytes in data records, then, when
// there is one, the installer's signature (the text of its minisign signature file) in one record after
// them, where a client that stops at the announced size never reads it.
Result<std::string> UpdateDownloadBody(std::string_view installer,
                                       std::optional<std::string_view> signature = {});

} // namespace station
