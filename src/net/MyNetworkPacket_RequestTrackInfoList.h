#pragma once
// A stream's track list ("getstreaminfo/?streamid=" to the station's server), handed to the media thread
// whole once the announced number of tracks has arrived. An exchange that ends without delivering sends
// the same message with no list.
//
// Response: a header record (type 3: version byte 3, track count int32), then one record per track
// (type 4: start int32, secondTime int32, trackKind byte, flag byte, two texts).

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

    std::int32_t stationId;
    std::int32_t streamId;
    std::int32_t expectedTrackCount = 0;
    std::unique_ptr<TrackInfoList> list; // under construction; null once handed on
};
