#include "net/MyNetworkHandler.h"

#include "app/ShowErrorBox.h"
#include "net/NetworkExchanges.h"

namespace {

constexpr const char* kSourceName = VANTRI_SOURCE_NAME("NetworkHandler");

std::int32_t StationIdOf(const MyNetworkHandlerMessage& message) {
    switch (message.type) {
    case NetworkHandlerMessageType_GetStreamData:
        return static_cast<const MyNetworkHandlerMessage_GetStreamData&>(message).stationId;
    case NetworkHandlerMessageType_GetTrackInfoList:
        return static_cast<const MyNetworkHandlerMessage_GetTrackInfoList&>(message).stationId;
    case NetworkHandlerMessageType_GetStreamChatRowList:
        return static_cast<const MyNetworkHandlerMessage_GetStreamChatRowList&>(message).stationId;
    default:
        return static_cast<const MyNetworkHandlerMessage_GetStationInfo&>(message).stationId;
    }
}

} // namespace

MyNetworkHandler::MyNetworkHandler(MyAppContext* context) : MyNetworkHandler(context, MakeNetworkExchange) {}

MyNetworkHandler::MyNetworkHandler(MyAppContext* context, ExchangeFactory factory)
    : context(context), factory_(std::move(factory)) {}

// Exchanges still in flight close their sockets here; the thread has ended by the time this runs.
MyNetworkHandler::~MyNetworkHandler() = default;

void MyNetworkHandler::OnThreadStart() {
    if (!platform::StartNetworking())
        ShowPlainErrorBox(u"InitWinsock FAILED!");
}

void MyNetworkHandler::HandleMessage(MyMessageBase* base) {
    auto* message = static_cast<MyNetworkHandlerMessage*>(base);
    switch (message->type) {
    case NetworkHandlerMessageType_GetStreamData:
    case NetworkHandlerMessageType_GetTrackInfoList:
    case NetworkHandlerMessageType_GetStreamChatRowList:
    case NetworkHandlerMessageType_GetStationInfo: {
        // Every station request is refused the same way when the directory has not named the station.
        std::shared_ptr<const StationConnectionData> station = FindStation(StationIdOf(*message));
        if (!station)
            return;
        StartExchange(factory_ ? factory_(context, *message, std::move(station)) : nullptr);
        return;
    }
    case NetworkHandlerMessageType_GetStationsConnectionData:
    case NetworkHandlerMessageType_GetApplicationUpdateInfo:
    case NetworkHandlerMessageType_GetApplicationUpdateDownload:
        StartExchange(factory_ ? factory_(context, *message, nullptr) : nullptr);
        return;
    case NetworkHandlerMessageType_AddStationConnectionData: {
        auto& add = static_cast<MyNetworkHandlerMessage_AddStationConnectionData&>(*message);
        if (!add.data)
            return;
        // A replaced record lives on for the exchanges that still hold it.
        const std::int32_t stationId = add.data->stationId;
        stationConnections_.erase(stationId);
        stationConnections_.emplace(stationId,
                                    std::shared_ptr<const StationConnectionData>(std::move(add.data)));
        return;
    }
    default:
        return; // unknown types are ignored
    }
}

std::shared_ptr<const StationConnectionData> MyNetworkHandler::FindStation(std::int32_t stationId) const {
    auto found = stationConnections_.find(stationId);
    if (found == stationConnections_.end()) {
        ShowErrorBox(u"StationConnectionData not found!", kSourceName, __LINE__);
        return nullptr;
    }
    return found->second;
}

void MyNetworkHandler::StartExchange(std::unique_ptr<MyNetworkPacketBase> exchange) {
    if (!exchange)
        return; // this build has no exchange for the request
    if (waitHandleCount() >= kMaxExchangesInFlight) {
        ShowErrorBox(u"AddEvent FAILED!", kSourceName, __LINE__);
        return;
    }
    platform::Event* event = &exchange->event();
    AddWaitHandle(event);
    if (!exchange->DoConnect()) {
        ShowErrorBox(u"DoConnect FAILED!", kSourceName, __LINE__);
        RemoveWaitHandle(event);
        return;
    }
    inFlight_.emplace(event, std::move(exchange));
    UpdateInFlightCount();
}

bool MyNetworkHandler::HandleWaitHandle(platform::Event* handle) {
    auto found = inFlight_.find(handle);
    if (found == inFlight_.end())
        return true;
    if (!found->second->HandleNetworkEvent()) {
        RemoveWaitHandle(handle);
        inFlight_.erase(found);
        UpdateInFlightCount();
    }
    return true;
}

void MyNetworkHandler::GetStreamData(std::int32_t stationId, std::int32_t streamId,
                                     std::int32_t requestNumber, std::uint64_t startOffset,
                                     std::int32_t length) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetStreamData>(stationId, streamId, requestNumber,
                                                                         startOffset, length));
}

void MyNetworkHandler::GetTrackInfoList(std::int32_t stationId, std::int32_t streamId) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetTrackInfoList>(stationId, streamId));
}

void MyNetworkHandler::GetStreamChatRowList(std::int32_t stationId, std::int32_t streamId) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetStreamChatRowList>(stationId, streamId));
}

void MyNetworkHandler::GetStationInfo(std::int32_t stationId) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetStationInfo>(stationId));
}

void MyNetworkHandler::GetStationsConnectionData() {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetStationsConnectionData>());
}

void MyNetworkHandler::AddStationConnectionData(std::unique_ptr<StationConnectionData> data) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_AddStationConnectionData>(std::move(data)));
}

void MyNetworkHandler::GetApplicationUpdateInfo() {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetApplicationUpdateInfo>());
}

void MyNetworkHandler::GetApplicationUpdateDownload() {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_GetApplicationUpdateDownload>());
}
