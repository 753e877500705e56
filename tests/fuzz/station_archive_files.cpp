// Fuzzes the archive's text files (the first byte picks station.conf, stream.conf, server.conf,
// tracks.txt or chat.txt). Accepted track and chat files must survive writing and reading back, and
// their response bodies must be well-framed records of at most 2048 bytes.

#include "ArchiveFiles.h"
#include "Responses.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void CheckFraming(const std::string& body) {
    std::size_t pos = 0;
    while (pos < body.size()) {
        if (pos + 2 > body.size())
            std::abort();
        const std::size_t length = static_cast<std::uint8_t>(body[pos]) |
                                   (static_cast<std::size_t>(static_cast<std::uint8_t>(body[pos + 1])) << 8);
        if (length < 1 || length > 2048 || pos + 2 + length > body.size())
            std::abort();
        pos += 2 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    bool durationKnown = false;
    switch (data[0] % 5) {
    case 0:
        (void)station::ParseStationConf(text, "station.conf", 1);
        break;
    case 1:
        (void)station::ParseStreamConf(text, "stream.conf", 1, durationKnown);
        break;
    case 2:
        (void)station::ParseServerConf(text, "server.conf");
        break;
    case 3: {
        auto tracks = station::ParseTrackFile(text, "tracks.txt");
        if (!tracks.ok())
            break;
        auto again = station::ParseTrackFile(station::FormatTrackFile(*tracks), "tracks.txt");
        if (!again.ok() || again->size() != tracks->size())
            std::abort();
        station::Stream stream;
        stream.tracks = *tracks;
        CheckFraming(station::TrackListBody(stream));
        break;
    }
    default: {
        auto rows = station::ParseChatFile(text, "chat.txt");
        if (!rows.ok())
            break;
        auto again = station::ParseChatFile(station::FormatChatFile(*rows), "chat.txt");
        if (!again.ok() || again->size() != rows->size())
            std::abort();
        for (std::size_t i = 0; i < rows->size(); ++i)
            if ((*again)[i].args != (*rows)[i].args || (*again)[i].time != (*rows)[i].time)
                std::abort();
        station::Stream stream;
        stream.chat = *rows;
        CheckFraming(station::ChatBody(stream));
        break;
    }
    }
    return 0;
}
