// The player's own network thread and exchanges against a running vantri-station over loopback: the
// whole catalogue, track list, chat log and stream windows, plain and chunked, normal and debug
// requests. The media thread only records what the exchanges hand it.

#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "StationFixtures.h"

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "media/MyMediaHandlerMessages.h"
#include "net/MyNetworkHandler.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace stationtest;

namespace {

// What the exchanges queued to the media thread.
struct Delivered {
    std::mutex lock;
    std::vector<StationIdList> idLists;
    std::vector<std::unique_ptr<StationInfoData>> stations;
    std::unique_ptr<TrackInfoList> tracks;
    std::unique_ptr<StreamChatRowList> chat;
    std::map<std::int32_t, std::string> windowBytes; // by request number
    std::map<std::int32_t, int> blocks;
    std::map<std::int32_t, bool> finished;
    int messagesAfterFinish = 0;
};

class RecordingMedia : public MyMediaHandler {
public:
    RecordingMedia(MyAppContext* context, Delivered* delivered)
        : MyMediaHandler(context), delivered_(delivered) {}
    ~RecordingMedia() override {
        Stop();
        WaitForEnd(5000);
    }
    void HandleMessage(MyMessageBase* message) override {
        std::lock_guard guard(delivered_->lock);
        switch (message->type) {
        case MediaHandlerMessageType_AddStationIdList:
            delivered_->idLists.push_back(static_cast<MyMediaHandlerMessage_AddStationIdList&>(*message).ids);
            break;
        case MediaHandlerMessageType_AddStationInfo:
            delivered_->stations.push_back(
                std::move(static_cast<MyMediaHandlerMessage_AddStationInfo&>(*message).info));
            break;
        case MediaHandlerMessageType_AddTrackInfoList:
            delivered_->tracks =
                std::move(static_cast<MyMediaHandlerMessage_AddTrackInfoList&>(*message).list);
            break;
        case MediaHandlerMessageType_AddStreamChatRowList:
            delivered_->chat =
                std::move(static_cast<MyMediaHandlerMessage_AddStreamChatRowList&>(*message).list);
            break;
        case MediaHandlerMessageType_AddMp3Data: {
            auto& data = static_cast<MyMediaHandlerMessage_AddMp3Data&>(*message);
            if (delivered_->finished[data.tag])
                ++delivered_->messagesAfterFinish;
            data.earlierBlocks.push_back(std::move(data.block));
            for (const auto& block : data.earlierBlocks) {
                if (!block)
                    continue;
                delivered_->windowBytes[data.tag].append(reinterpret_cast<const char*>(block->data),
                                                         block->fill);
                ++delivered_->blocks[data.tag];
            }
            delivered_->finished[data.tag] = data.requestFinished;
            break;
        }
        default:
            break;
        }
    }

private:
    Delivered* delivered_;
};

struct Variant {
    bool chunked;
    bool debug;
};

class PlayerEndToEnd : public ::testing::TestWithParam<Variant> {};

TEST_P(PlayerEndToEnd, NetworkThreadFetchesCatalogueChatAndWindowsFromVantriStation) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    std::vector<station::Failure> problems;
    auto archive = station::LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    auto catalogue = station::Catalogue::Build(std::move(*archive));
    ASSERT_TRUE(catalogue.ok());
    station::ServerOptions options;
    options.chunked = GetParam().chunked;
    options.chunkBytes = 1500;
    auto server = station::HttpServer::Start(*catalogue, options);
    ASSERT_TRUE(server.ok());
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY",
                                             "127.0.0.1:" + std::to_string((*server)->port()));

    testsupport::RecordingMessageBoxes boxes;
    Delivered delivered;
    MyAppContext context;
    context.debug = GetParam().debug ? 1 : 0;
    RecordingMedia media(&context, &delivered);
    MyNetworkHandler network(&context);
    context.mediaHandler = &media;
    context.networkHandler = &network;
    ASSERT_TRUE(media.Start());
    ASSERT_TRUE(network.Start());
    const auto locked = [&](auto condition) {
        return testsupport::WaitFor([&] {
            std::lock_guard guard(delivered.lock);
            return condition();
        });
    };

    network.GetStationsConnectionData();
    ASSERT_TRUE(locked([&] { return !delivered.idLists.empty(); }));
    EXPECT_EQ(delivered.idLists[0], (StationIdList{1, 5}));
    network.GetStationInfo(1);
    network.GetStationInfo(5);
    network.GetTrackInfoList(1, 1);
    network.GetStreamChatRowList(1, 1);
    // A higher series number ends the exchanges of lower ones of the same stream (a seek): the older
    // number goes first to keep both.
    network.GetStreamData(1, 1, 8, 0);
    network.GetStreamData(1, 1, 7, 4096, 8192);
    ASSERT_TRUE(locked([&] {
        return delivered.stations.size() == 2 && delivered.tracks && delivered.chat &&
               delivered.finished[7] && delivered.finished[8];
    }));
    network.Stop();
    ASSERT_TRUE(network.WaitForEnd(5000));

    std::lock_guard guard(delivered.lock);
    std::map<std::int32_t, const StationInfoData*> stations;
    for (const auto& info : delivered.stations) {
        ASSERT_NE(info, nullptr);
        stations[info->stationId] = info.get();
    }
    ASSERT_TRUE(stations.contains(1) && stations.contains(5));
    EXPECT_EQ(stations[1]->name, u"Radio One");
    EXPECT_EQ(stations[1]->description, u"Mixes from the archive");
    ASSERT_EQ(stations[1]->streams.size(), 2u);
    const StreamInfoData& stream = *stations[1]->streams.at(1);
    EXPECT_EQ(stream.stationId, 1);
    EXPECT_EQ(stream.startTime, 1709496000);
    EXPECT_EQ(stream.duration, 3u);
    EXPECT_EQ(stream.size, 100 * kSilentFrameBytes);
    EXPECT_EQ(stream.streamType, 1); // wire type 2
    EXPECT_EQ(stream.extraValue1, 7);
    EXPECT_EQ(stream.extraValue2, -3);
    EXPECT_TRUE(stream.hasChat);
    EXPECT_EQ(stream.text1, u"Friday Mix");
    EXPECT_EQ(stream.text3, u"House");
    EXPECT_FALSE(stations[1]->streams.at(2)->hasChat);
    EXPECT_EQ(stations[5]->name, u"Night Shift");
    EXPECT_TRUE(stations[5]->description.empty());
    EXPECT_EQ(stations[5]->streams.at(3)->text1, u"Late");

    ASSERT_EQ(delivered.tracks->size(), 2u);
    EXPECT_EQ((*delivered.tracks)[0].trackKind, 4);
    EXPECT_EQ((*delivered.tracks)[1].text1, u"Artist A");
    EXPECT_EQ((*delivered.tracks)[1].text2, u"First Song");
    EXPECT_TRUE((*delivered.tracks)[1].flag);
    ASSERT_EQ(delivered.chat->size(), 3u);
    EXPECT_EQ((*delivered.chat)[0].time, -5);
    EXPECT_EQ((*delivered.chat)[0].kind, 3);
    EXPECT_EQ((*delivered.chat)[2].argCount, 3);
    EXPECT_EQ((*delivered.chat)[2].arg(2), u"alice");

    const std::string recording = SilentMp3Bytes(100);
    // A window inside the recording: two full blocks, the second ending the request.
    EXPECT_EQ(delivered.blocks[7], 2);
    EXPECT_TRUE(delivered.windowBytes[7] == recording.substr(4096, 8192));
    // A window running past the end: the full blocks arrive; the player drops the partial last block and
    // asks again from its own count, as it does whenever a server sends fewer bytes and closes.
    EXPECT_EQ(delivered.blocks[8], static_cast<int>(recording.size() / Mp3DataBlock::kCapacity));
    EXPECT_TRUE(delivered.windowBytes[8] == recording.substr(0, delivered.windowBytes[8].size()));
    EXPECT_EQ(delivered.messagesAfterFinish, 0);
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
}

INSTANTIATE_TEST_SUITE_P(Codings, PlayerEndToEnd,
                         ::testing::Values(Variant{false, false}, Variant{true, true}),
                         [](const auto& info) { return info.param.chunked ? "ChunkedDebug" : "Plain"; });

} // namespace
