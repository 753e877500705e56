#pragma once
// The archive's text files, parsed and written. Every parse names the file and line of the first fault.
//
//   station.conf, stream.conf, server.conf: "key = value" lines; "#" starts a comment line.
//   tracks.txt: one track a line, tab-separated: start, kind, artist, title[, end[, flag]].
//   chat.txt:   one chat event a line, tab-separated: time, kind, arguments...
//   chatsync.txt: one sync point a line, tab-separated: play time, chat time (the chat's own time that
//               belongs to that moment of the recording), in any order.
// Times are [-]H:MM:SS or whole seconds from the start of the recording.

#include "Archive.h"
#include "Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace station {

Result<Station> ParseStationConf(std::string_view text, const std::string& file, std::int32_t stationId);
// Reads everything but the recording and the lists. `durationKnown` tells whether the file gave one.
Result<Stream> ParseStreamConf(std::string_view text, const std::string& file, std::int32_t streamId,
                               bool& durationKnown);
Result<std::vector<Track>> ParseTrackFile(std::string_view text, const std::string& file);
Result<std::vector<ChatRow>> ParseChatFile(std::string_view text, const std::string& file);
// Sorted by play time; two points at one play time or more than kMaxChatSyncPoints are faults.
Result<ChatSyncPoints> ParseChatSyncFile(std::string_view text, const std::string& file);
// The update offer of server.conf, if it makes one. The installer path is checked by the loader.
Result<std::optional<UpdateOffer>> ParseServerConf(std::string_view text, const std::string& file);

std::string FormatStationConf(const Station& station);
std::string FormatStreamConf(const Stream& stream);
std::string FormatTrackFile(const std::vector<Track>& tracks);
std::string FormatChatFile(const std::vector<ChatRow>& rows);

// Chat kind names as chat.txt writes them ("plain", "message", ... "kick").
std::string_view ChatKindName(std::uint8_t kind);
// Whether the player keeps a row of `kind` with these arguments.
bool ChatRowFits(std::uint8_t kind, const std::vector<std::string>& args);

} // namespace station
