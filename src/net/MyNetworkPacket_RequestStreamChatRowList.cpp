#include "net/MyNetworkPacket_RequestStreamChatRowList.h"

#include "media/MyMediaHandler.h"
#include "net/ResponseLimits.h"

namespace {

constexpr const char* kNormalTail = " HTTP/1.1\r\n";
constexpr const char* kDebugTail = "&debug HTTP/1.1\r\n";

} // namespace

MyNetworkPacket_RequestStreamChatRowList::MyNetworkPacket_RequestStreamChatRowList(
    MyAppContext* context, std::shared_ptr<const StationConnectionData> station, std::int32_t stationId,
    std::int32_t streamId)
    : MyNetworkRecordPacketBase(context, NetworkPacketType_RequestStreamChatRowList), stationId(stationId),
      streamId(streamId), list(std::make_unique<StreamChatRowList>()), argTexts(StreamChatRow::kMaxArgs) {
    connectionData = std::move(station);
    SetBodyLimit(kMaxChatBodyBytes);
    argViews.reserve(StreamChatRow::kMaxArgs);
}

MyNetworkPacket_RequestStreamChatRowList::~MyNetworkPacket_RequestStreamChatRowList() = default;

std::string MyNetworkPacket_RequestStreamChatRowList::PathAndQuery() const {
    return "getstreamchat/?streamid=" + std::to_string(static_cast<std::uint32_t>(streamId));
}

bool MyNetworkPacket_RequestStreamChatRowList::SendRequest() {
    return SendRequestText(PathAndQuery(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestStreamChatRowList::RequestText() const {
    return ComposeRequest(PathAndQuery(), kNormalTail, kDebugTail);
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestStreamChatRowList::HandleRecord(ResponseRecord& record) {
    if (!list)
        return RecordOutcome_InvalidData; // nothing is read once the result has gone
    RecordReader& in = record.fields;
    if (record.type == ResponseRecordType_ChatHeader) {
        std::uint8_t version = 0;
        std::int32_t count = 0;
        if (!in.ReadByte(version))
            return RecordOutcome_InvalidData;
        if (version != kChatFormatVersion)
            return RecordOutcome_WrongVersion;
        if (!in.SkipText() || !in.ReadInt32(count) || !in.atEnd() || count > kMaxChatRows)
            return RecordOutcome_InvalidData;
        expectedRowCount = count;
        // Room for the rows announced (at most kMaxChatRows), so the list never grows by copying itself;
        // rows never sent leave the room untouched.
        if (count > 0)
            list->reserve(static_cast<std::size_t>(count));
        return RecordOutcome_Next;
    }
    if (record.type != ResponseRecordType_ChatRow)
        return RecordOutcome_InvalidData;
    return HandleRow(in);
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestStreamChatRowList::HandleRow(RecordReader& in) {
    std::int32_t time = 0;
    std::uint8_t kind = 0;
    std::uint8_t argCount = 0;
    if (!in.ReadInt32(time) || !in.ReadByte(kind) || !in.ReadByte(argCount) ||
        argCount > StreamChatRow::kMaxArgs)
        return RecordOutcome_InvalidData;
    argViews.clear();
    for (int i = 0; i < argCount; ++i) {
        if (!in.ReadText(argTexts[i]))
            return RecordOutcome_InvalidData;
        argViews.push_back(argTexts[i]);
    }
    if (!in.atEnd())
        return RecordOutcome_InvalidData;
    list->emplace_back(time, kind, argViews);

    if (static_cast<std::int64_t>(list->size()) < expectedRowCount)
        return RecordOutcome_Next;
    if (MyMediaHandler* media = mediaHandler())
        media->AddStreamChatRowList(stationId, streamId, std::move(list));
    list.reset();
    resultDelivered = true;
    answered_ = true;
    return RecordOutcome_Delivered;
}

void MyNetworkPacket_RequestStreamChatRowList::Disconnect(NetworkError error) {
    MyNetworkPacketBase::Disconnect(error);
    list.reset();
    if (resultDelivered)
        return;
    resultDelivered = true; // one end message per exchange
    if (MyMediaHandler* media = mediaHandler())
        media->AddStreamChatRowList(stationId, streamId, nullptr);
}
