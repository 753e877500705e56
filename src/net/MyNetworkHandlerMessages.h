#pragma once
// Messages to the network thread. Each sending operation allocates one, fills it and queues it with
// QueueMessage; only type 5 owns something (the record it carries).

#include "app/MyMessageBase.h"
#include "net/KeptShow.h"
#include "net/StationConnectionData.h"

#include <cstdint>
#include <memory>
#include <string>

class MyNetworkHandlerMessage : public MyMessageBase {
public:
    using MyMessageBase::MyMessageBase;
};

enum NetworkHandlerMessageType : std::int32_t {
    NetworkHandlerMessageType_GetStreamData = 0,
    NetworkHandlerMessageType_GetTrackInfoList = 1,
    NetworkHandlerMessageType_GetStreamChatRowList = 2,
    NetworkHandlerMessageType_GetStationInfo = 3,
    NetworkHandlerMessageType_GetStationsConnectionData = 4,
    NetworkHandlerMessageType_AddStationConnectionData = 5,
    NetworkHandlerMessageType_GetApplicationUpdateInfo = 6,
    NetworkHandlerMessageType_GetApplicationUpdateDownload = 7,
    NetworkHandlerMessageType_SearchTracks = 8,
    NetworkHandlerMessageType_SearchChat = 9, // a MyNetworkHandlerMessage_SearchTracks with `chat`
    NetworkHandlerMessageType_KeepShow = 10,
    NetworkHandlerMessageType_ForgetShow = 11,
};

// Bytes the media thread asks for in one stream-data request.
constexpr std::int32_t kStreamDataRequestLength = 524288; // 0x80000

struct MyNetworkHandlerMessage_GetStreamData : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetStreamData;
    MyNetworkHandlerMessage_GetStreamData(std::int32_t stationId, std::int32_t streamId,
                                          std::int32_t requestNumber, std::uint64_t startOffset,
                                          std::int32_t length = kStreamDataRequestLength)
        : MyNetworkHandlerMessage(kType), stationId(stationId), streamId(streamId),
          requestNumber(requestNumber), startOffset(startOffset), length(length) {}
    std::int32_t stationId;
    std::int32_t streamId;
    std::int32_t requestNumber;
    std::uint64_t startOffset; // bytes
    std::int32_t length;       // bytes
};

struct MyNetworkHandlerMessage_GetTrackInfoList : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetTrackInfoList;
    MyNetworkHandlerMessage_GetTrackInfoList(std::int32_t stationId, std::int32_t streamId)
        : MyNetworkHandlerMessage(kType), stationId(stationId), streamId(streamId) {}
    std::int32_t stationId;
    std::int32_t streamId;
};

struct MyNetworkHandlerMessage_GetStreamChatRowList : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetStreamChatRowList;
    MyNetworkHandlerMessage_GetStreamChatRowList(std::int32_t stationId, std::int32_t streamId)
        : MyNetworkHandlerMessage(kType), stationId(stationId), streamId(streamId) {}
    std::int32_t stationId;
    std::int32_t streamId;
};

struct MyNetworkHandlerMessage_GetStationInfo : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetStationInfo;
    explicit MyNetworkHandlerMessage_GetStationInfo(std::int32_t stationId)
        : MyNetworkHandlerMessage(kType), stationId(stationId) {}
    std::int32_t stationId;
};

struct MyNetworkHandlerMessage_GetStationsConnectionData : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetStationsConnectionData;
    MyNetworkHandlerMessage_GetStationsConnectionData() : MyNetworkHandlerMessage(kType) {}
};

struct MyNetworkHandlerMessage_AddStationConnectionData : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_AddStationConnectionData;
    explicit MyNetworkHandlerMessage_AddStationConnectionData(std::unique_ptr<StationConnectionData> data)
        : MyNetworkHandlerMessage(kType), data(std::move(data)) {}
    std::unique_ptr<StationConnectionData> data; // ownership passes to the network thread
};

struct MyNetworkHandlerMessage_GetApplicationUpdateInfo : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetApplicationUpdateInfo;
    MyNetworkHandlerMessage_GetApplicationUpdateInfo() : MyNetworkHandlerMessage(kType) {}
};

struct MyNetworkHandlerMessage_GetApplicationUpdateDownload : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_GetApplicationUpdateDownload;
    MyNetworkHandlerMessage_GetApplicationUpdateDownload() : MyNetworkHandlerMessage(kType) {}
};

// A search of shows and tracks (or, with `chat`, of chat lines) on one station's server; the answer goes to
// the user-interface thread with `generation`, the asker's number for the query.
struct MyNetworkHandlerMessage_SearchTracks : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_SearchTracks;
    MyNetworkHandlerMessage_SearchTracks(std::int32_t stationId, std::u16string query,
                                         std::uint32_t generation, bool chat = false, std::uint16_t page = 0)
        : MyNetworkHandlerMessage(chat ? NetworkHandlerMessageType_SearchChat : kType), stationId(stationId),
          query(std::move(query)), generation(generation), chat(chat), page(page) {}
    std::int32_t stationId;
    std::u16string query;
    std::uint32_t generation;
    bool chat;          // chat lines rather than shows and tracks
    std::uint16_t page; // the page of hits asked for, from 0
};

// `message` as a search of either kind, or null.
inline const MyNetworkHandlerMessage_SearchTracks* SearchMessageOf(const MyNetworkHandlerMessage& message) {
    if (message.type != NetworkHandlerMessageType_SearchTracks &&
        message.type != NetworkHandlerMessageType_SearchChat)
        return nullptr;
    return dynamic_cast<const MyNetworkHandlerMessage_SearchTracks*>(&message);
}

// Keeps a show for offline listening: its recording, track list and chat, fetched into the stream cache.
// The station's server is the one the network thread's table names for the show's station.
struct MyNetworkHandlerMessage_KeepShow : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_KeepShow;
    explicit MyNetworkHandlerMessage_KeepShow(KeptShow show)
        : MyNetworkHandlerMessage(kType), show(std::move(show)) {}
    KeptShow show;
};

// Forgets the offline copy of a show (and stops keeping it).
struct MyNetworkHandlerMessage_ForgetShow : MyNetworkHandlerMessage {
    static constexpr std::int32_t kType = NetworkHandlerMessageType_ForgetShow;
    MyNetworkHandlerMessage_ForgetShow(std::int32_t stationId, std::int32_t streamId)
        : MyNetworkHandlerMessage(kType), stationId(stationId), streamId(streamId) {}
    std::int32_t stationId;
    std::int32_t streamId;
};
