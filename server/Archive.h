#pragma once
// The archive a station server publishes, as loaded into memory: stations, their streams, each stream's
// recording, track list and chat log. Texts are UTF-8. See README.md ("Archive layout") for the folders
// and files on disk.

#include "records/ChatSync.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace station {

struct Track {
    std::int32_t start = 0;      // seconds from the start of the stream
    std::int32_t secondTime = 0; // seconds from the start of the stream at which the track ends
    std::uint8_t kind = 0;       // 0 music, 4 talk
    bool flag = false;
    std::string text1; // artist
    std::string text2; // title
};

struct ChatRow {
    std::int32_t time = 0; // seconds from the start of the stream, may be negative
    std::uint8_t kind = 0; // StreamChatRowKind
    std::vector<std::string> args;
};

struct Stream {
    std::int32_t id = 0;
    std::int32_t startTime = 0; // broadcast start, UTC seconds since 1970-01-01
    std::uint32_t duration = 0; // seconds
    std::uint64_t size = 0;     // bytes of the recording
    std::uint8_t type = 1;      // 1 to 3 as on the wire
    std::int32_t extraValue1 = 0;
    std::int32_t extraValue2 = 0;
    std::string text1;   // show title, after the date
    std::string text2;   // host or presenter
    std::string text3;   // genre or subtitle
    std::string channel; // chat channel, sent in the chat header
    std::filesystem::path recording;
    std::vector<Track> tracks;
    bool hasChat = false;
    std::vector<ChatRow> chat;
    ChatSyncPoints chatSync; // default chat sync points, in play-second order (chatsync.txt)
    // Which versions of its files (stream.conf, the recording, tracks.txt, chat.txt, chatsync.txt) the
    // stream was loaded from, as bytes: what its answers' validators are made of.
    std::string sources;
};

struct Station {
    std::int32_t id = 0;
    std::string name;
    std::string description;
    // Where the directory says the station is served; empty host and port 0 mean this server.
    std::string host;
    std::uint16_t port = 0;
    std::string basePath; // "/station/<id>/" unless configured
    std::map<std::int32_t, Stream> streams;
    std::string sources; // which version of station.conf it was loaded from, as for streams
};

struct UpdateOffer {
    std::int32_t newestVersion = 0;
    std::filesystem::path installer; // inside the archive; empty when only the version is offered
};

struct Archive {
    std::filesystem::path root;
    std::map<std::int32_t, Station> stations;
    std::optional<UpdateOffer> update;
};

// The base path a station is served under by default.
std::string DefaultBasePath(std::int32_t stationId);

} // namespace station
