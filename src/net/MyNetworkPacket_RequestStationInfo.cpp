#include "net/MyNetworkPacket_RequestStationInfo.h"

#include "media/MyMediaHandler.h"
#include "net/ResponseLimits.h"

namespace {

constexpr const char* kNormalTail = "getstationinfo/ HTTP/1.1\r\n";
constexpr const char* kDebugTail = "getstationinfo/?debug HTTP/1.1\r\n";

} // namespace

MyNetworkPacket_RequestStationInfo::MyNetworkPacket_RequestStationInfo(
    MyAppContext* context, std::shared_ptr<const StationConnectionData> station, std::int32_t stationId)
    : MyNetworkRecordPacketBase(context, NetworkPacketType_RequestStationInfo), stationId(stationId),
      info(std::make_unique<StationInfoData>(stationId)) {
    connectionData = std::move(station);
    SetBodyLimit(kMaxStationInfoBodyBytes);
}

MyNetworkPacket_RequestStationInfo::~MyNetworkPacket_RequestStationInfo() = default;

bool MyNetworkPacket_RequestStationInfo::SendRequest() {
    return SendRequestText(std::string(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestStationInfo::RequestText() const {
    return ComposeRequest(std::string(), kNormalTail, kDebugTail);
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestStationInfo::HandleRecord(ResponseRecord& record) {
    if (!info)
        return RecordOutcome_InvalidData; // nothing is read once the result has gone
    switch (record.type) {
    case ResponseRecordType_StationHeader:
        return HandleHeader(record.fields);
    case ResponseRecordType_Stream:
        return HandleStream(record.fields);
    default:
        return RecordOutcome_InvalidData;
    }
}

MyNetworkRecordPacketBase::RecordOutcome MyNetworkPacket_RequestStationInfo::HandleHeader(RecordReader& in) {
    std::uint8_t version = 0;
    if (!in.ReadByte(version))
        return RecordOutcome_InvalidData;
    if (version != kStationInfoFormatVersionPlain && version != kStationInfoFormatVersionDescription)
        return RecordOutcome_WrongVersion;
    std::u16string name;
    std::u16string description;
    std::int32_t count = 0;
    if (!in.ReadText(name) ||
        (version == kStationInfoFormatVersionDescription && !in.ReadText(description)) ||
        !in.ReadInt32(count) || !in.atEnd() || count > kMaxStreams)
        return RecordOutcome_InvalidData;
    // A second header replaces what the first one set.
    formatVersion = version;
    info->name = std::move(name);
    if (version == kStationInfoFormatVersionDescription)
        info->description = std::move(description);
    expectedStreamCount = count;
    return RecordOutcome_Next;
}

MyNetworkRecordPacketBase::RecordOutcome MyNetworkPacket_RequestStationInfo::HandleStream(RecordReader& in) {
    auto stream = std::make_unique<StreamInfoData>();
    stream->stationId = stationId;
    std::uint32_t size = 0;
    std::uint8_t streamType = 0;
    std::uint8_t hasChat = 0;
    if (!in.ReadInt32(stream->streamId) || !in.ReadInt32(stream->startTime) ||
        !in.ReadUInt32(stream->duration) || !in.ReadUInt32(size) || !in.ReadByte(streamType) ||
        !in.ReadInt32(stream->extraValue1) || !in.ReadByte(hasChat) || !in.ReadInt32(stream->extraValue2) ||
        !in.ReadText(stream->text1) || !in.ReadText(stream->text2) || !in.ReadText(stream->text3) ||
        !in.atEnd())
        return RecordOutcome_InvalidData;
    if (streamType < kMinStreamType || streamType > kMaxStreamType)
        return RecordOutcome_InvalidData;
    stream->size = size; // 32 bits on the wire; the high half is 0
    stream->streamType = streamType - kMinStreamType;
    stream->hasChat = hasChat != 0;
    info->StoreStream(std::move(stream));

    if (static_cast<std::int64_t>(info->streams.size()) < expectedStreamCount)
        return RecordOutcome_Next;
    if (MyMediaHandler* media = mediaHandler())
        media->AddStationInfo(std::move(info));
    info.reset();
    resultDelivered = true;
    answered_ = true;
    return RecordOutcome_Delivered;
}

void MyNetworkPacket_RequestStationInfo::Disconnect(NetworkError error) {
    MyNetworkPacketBase::Disconnect(error);
    info.reset();
    if (resultDelivered)
        return;
    // The media thread hears once that this station's information will not come.
    resultDelivered = true;
    if (MyMediaHandler* media = mediaHandler())
        media->AddStationInfo(nullptr);
}
