// The network thread's kept shows: keeping a show for offline listening piece by piece, and answering
// for a kept show without its servers (its station's entry, its track list and chat, its bytes).
#include "net/MyNetworkHandler.h"

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkPacket_RequestStationInfo.h"
#include "net/MyNetworkPacket_RequestStreamChatRowList.h"
#include "net/MyNetworkPacket_RequestStreamData.h"
#include "net/MyNetworkPacket_RequestTrackInfoList.h"

#include <algorithm>
#include <set>

namespace {

constexpr std::u16string_view kShowFile = u"show.txt";
constexpr std::u16string_view kTracksFile = u"tracks.records";
constexpr std::u16string_view kChatFile = u"chat.records";
// How long a show being kept waits after a window that brought nothing before it asks again.
constexpr std::chrono::milliseconds kKeepRetryDelay{5000};

enum KeepPart { KeepPart_Recording = 0, KeepPart_Tracks = 1, KeepPart_Chat = 2, KeepPart_Whole = 3 };

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

void MyNetworkHandler::KeepShow(const StreamInfoData& stream, std::u16string stationName) {
    StationConnectionData station;
    station.name = std::move(stationName);
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_KeepShow>(KeptShow::Of(stream, station)));
}

void MyNetworkHandler::ForgetShow(std::int32_t stationId, std::int32_t streamId) {
    QueueMessage(std::make_unique<MyNetworkHandlerMessage_ForgetShow>(stationId, streamId));
}

std::u16string MyNetworkHandler::KeptStreamName(const ShowKey& key) const {
    auto found = keptShows_.find(key);
    if (found == keptShows_.end())
        return {};
    return StreamCache::StreamName(found->second.station, key.first, key.second);
}

void MyNetworkHandler::LoadKeptShows() {
    if (!streamCache_)
        return;
    for (const std::u16string& stream : streamCache_->KeptStreams()) {
        std::vector<std::uint8_t> bytes;
        std::optional<KeptShow> show;
        if (streamCache_->GetFile(stream, kShowFile, bytes))
            show =
                KeptShow::Decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (!show ||
            StreamCache::StreamName(show->station, show->station.stationId, show->streamId) != stream) {
            // A kept folder without a sound entry cannot be reached; its bytes go back to the cache's rules.
            streamCache_->SetKept(stream, false);
            continue;
        }
        const ShowKey key{show->station.stationId, show->streamId};
        // The station's server as it was when the show was kept, until the directory names it again.
        if (!stationConnections_.count(key.first))
            stationConnections_.emplace(key.first,
                                        std::make_shared<const StationConnectionData>(show->station));
        keptShows_.emplace(key, std::move(*show));
        keepQueue_.push_back(key);
        PostKeepProgress(key);
    }
    ContinueKeeping();
}

void MyNetworkHandler::StartKeeping(KeptShow show) {
    if (!streamCache_)
        return;
    auto station = stationConnections_.find(show.station.stationId);
    if (station == stationConnections_.end())
        return; // a show of a station the directory did not name cannot be fetched
    const std::u16string name = show.station.name;
    show.station = *station->second;
    if (!name.empty())
        show.station.name = name;
    const ShowKey key{show.station.stationId, show.streamId};
    const std::u16string stream = StreamCache::StreamName(show.station, key.first, key.second);
    streamCache_->SetKept(stream, true);
    if (!streamCache_->SetFile(stream, kShowFile, Bytes(show.Encode()))) {
        streamCache_->SetKept(stream, false);
        return;
    }
    const bool known = keptShows_.count(key) != 0;
    keptShows_.insert_or_assign(key, std::move(show));
    if (!known)
        keepQueue_.push_back(key);
    PostKeepProgress(key);
    ContinueKeeping();
}

void MyNetworkHandler::Forget(std::int32_t stationId, std::int32_t streamId) {
    const ShowKey key{stationId, streamId};
    if (!streamCache_ || !keptShows_.count(key))
        return;
    const std::u16string stream = KeptStreamName(key);
    // Forgotten first, so that the window in flight, ended here, starts no other.
    keptShows_.erase(key);
    keepQueue_.erase(std::remove(keepQueue_.begin(), keepQueue_.end(), key), keepQueue_.end());
    if (keepExchange_ && keepingNow_ == key) {
        auto found = inFlight_.find(keepExchange_);
        if (found != inFlight_.end()) {
            found->second->TimeOut();
            EndExchange(found);
        }
    }
    streamCache_->ForgetStream(stream);
    if (context && context->callbacks)
        context->callbacks->KeepProgress(stationId, streamId, -1);
    ContinueKeeping();
}

void MyNetworkHandler::PostKeepProgress(const ShowKey& key) {
    auto found = keptShows_.find(key);
    if (found == keptShows_.end() || !context || !context->callbacks)
        return;
    const KeptShow& show = found->second;
    const std::u16string stream = KeptStreamName(key);
    const bool whole = std::find(keepQueue_.begin(), keepQueue_.end(), key) == keepQueue_.end();
    std::int32_t percent = 100;
    if (!whole) {
        const std::uint64_t held = streamCache_->BytesOfStream(stream, show.size);
        // 100 only once the track list and chat are in too.
        percent = show.size == 0
                      ? 0
                      : static_cast<std::int32_t>(std::min<std::uint64_t>(99, held * 100 / show.size));
    }
    context->callbacks->KeepProgress(key.first, key.second, percent);
}

void MyNetworkHandler::ContinueKeeping() {
    if (!streamCache_ || keepExchange_ || keepQueue_.empty() || keepRetryArmed_)
        return;
    // One place is left to the player's own requests.
    if (inFlight_.size() + 1 >= kMaxExchangesInFlight || !waiting_.empty())
        return;
    while (!keepQueue_.empty()) {
        const ShowKey key = keepQueue_.front();
        const KeptShow& show = keptShows_.at(key);
        const std::u16string stream = KeptStreamName(key);
        auto station = stationConnections_.find(key.first);
        std::shared_ptr<const StationConnectionData> server =
            station != stationConnections_.end()
                ? station->second
                : std::make_shared<const StationConnectionData>(show.station);
        std::vector<std::uint8_t> file;
        std::unique_ptr<MyNetworkPacketBase> exchange;
        const std::uint64_t gap = streamCache_->FirstGap(stream, show.size);
        if (gap < show.size) {
            const std::uint64_t length =
                std::min<std::uint64_t>(StreamCache::kMaxPieceBytes, show.size - gap);
            auto data = std::make_unique<MyNetworkPacket_RequestStreamData>(
                context, server, key.first, key.second, gap, static_cast<std::int32_t>(length), -1);
            data->KeepOnly();
            keepPart_ = KeepPart_Recording;
            keepGapBefore_ = gap;
            exchange = std::move(data);
        } else if (!streamCache_->GetFile(stream, kTracksFile, file)) {
            auto tracks = std::make_unique<MyNetworkPacket_RequestTrackInfoList>(context, server, key.first,
                                                                                 key.second);
            keepRecords_.clear();
            tracks->KeepRecordsIn(&keepRecords_);
            keepPart_ = KeepPart_Tracks;
            exchange = std::move(tracks);
        } else if (show.hasChat && !streamCache_->GetFile(stream, kChatFile, file)) {
            auto chat = std::make_unique<MyNetworkPacket_RequestStreamChatRowList>(context, server, key.first,
                                                                                   key.second);
            keepRecords_.clear();
            chat->KeepRecordsIn(&keepRecords_);
            keepPart_ = KeepPart_Chat;
            exchange = std::move(chat);
        } else {
            keepQueue_.pop_front();
            PostKeepProgress(key);
            continue;
        }
        keepingNow_ = key;
        keepExchange_ = &exchange->event();
        StartExchange(std::move(exchange));
        return;
    }
}

void MyNetworkHandler::KeepExchangeEnded(MyNetworkPacketBase& exchange) {
    keepExchange_ = nullptr;
    const ShowKey key = keepingNow_;
    if (!keptShows_.count(key))
        return;
    const std::u16string stream = KeptStreamName(key);
    bool advanced = false;
    switch (keepPart_) {
    case KeepPart_Recording:
        // The exchange has kept what it brought in the cache as it ended.
        advanced = streamCache_->FirstGap(stream, keptShows_.at(key).size) > keepGapBefore_;
        break;
    case KeepPart_Tracks:
    case KeepPart_Chat:
        advanced = exchange.answered() &&
                   streamCache_->SetFile(stream, keepPart_ == KeepPart_Tracks ? kTracksFile : kChatFile,
                                         keepRecords_);
        keepRecords_.clear();
        break;
    default:
        break;
    }
    PostKeepProgress(key);
    if (advanced) {
        ContinueKeeping();
        return;
    }
    // The server did not answer: asked again a little later, so that a network failure costs nothing.
    keepRetryArmed_ = true;
    keepRetryTimer_.Arm(kKeepRetryDelay);
}

bool MyNetworkHandler::AnswerFromKeptCopy(const MyNetworkHandlerMessage& message) {
    if (!streamCache_)
        return false;
    ShowKey key{0, 0};
    std::u16string_view file;
    if (const auto* tracks = MessageAs<MyNetworkHandlerMessage_GetTrackInfoList>(message)) {
        key = {tracks->stationId, tracks->streamId};
        file = kTracksFile;
    } else if (const auto* chat = MessageAs<MyNetworkHandlerMessage_GetStreamChatRowList>(message)) {
        key = {chat->stationId, chat->streamId};
        file = kChatFile;
    } else {
        return false;
    }
    auto show = keptShows_.find(key);
    std::vector<std::uint8_t> records;
    if (show == keptShows_.end() || !streamCache_->GetFile(KeptStreamName(key), file, records))
        return false;
    // The records as the server sent them, read by the exchange that reads the server's answer.
    auto server = std::make_shared<const StationConnectionData>(show->second.station);
    std::unique_ptr<MyNetworkPacketBase> reader;
    if (file == kTracksFile)
        reader =
            std::make_unique<MyNetworkPacket_RequestTrackInfoList>(context, server, key.first, key.second);
    else
        reader = std::make_unique<MyNetworkPacket_RequestStreamChatRowList>(context, server, key.first,
                                                                            key.second);
    if (reader->HandleData(reinterpret_cast<const char*>(records.data()), static_cast<int>(records.size())) >=
        0)
        reader->Disconnect(NETWORKERROR_NONE);
    return true;
}

bool MyNetworkHandler::KeptShowsCover(const MyNetworkPacketBase& exchange) const {
    if (keptShows_.empty() || exchange.answered())
        return false;
    if (exchange.type() == NetworkPacketType_RequestStationsConnectionData)
        return true;
    if (const auto* info = dynamic_cast<const MyNetworkPacket_RequestStationInfo*>(&exchange)) {
        auto first = keptShows_.lower_bound(ShowKey{info->station(), INT32_MIN});
        return first != keptShows_.end() && first->first.first == info->station();
    }
    return false;
}

void MyNetworkHandler::StandInForLostAnswer(const MyNetworkPacketBase& exchange) {
    if (!KeptShowsCover(exchange) || !context || !context->mediaHandler)
        return;
    if (exchange.type() == NetworkPacketType_RequestStationsConnectionData) {
        // The kept shows' stations, in id order, as a directory would list them.
        StationIdList ids;
        for (const auto& entry : keptShows_)
            if (ids.empty() || ids.back() != entry.first.first)
                ids.push_back(entry.first.first);
        context->mediaHandler->AddStationIdList(std::move(ids));
        return;
    }
    if (const auto* info = dynamic_cast<const MyNetworkPacket_RequestStationInfo*>(&exchange))
        context->mediaHandler->AddStationInfo(KeptStationInfo(info->station()));
}

std::unique_ptr<StationInfoData> MyNetworkHandler::KeptStationInfo(std::int32_t stationId) const {
    auto info = std::make_unique<StationInfoData>(stationId);
    for (auto it = keptShows_.lower_bound(ShowKey{stationId, INT32_MIN});
         it != keptShows_.end() && it->first.first == stationId; ++it) {
        if (info->name.empty())
            info->name = it->second.station.name;
        info->StoreStream(it->second.MakeStreamInfo());
    }
    return info;
}
