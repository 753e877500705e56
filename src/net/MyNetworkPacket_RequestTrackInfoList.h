#pragma once
// A stream's track list ("getstreaminfo/?streamid=" to the station's server), handed to the media thread
// whole once the announced number of tracks has arrived. An exchange that ends without delivering sends
// the same message with no list.
//
// Response: a header record (type 3: version byte 3, track count int32), then one record per track
// (type 4: start int32, secondTime int32, trackKind byte, flag byte, two texts). When the response
// carries the chat sync header, one chat sync record (type 9) follows the tracks: its points are handed
// on as well, after the list.

#include "net/MyNetworkRecordPacketBase.h"
#include "records/CatalogueRecords.h"

#include <memory>
#include <string>

class MyNetworkPacket_RequestTrackInfoList : public MyNetworkRecordPacketBase {
public:
    MyNetworkPacket_RequestTrackInfoList(MyAppContext* context,
                                         std::shared_ptr<const StationConnectionData> station,
                                         std::int32_t stationId, std::int32_t streamId);
    ~MyNetworkPacket_RequestTrackInfoList() override;

    bool SendRequest() override;
    void Disconnect(NetworkError error) override;
    std::string RequestText() const;

protected:
    RecordOutcome HandleRecord(ResponseRecord& record) override;

private:
    std::string PathAndQuery() const;
    // Whether the response announced a chat sync record after the tracks.
    bool AnnouncesChatSync() const;
    RecordOutcome HandleChatSync(ResponseRecord& record);

    std::int32_t stationId;
    std::int32_t streamId;
    std::int32_t expectedTrackCount = 0;
    std::unique_ptr<TrackInfoList> list; // under construction; null once handed on
    bool awaitingChatSync = false;       // the list has gone and a chat sync record follows
};
