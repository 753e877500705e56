#pragma once
// A station's information ("getstationinfo/" to the station's own server): its name, description and
// streams, built into one StationInfoData that goes to the media thread once the announced number of
// streams has arrived. An exchange that ends without delivering sends the same message with no record.
//
// Response: a header record (type 1: version byte 4 or 5, name text, in version 5 a description text,
// stream count int32), then one record per stream (type 2: stream id, start time, duration, size (all
// int32), stream type byte 1 to 3, extraValue1 int32, has-chat byte, extraValue2 int32, three texts).

#include "net/MyNetworkRecordPacketBase.h"
#include "records/CatalogueRecords.h"

#include <memory>
#include <string>

class MyNetworkPacket_RequestStationInfo : public MyNetworkRecordPacketBase {
public:
    MyNetworkPacket_RequestStationInfo(MyAppContext* context,
                                       std::shared_ptr<const StationConnectionData> station,
                                       std::int32_t stationId);
    ~MyNetworkPacket_RequestStationInfo() override;

    bool SendRequest() override;
    void Disconnect(NetworkError error) override;
    std::string RequestText() const;
    // The station asked about.
    std::int32_t station() const { return stationId; }

protected:
    RecordOutcome HandleRecord(ResponseRecord& record) override;

private:
    RecordOutcome HandleHeader(RecordReader& in);
    RecordOutcome HandleStream(RecordReader& in);

    std::int32_t stationId;
    std::int32_t expectedStreamCount = 0;
    std::unique_ptr<StationInfoData> info; // under construction; null once handed on
};
