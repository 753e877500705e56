#include "net/MyNetworkHandler.h"

#include "app/MyAppContext.h"
#include "app/ShowErrorBox.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkPacket_RequestStreamData.h"
#include "net/NetworkExchanges.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr const char* kSourceName = VANTRI_SOURCE_NAME("NetworkHandler");

// The station a station request (types 0 to 3) asks about; none for any other message.
std::optional<std::int32_t> StationIdOf(const MyNetworkHandlerMessage& message) {
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetStreamData>(message))
        return m->stationId;
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetTrackInfoList>(message))
        return m->stationId;
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetStreamChatRowList>(message))
        return m->stationId;
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetStationInfo>(message))
        return m->stationId;
    if (const auto* m = SearchMessageOf(message))
        return m->stationId;
    return std::nullopt;
}

// A copy of a request message, kept while the request waits; null for a message that is no request.
std::unique_ptr<MyNetworkHandlerMessage> CopyRequest(const MyNetworkHandlerMessage& message) {
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetStreamData>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetStreamData>(
            m->stationId, m->streamId, m->requestNumber, m->startOffset, m->length);
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetTrackInfoList>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetTrackInfoList>(m->stationId, m->streamId);
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetStreamChatRowList>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetStreamChatRowList>(m->stationId, m->streamId);
    if (const auto* m = MessageAs<MyNetworkHandlerMessage_GetStationInfo>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetStationInfo>(m->stationId);
    if (const auto* m = SearchMessageOf(message))
        return std::make_unique<MyNetworkHandlerMessage_SearchTracks>(m->stationId, m->query, m->generation,
                                                                      m->chat, m->page);
    if (MessageAs<MyNetworkHandlerMessage_GetStationsConnectionData>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetStationsConnectionData>();
    if (MessageAs<MyNetworkHandlerMessage_GetApplicationUpdateInfo>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetApplicationUpdateInfo>();
    if (MessageAs<MyNetworkHandlerMessage_GetApplicationUpdateDownload>(message))
        return std::make_unique<MyNetworkHandlerMessage_GetApplicationUpdateDownload>();
    return nullptr;
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
    AddWaitHandle(&deadlineTimer_.event());
    AddWaitHandle(&keepRetryTimer_.event());
    LoadKeptShows();
}

void MyNetworkHandler::HandleMessage(MyMessageBase* base) {
    auto* message = dynamic_cast<MyNetworkHandlerMessage*>(base);
    if (!message)
        return; // another thread's message: nothing here reads it
    switch (message->type) {
    case NetworkHandlerMessageType_GetStreamData:
    case NetworkHandlerMessageType_GetTrackInfoList:
    case NetworkHandlerMessageType_GetStreamChatRowList:
    case NetworkHandlerMessageType_GetStationInfo:
    case NetworkHandlerMessageType_SearchTracks:
    case NetworkHandlerMessageType_SearchChat: {
        const std::optional<std::int32_t> stationId = StationIdOf(*message);
        if (!stationId)
            return;
        if (AnswerFromKeptCopy(*message))
            return;
        // Every station request is refused the same way when the directory has not named the station.
        std::shared_ptr<const StationConnectionData> station = FindStation(*stationId);
        if (!station) {
            FinishUnstartedStreamData(*message);
            return;
        }
        if (const auto* streamData = MessageAs<MyNetworkHandlerMessage_GetStreamData>(*message)) {
            CancelOlderSeries(*streamData);
            if (AnswerFromCache(*streamData, *station))
                return;
        }
        if (const auto* search = SearchMessageOf(*message)) {
            if (search->generation != searchGeneration_) {
                searchGeneration_ = search->generation;
                searchedServers_.clear();
            }
            if (!searchedServers_.emplace(station->host, station->port, search->chat, search->page).second)
                return; // that server's answer covers this station too
        }
        Request(*message, std::move(station));
        ExpireDeadlines();
        return;
    }
    case NetworkHandlerMessageType_GetStationsConnectionData:
        // The main window asks for the directory once it exists: it learns the kept shows now too.
        for (const auto& entry : keptShows_)
            PostKeepProgress(entry.first);
        [[fallthrough]];
    case NetworkHandlerMessageType_GetApplicationUpdateInfo:
    case NetworkHandlerMessageType_GetApplicationUpdateDownload:
        Request(*message, nullptr);
        ExpireDeadlines();
        return;
    case NetworkHandlerMessageType_KeepShow:
        if (auto* keep = MessageAs<MyNetworkHandlerMessage_KeepShow>(*message))
            StartKeeping(std::move(keep->show));
        ExpireDeadlines();
        return;
    case NetworkHandlerMessageType_ForgetShow:
        if (auto* forget = MessageAs<MyNetworkHandlerMessage_ForgetShow>(*message))
            Forget(forget->stationId, forget->streamId);
        ExpireDeadlines();
        return;
    case NetworkHandlerMessageType_AddStationConnectionData: {
        auto* add = MessageAs<MyNetworkHandlerMessage_AddStationConnectionData>(*message);
        if (!add || !add->data)
            return;
        // A replaced record lives on for the exchanges that still hold it.
        const std::int32_t stationId = add->data->stationId;
        stationConnections_.erase(stationId);
        stationConnections_.emplace(stationId,
                                    std::shared_ptr<const StationConnectionData>(std::move(add->data)));
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

void MyNetworkHandler::FinishUnstartedStreamData(const MyNetworkHandlerMessage& message) {
    const auto* streamData = MessageAs<MyNetworkHandlerMessage_GetStreamData>(message);
    if (!streamData || !context || !context->mediaHandler)
        return;
    context->mediaHandler->AddMp3Data(nullptr, streamData->requestNumber, true);
}

void MyNetworkHandler::CancelOlderSeries(const MyNetworkHandlerMessage_GetStreamData& message) {
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        const auto* stream = MessageAs<MyNetworkHandlerMessage_GetStreamData>(*it->message);
        if (stream && stream->stationId == message.stationId && stream->streamId == message.streamId &&
            stream->requestNumber < message.requestNumber) {
            // Its finishing message carries the old series' number, which the media thread drops.
            FinishUnstartedStreamData(*stream);
            it = waiting_.erase(it);
        } else {
            ++it;
        }
    }
    UpdateInFlightCount();
    for (auto it = inFlight_.begin(); it != inFlight_.end();) {
        auto next = std::next(it);
        auto* stream = dynamic_cast<MyNetworkPacket_RequestStreamData*>(it->second.get());
        // A window being kept for offline listening is no series of the player's.
        if (stream && it->first != keepExchange_ && stream->stationId == message.stationId &&
            stream->streamId == message.streamId && stream->requestNumber < message.requestNumber) {
            // Its finishing message carries the old series' number, which the media thread drops.
            stream->TimeOut();
            EndExchange(it);
        }
        it = next;
    }
}

bool MyNetworkHandler::AnswerFromCache(const MyNetworkHandlerMessage_GetStreamData& message,
                                       const StationConnectionData& station) {
    if (!streamCache_ || !context || !context->mediaHandler || message.length <= 0)
        return false;
    std::vector<std::uint8_t> bytes;
    const std::uint32_t length = static_cast<std::uint32_t>(message.length);
    if (streamCache_->Read(StreamCache::StreamName(station, message.stationId, message.streamId),
                           message.startOffset, length, bytes) == 0)
        return false;
    // The blocks an exchange would have made of the same bytes: full ones, and a last one partly filled.
    std::vector<std::unique_ptr<Mp3DataBlock>> blocks;
    for (std::size_t at = 0; at < bytes.size(); at += Mp3DataBlock::kCapacity) {
        auto block = std::make_unique<Mp3DataBlock>();
        const std::size_t part = std::min<std::size_t>(Mp3DataBlock::kCapacity, bytes.size() - at);
        std::memcpy(block->data, bytes.data() + at, part);
        block->fill = static_cast<std::uint16_t>(part);
        blocks.push_back(std::move(block));
    }
    const bool whole = bytes.size() == length;
    context->mediaHandler->AddMp3Data(std::move(blocks), message.requestNumber, whole);
    // Short of the window: ended as an exchange that stopped early, so that the media thread asks for the
    // bytes after these.
    if (!whole)
        context->mediaHandler->AddMp3Data(nullptr, message.requestNumber, true);
    return true;
}

void MyNetworkHandler::EndExchange(
    std::map<platform::Event*, std::unique_ptr<MyNetworkPacketBase>>::iterator found) {
    if (found->first == keepExchange_)
        KeepExchangeEnded(*found->second);
    else
        StandInForLostAnswer(*found->second);
    RemoveWaitHandle(found->first);
    inFlight_.erase(found);
    UpdateInFlightCount();
}

void MyNetworkHandler::Request(const MyNetworkHandlerMessage& message,
                               std::shared_ptr<const StationConnectionData> station) {
    if (inFlight_.size() < kMaxExchangesInFlight && waiting_.empty()) {
        StartExchange(factory_ ? factory_(context, message, std::move(station)) : nullptr);
        return;
    }
    if (std::unique_ptr<MyNetworkHandlerMessage> copy = CopyRequest(message))
        waiting_.push_back({std::move(copy), std::move(station)});
    UpdateInFlightCount();
}

void MyNetworkHandler::StartWaiting() {
    while (inFlight_.size() < kMaxExchangesInFlight && !waiting_.empty()) {
        WaitingRequest next = std::move(waiting_.front());
        waiting_.pop_front();
        UpdateInFlightCount();
        StartExchange(factory_ ? factory_(context, *next.message, std::move(next.station)) : nullptr);
    }
    ContinueKeeping();
}

void MyNetworkHandler::StartExchange(std::unique_ptr<MyNetworkPacketBase> exchange) {
    if (!exchange)
        return; // this build has no exchange for the request
    if (streamCache_)
        if (auto* stream = dynamic_cast<MyNetworkPacket_RequestStreamData*>(exchange.get()))
            stream->KeepBytesIn(streamCache_.get());
    exchange->SetResolver(resolver_);
    exchange->SetTimeouts(timeouts_.connect, exchange->type() == NetworkPacketType_RequestStreamData
                                                 ? timeouts_.streamIdle
                                                 : timeouts_.catalogueIdle);
    platform::Event* event = &exchange->event();
    AddWaitHandle(event);
    if (!exchange->DoConnect()) {
        RemoveWaitHandle(event);
        exchange->Disconnect(NETWORKERROR_NONE);
        if (event == keepExchange_)
            KeepExchangeEnded(*exchange);
        else if (KeptShowsCover(*exchange))
            StandInForLostAnswer(*exchange);
        else
            ShowErrorBox(u"DoConnect FAILED!", kSourceName, __LINE__);
        return;
    }
    inFlight_.emplace(event, std::move(exchange));
    UpdateInFlightCount();
}

bool MyNetworkHandler::HandleWaitHandle(platform::Event* handle) {
    if (handle == &deadlineTimer_.event()) {
        ExpireDeadlines();
        return true;
    }
    if (handle == &keepRetryTimer_.event()) {
        keepRetryTimer_.Disarm();
        keepRetryArmed_ = false;
        ContinueKeeping();
        ExpireDeadlines();
        return true;
    }
    auto found = inFlight_.find(handle);
    if (found == inFlight_.end())
        return true;
    if (!found->second->HandleNetworkEvent()) {
        // A lookup or connection that failed is a start that failed, reported as one; a search that
        // cannot reach its server falls back to the local search without a box, and an answer the kept
        // shows stand in for, or a window being kept (tried again later), needs none either.
        const bool failedStart = found->second->startFailed() &&
                                 found->second->type() != NetworkPacketType_RequestTrackSearch &&
                                 found->first != keepExchange_;
        if (failedStart && !KeptShowsCover(*found->second))
            ShowErrorBox(u"DoConnect FAILED!", kSourceName, __LINE__);
        EndExchange(found);
    }
    ExpireDeadlines();
    return true;
}

void MyNetworkHandler::ExpireDeadlines() {
    const auto now = MyNetworkPacketBase::Clock::now();
    for (auto it = inFlight_.begin(); it != inFlight_.end();) {
        auto next = std::next(it);
        if (it->second->deadline() <= now) {
            it->second->TimeOut();
            EndExchange(it);
        }
        it = next;
    }
    // Places freed by exchanges that ended go to the requests waiting for them.
    StartWaiting();
    auto earliest = MyNetworkPacketBase::Clock::time_point::max();
    for (const auto& entry : inFlight_)
        earliest = std::min(earliest, entry.second->deadline());
    if (earliest == MyNetworkPacketBase::Clock::time_point::max()) {
        deadlineTimer_.Disarm();
        return;
    }
    // Rounded up, so that the wake-up never comes before the deadline it is for.
    deadlineTimer_.Arm(std::chrono::ceil<std::chrono::milliseconds>(earliest - now));
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

void MyNetworkHandler::SearchTracks(std::int32_t stationId, std::u16string query, std::uint32_t generation) {
    QueueMessage(
        std::make_unique<MyNetworkHandlerMessage_SearchTracks>(stationId, std::move(query), generation));
}

void MyNetworkHandler::SearchChat(std::int32_t stationId, std::u16string query, std::uint32_t generation,
                                  std::uint16_t page) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_SearchTracks>(stationId, std::move(query),
                                                                        generation, true, page));
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
