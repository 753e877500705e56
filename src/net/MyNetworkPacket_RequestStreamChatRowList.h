#pragma once
// A stream's chat log ("getstreamchat/?streamid=" to the station's server), handed to the media thread
// whole once the announced number of rows has arrived; the media thread filters and sorts the rows. An
// exchange that ends without delivering sends the same message with no list, so that the media thread
// knows the request is over (it changes nothing for the stream).
//
// Response: a header record (type 5: version byte 3, a text the client does not use, row count int32),
// then one record per row (type 6: time int32, kind byte, argument count byte (at most 20), that many
// texts).

#include "net/MyNetworkRecordPacketBase.h"
#include "records/CatalogueRecords.h"

#include <memory>
#include <string>
#include <vector>

class MyNetworkPacket_RequestStreamChatRowList : public MyNetworkRecordPacketBase {
public:
    MyNetworkPacket_RequestStreamChatRowList(MyAppContext* context,
                                             std::shared_ptr<const StationConnectionData> station,
                                             std::int32_t stationId, std::int32_t streamId);
    ~MyNetworkPacket_RequestStreamChatRowList() override;

    bool SendRequest() override;
    void Disconnect(NetworkError error) override;
    std::string RequestText() const;

protected:
    RecordOutcome HandleRecord(ResponseRecord& record) override;

private:
    std::string PathAndQuery() const;
    RecordOutcome HandleRow(RecordReader& in);

    std::int32_t stationId;
    std::int32_t streamId;
    std::int32_t expectedRowCount = 0;
    std::unique_ptr<StreamChatRowList> list; // under construction; null once handed on
    // The argument texts of the row being read, reused from row to row.
    std::vector<std::u16string> argTexts;
    std::vector<std::u16string_view> argViews;
};
