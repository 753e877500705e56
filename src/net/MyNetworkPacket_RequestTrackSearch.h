#pragma once
// A search of shows and tracks on a station's server ("/searchtracks/?q=", at the server's root whatever
// the station's base path, as the server answers it for every station it serves): the first page of hits,
// handed to the user-interface thread as one result once the announced number of hits has arrived. An
// exchange that ends any other way (404 from a server without search, another error, bad data) hands on a
// result marked unanswered, so that the asker falls back to its own search. No error box is shown: a search
// that fails is not worth interrupting the listener for.
//
// Response: a search header record (type 10: version 1, kind 1, hits in all uint32, page uint16, hits a
// page uint16, hits in this answer uint16, more byte), then one record per hit (type 11: station, stream,
// second int32, show byte, two texts).
//
// Asked with `chat`, it searches chat lines instead ("/searchchat/?q="): the header's kind is 2 and each hit
// (type 12) is a line: station, stream, second int32, the line's kind byte, sender, text.
//
// Asked for a page after the first, the request adds "&page=N"; an answer that says it is another page
// than the one asked for is bad data (its hits would stand in the wrong place among the others).

#include "net/MyNetworkRecordPacketBase.h"
#include "records/TrackSearchResults.h"

#include <memory>
#include <string>

class MyNetworkPacket_RequestTrackSearch : public MyNetworkRecordPacketBase {
public:
    // The most hits taken from one answer.
    static constexpr std::uint16_t kMostHits = 1000;

    MyNetworkPacket_RequestTrackSearch(MyAppContext* context,
                                       std::shared_ptr<const StationConnectionData> station,
                                       std::int32_t stationId, std::u16string query, std::uint32_t generation,
                                       bool chat = false, std::uint16_t page = 0);
    ~MyNetworkPacket_RequestTrackSearch() override;

    bool SendRequest() override;
    void Disconnect(NetworkError error) override;
    std::string RequestText() const;

protected:
    RecordOutcome HandleRecord(ResponseRecord& record) override;

private:
    std::string PathAndQuery() const;
    void Deliver();

    std::u16string query;
    bool chat;
    std::uint16_t page;
    std::unique_ptr<TrackSearchResults> results; // under construction; null once handed on
    bool headerSeen = false;
    std::uint16_t expectedHits = 0;
};

// The query as the request carries it: cut at the longest query (without splitting a surrogate pair),
// as UTF-8, every byte but letters, digits and "-._~" percent-encoded.
std::string EncodeSearchQuery(std::u16string_view query);
