#pragma once
// The station directory exchange ("getstations/" to the directory server). Each station record becomes a
// StationConnectionData queued to the network thread's station table; once the count announced in the
// header is reached, the list of station ids (in response order) goes to the media thread, which asks
// for every station's information. An incomplete directory sends no id list; the stations already
// queued stay in the table.
//
// Response: a header record (type 7: version byte 1, station count int32), then one record per station
// (type 8: station id int32, port uint16, name text, host byte string, base path byte string).

#include "net/MyNetworkRecordPacketBase.h"
#include "records/CatalogueRecords.h"

#include <string>

class MyNetworkPacket_RequestStationsConnectionData : public MyNetworkRecordPacketBase {
public:
    // Asks the configured directory server.
    explicit MyNetworkPacket_RequestStationsConnectionData(MyAppContext* context);
    MyNetworkPacket_RequestStationsConnectionData(MyAppContext* context,
                                                  StationConnectionData directoryServer);

    bool SendRequest() override;
    // The exact request text SendRequest sends.
    std::string RequestText() const;

protected:
    RecordOutcome HandleRecord(ResponseRecord& record) override;

private:
    std::int32_t expectedStationCount = 0;
    StationIdList stationIds;
};
