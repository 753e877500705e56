#pragma once
// What a show kept for offline listening needs to be found and played without the network: its station's
// server and name and the stream's catalogue entry, kept as a small text file in the show's cache folder
// ("show.txt": one "key value" line each, texts in UTF-8 with backslash, line feed, carriage return and
// tab written as \\, \n, \r, \t).

#include "net/StationConnectionData.h"
#include "records/CatalogueRecords.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct KeptShow {
    StationConnectionData station; // name, id, host, port and base path of its server
    std::int32_t streamId = 0;
    std::int32_t startTime = 0;
    std::uint32_t duration = 0;
    std::uint64_t size = 0;
    std::int32_t streamType = 0;
    std::int32_t extraValue1 = 0;
    std::int32_t extraValue2 = 0;
    bool hasChat = false;
    std::u16string text1;
    std::u16string text2;
    std::u16string text3;

    // The entry for `stream` of the station `server` names and serves.
    static KeptShow Of(const StreamInfoData& stream, const StationConnectionData& server);
    std::string Encode() const;
    // None for a file that is not a whole entry.
    static std::optional<KeptShow> Decode(std::string_view text);
    // The catalogue record of the show, as the station's information would give it.
    std::unique_ptr<StreamInfoData> MakeStreamInfo() const;
};
