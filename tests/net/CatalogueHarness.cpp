#include "net/CatalogueHarness.h"

#include "media/MyMediaHandlerMessages.h"

namespace testsupport {

void RecordingMediaThread::HandleMessage(MyMessageBase* message) {
    JournalEntry entry;
    entry.receiver = JournalEntry::Media;
    entry.type = message->type;
    switch (message->type) {
    case MediaHandlerMessageType_AddMp3Data: {
        auto& m = static_cast<MyMediaHandlerMessage_AddMp3Data&>(*message);
        // Blocks handed on together are journalled one by one, as if each had come alone.
        for (auto& earlier : m.earlierBlocks) {
            JournalEntry one;
            one.type = message->type;
            one.block = std::move(earlier);
            one.tag = m.tag;
            journal_->Add(std::move(one));
        }
        entry.block = std::move(m.block);
        entry.tag = m.tag;
        entry.requestFinished = m.requestFinished;
        break;
    }
    case MediaHandlerMessageType_AddTrackInfoList: {
        auto& m = static_cast<MyMediaHandlerMessage_AddTrackInfoList&>(*message);
        entry.stationId = m.stationId;
        entry.streamId = m.streamId;
        entry.trackList = std::move(m.list);
        break;
    }
    case MediaHandlerMessageType_AddStreamChatRowList: {
        auto& m = static_cast<MyMediaHandlerMessage_AddStreamChatRowList&>(*message);
        entry.stationId = m.stationId;
        entry.streamId = m.streamId;
        entry.chatRows = std::move(m.list);
        break;
    }
    case MediaHandlerMessageType_AddStationInfo:
        entry.info = std::move(static_cast<MyMediaHandlerMessage_AddStationInfo&>(*message).info);
        break;
    case MediaHandlerMessageType_AddStationIdList:
        entry.ids = std::move(static_cast<MyMediaHandlerMessage_AddStationIdList&>(*message).ids);
        break;
    case 1000:
        ++*static_cast<MarkerMessage&>(*message).seen;
        return;
    default:
        break;
    }
    journal_->Add(std::move(entry));
}

void RecordingNetworkThread::HandleMessage(MyMessageBase* message) {
    if (message->type == 1000) {
        ++*static_cast<MarkerMessage&>(*message).seen;
        return;
    }
    JournalEntry entry;
    entry.receiver = JournalEntry::Network;
    entry.type = message->type;
    if (message->type == NetworkHandlerMessageType_AddStationConnectionData)
        entry.station =
            std::move(static_cast<MyNetworkHandlerMessage_AddStationConnectionData&>(*message).data);
    journal_->Add(std::move(entry));
}

CatalogueHarness::CatalogueHarness() {
    auto record = std::make_shared<StationConnectionData>("station.example");
    record->stationId = 5;
    station = record;
    media = std::make_unique<RecordingMediaThread>(&context, &journal);
    network = std::make_unique<RecordingNetworkThread>(&context, &journal);
    context.mediaHandler = media.get();
    context.networkHandler = network.get();
    media->Start();
    network->Start();
}

CatalogueHarness::~CatalogueHarness() {
    network.reset();
    media.reset();
}

std::vector<JournalEntry> CatalogueHarness::Settle() {
    std::atomic<int> seen{0};
    media->QueueMessage(std::make_unique<MarkerMessage>(&seen));
    network->QueueMessage(std::make_unique<MarkerMessage>(&seen));
    WaitFor([&] { return seen == 2; });
    return journal.Take();
}

bool FeedBody(MyNetworkPacketBase& exchange, std::string_view body, const std::vector<std::size_t>& cuts,
              std::string* left) {
    std::string held;
    std::size_t from = 0;
    auto offer = [&](std::size_t to) {
        held.append(body.substr(from, to - from));
        from = to;
        // As the exchange layer does: offer again until nothing more is taken.
        while (!held.empty()) {
            int answer = exchange.HandleData(held.data(), static_cast<int>(held.size()));
            if (answer < 0)
                return false;
            if (answer == 0)
                break;
            held.erase(0, static_cast<std::size_t>(answer));
        }
        return true;
    };
    bool open = true;
    for (std::size_t cut : cuts) {
        if (cut <= from || cut >= body.size())
            continue;
        if (!(open = offer(cut)))
            break;
    }
    if (open)
        open = offer(body.size());
    if (left)
        *left = held;
    return open;
}

bool FeedBodyInOne(MyNetworkPacketBase& exchange, std::string_view body, std::string* left) {
    return FeedBody(exchange, body, {}, left);
}

} // namespace testsupport
