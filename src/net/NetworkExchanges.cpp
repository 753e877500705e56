#include "net/NetworkExchanges.h"

#include "net/MyNetworkHandlerMessages.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateDownload.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateInfo.h"
#include "net/MyNetworkPacket_RequestStationInfo.h"
#include "net/MyNetworkPacket_RequestStationsConnectionData.h"
#include "net/MyNetworkPacket_RequestStreamChatRowList.h"
#include "net/MyNetworkPacket_RequestStreamData.h"
#include "net/MyNetworkPacket_RequestTrackInfoList.h"
#include "net/MyNetworkPacket_RequestTrackSearch.h"

std::unique_ptr<MyNetworkPacketBase>
MakeNetworkExchange(MyAppContext* context, const MyNetworkHandlerMessage& message,
                    std::shared_ptr<const StationConnectionData> station) {
    switch (message.type) {
    case NetworkHandlerMessageType_GetStreamData: {
        if (!station)
            return nullptr;
        const auto* m = MessageAs<MyNetworkHandlerMessage_GetStreamData>(message);
        if (!m)
            return nullptr;
        return std::make_unique<MyNetworkPacket_RequestStreamData>(context, std::move(station), m->stationId,
                                                                   m->streamId, m->startOffset, m->length,
                                                                   m->requestNumber);
    }
    case NetworkHandlerMessageType_GetTrackInfoList: {
        if (!station)
            return nullptr;
        const auto* m = MessageAs<MyNetworkHandlerMessage_GetTrackInfoList>(message);
        if (!m)
            return nullptr;
        return std::make_unique<MyNetworkPacket_RequestTrackInfoList>(context, std::move(station),
                                                                      m->stationId, m->streamId);
    }
    case NetworkHandlerMessageType_GetStreamChatRowList: {
        if (!station)
            return nullptr;
        const auto* m = MessageAs<MyNetworkHandlerMessage_GetStreamChatRowList>(message);
        if (!m)
            return nullptr;
        return std::make_unique<MyNetworkPacket_RequestStreamChatRowList>(context, std::move(station),
                                                                          m->stationId, m->streamId);
    }
    case NetworkHandlerMessageType_GetStationInfo: {
        if (!station)
            return nullptr;
        const auto* m = MessageAs<MyNetworkHandlerMessage_GetStationInfo>(message);
        if (!m)
            return nullptr;
        return std::make_unique<MyNetworkPacket_RequestStationInfo>(context, std::move(station),
                                                                    m->stationId);
    }
    case NetworkHandlerMessageType_SearchTracks:
    case NetworkHandlerMessageType_SearchChat: {
        if (!station)
            return nullptr;
        const auto* m = SearchMessageOf(message);
        if (!m)
            return nullptr;
        return std::make_unique<MyNetworkPacket_RequestTrackSearch>(
            context, std::move(station), m->stationId, m->query, m->generation, m->chat, m->page);
    }
    case NetworkHandlerMessageType_GetStationsConnectionData:
        return std::make_unique<MyNetworkPacket_RequestStationsConnectionData>(context);
    case NetworkHandlerMessageType_GetApplicationUpdateInfo:
        return std::make_unique<MyNetworkPacket_RequestApplicationUpdateInfo>(context);
    case NetworkHandlerMessageType_GetApplicationUpdateDownload:
        return std::make_unique<MyNetworkPacket_RequestApplicationUpdateDownload>(context);
    default:
        return nullptr;
    }
}
