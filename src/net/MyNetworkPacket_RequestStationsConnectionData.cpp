#include "net/MyNetworkPacket_RequestStationsConnectionData.h"

#include <algorithm>

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "net/ResponseLimits.h"
#include "net/ServerAddresses.h"

namespace {

constexpr const char* kNormalTail = "getstations/ HTTP/1.1\r\n";
constexpr const char* kDebugTail = "getstations/?debug HTTP/1.1\r\n";

} // namespace

MyNetworkPacket_RequestStationsConnectionData::MyNetworkPacket_RequestStationsConnectionData(
    MyAppContext* context)
    : MyNetworkPacket_RequestStationsConnectionData(context, DirectoryServerConnectionData()) {}

MyNetworkPacket_RequestStationsConnectionData::MyNetworkPacket_RequestStationsConnectionData(
    MyAppContext* context, StationConnectionData directoryServer)
    : MyNetworkRecordPacketBase(context, NetworkPacketType_RequestStationsConnectionData) {
    connectionData = std::make_shared<const StationConnectionData>(std::move(directoryServer));
    SetBodyLimit(kMaxDirectoryBodyBytes);
}

bool MyNetworkPacket_RequestStationsConnectionData::SendRequest() {
    return SendRequestText(std::string(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestStationsConnectionData::RequestText() const {
    return ComposeRequest(std::string(), kNormalTail, kDebugTail);
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestStationsConnectionData::HandleRecord(ResponseRecord& record) {
    RecordReader& in = record.fields;
    if (record.type == ResponseRecordType_DirectoryHeader) {
        std::uint8_t version = 0;
        std::int32_t count = 0;
        if (!in.ReadByte(version) || !in.ReadInt32(count) || !in.atEnd() ||
            version != kDirectoryFormatVersion || count > kMaxStations)
            return RecordOutcome_InvalidData;
        expectedStationCount = count;
        return RecordOutcome_Next;
    }
    if (record.type != ResponseRecordType_DirectoryStation)
        return RecordOutcome_InvalidData;

    auto station = std::make_unique<StationConnectionData>();
    if (!in.ReadInt32(station->stationId) || !in.ReadUInt16(station->port) || !in.ReadText(station->name) ||
        !in.ReadByteString(station->host) || !in.ReadByteString(station->basePath) || !in.atEnd())
        return RecordOutcome_InvalidData;
    // A zero byte, a blank or any other control byte cannot be part of a host name or a path: cutting at
    // a zero would reach another server, and CR, LF or a blank would add lines to every request.
    auto unsafe = [](const std::string& text) {
        return std::any_of(text.begin(), text.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte <= 0x20 || byte == 0x7F;
        });
    };
    if (unsafe(station->host) || unsafe(station->basePath))
        return RecordOutcome_InvalidData;

    stationIds.push_back(station->stationId);
    if (context && context->networkHandler)
        context->networkHandler->AddStationConnectionData(std::move(station));
    if (static_cast<std::int64_t>(stationIds.size()) < expectedStationCount)
        return RecordOutcome_Next;
    if (MyMediaHandler* media = mediaHandler())
        media->AddStationIdList(std::move(stationIds));
    stationIds.clear();
    resultDelivered = true;
    answered_ = true;
    return RecordOutcome_Delivered;
}
