#include "net/MyNetworkPacket_RequestTrackInfoList.h"

#include "media/MyMediaHandler.h"
#include "net/ResponseLimits.h"

#include <cctype>
#include <string_view>

namespace {

constexpr const char* kNormalTail = " HTTP/1.1\r\n";
constexpr const char* kDebugTail = "&debug HTTP/1.1\r\n";

} // namespace

MyNetworkPacket_RequestTrackInfoList::MyNetworkPacket_RequestTrackInfoList(
    MyAppContext* context, std::shared_ptr<const StationConnectionData> station, std::int32_t stationId,
    std::int32_t streamId)
    : MyNetworkRecordPacketBase(context, NetworkPacketType_RequestTrackInfoList), stationId(stationId),
      streamId(streamId), list(std::make_unique<TrackInfoList>()) {
    connectionData = std::move(station);
    SetBodyLimit(kMaxTrackListBodyBytes);
}

MyNetworkPacket_RequestTrackInfoList::~MyNetworkPacket_RequestTrackInfoList() = default;

std::string MyNetworkPacket_RequestTrackInfoList::PathAndQuery() const {
    return "getstreaminfo/?streamid=" + std::to_string(static_cast<std::uint32_t>(streamId));
}

bool MyNetworkPacket_RequestTrackInfoList::SendRequest() {
    return SendRequestText(PathAndQuery(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestTrackInfoList::RequestText() const {
    return ComposeRequest(PathAndQuery(), kNormalTail, kDebugTail);
}

bool MyNetworkPacket_RequestTrackInfoList::AnnouncesChatSync() const {
    const std::string_view name = kChatSyncHeader;
    for (const std::string& line : headerLines()) {
        if (line.size() <= name.size() || line[name.size()] != ':')
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(line[i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        if (same)
            return true;
    }
    return false;
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestTrackInfoList::HandleChatSync(ResponseRecord& record) {
    awaitingChatSync = false;
    RecordReader& in = record.fields;
    std::uint8_t version = 0;
    std::uint16_t count = 0;
    if (record.type != ResponseRecordType_ChatSync || !in.ReadByte(version))
        return RecordOutcome_InvalidData;
    if (version != kChatSyncFormatVersion)
        return RecordOutcome_WrongVersion;
    if (!in.ReadUInt16(count) || count > kMaxChatSyncPoints)
        return RecordOutcome_InvalidData;
    auto points = std::make_unique<ChatSyncPoints>();
    for (std::uint16_t i = 0; i < count; ++i) {
        ChatSyncPoint point;
        if (!in.ReadInt32(point.playSecond) || !in.ReadInt32(point.chatSecond))
            return RecordOutcome_InvalidData;
        points->push_back(point);
    }
    if (!in.atEnd())
        return RecordOutcome_InvalidData;
    if (MyMediaHandler* media = mediaHandler())
        media->AddChatSyncPoints(stationId, streamId, std::move(points));
    return RecordOutcome_Delivered;
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestTrackInfoList::HandleRecord(ResponseRecord& record) {
    if (awaitingChatSync)
        return HandleChatSync(record);
    if (!list)
        return RecordOutcome_InvalidData; // nothing is read once the result has gone
    RecordReader& in = record.fields;
    if (record.type == ResponseRecordType_TrackListHeader) {
        std::uint8_t version = 0;
        std::int32_t count = 0;
        if (!in.ReadByte(version))
            return RecordOutcome_InvalidData;
        if (version != kTrackListFormatVersion)
            return RecordOutcome_WrongVersion;
        if (!in.ReadInt32(count) || !in.atEnd() || count > kMaxTracks)
            return RecordOutcome_InvalidData;
        expectedTrackCount = count;
        return RecordOutcome_Next;
    }
    if (record.type != ResponseRecordType_Track)
        return RecordOutcome_InvalidData;

    TrackInfo track;
    std::uint8_t flag = 0;
    if (!in.ReadInt32(track.start) || !in.ReadInt32(track.secondTime) || !in.ReadByte(track.trackKind) ||
        !in.ReadByte(flag) || !in.ReadText(track.text1) || !in.ReadText(track.text2) || !in.atEnd())
        return RecordOutcome_InvalidData;
    track.flag = flag != 0;
    list->push_back(std::move(track));

    if (static_cast<std::int64_t>(list->size()) < expectedTrackCount)
        return RecordOutcome_Next;
    if (MyMediaHandler* media = mediaHandler())
        media->AddTrackInfoList(stationId, streamId, std::move(list));
    list.reset();
    resultDelivered = true;
    answered_ = true;
    if (AnnouncesChatSync()) {
        awaitingChatSync = true;
        return RecordOutcome_Next;
    }
    return RecordOutcome_Delivered;
}

void MyNetworkPacket_RequestTrackInfoList::Disconnect(NetworkError error) {
    MyNetworkPacketBase::Disconnect(error);
    list.reset();
    if (resultDelivered)
        return;
    resultDelivered = true; // one end message per exchange
    if (MyMediaHandler* media = mediaHandler())
        media->AddTrackInfoList(stationId, streamId, nullptr);
}
