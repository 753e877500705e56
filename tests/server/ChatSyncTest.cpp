// A show's default chat sync points: chatsync.txt in the archive, the trailing record of the stream
// information with its header, and the player's track list exchange that takes it (while a player that
// does not know it stops at the last track).

#include "ArchiveFiles.h"
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "RecordDecoder.h"
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

TEST(ChatSyncFile, PointsInAnyOrderAreSortedAndFaultsNameTheirLine) {
    auto points = station::ParseChatSyncFile("# play\tchat\n1:00:00\t0:59:30\n0:10:00\t600\n\n"
                                             "-5\t-7\n9:00:00\t99:00:00\n",
                                             "chatsync.txt");
    ASSERT_TRUE(points.ok());
    // A chat time past the show's end is the station's business: kept.
    EXPECT_EQ(*points, (ChatSyncPoints{{-5, -7}, {600, 600}, {3600, 3570}, {32400, 356400}}));

    auto twice = station::ParseChatSyncFile("10\t12\n20\t21\n10\t11\n", "chatsync.txt");
    ASSERT_FALSE(twice.ok());
    EXPECT_EQ(twice.failure().line, 3);
    EXPECT_NE(twice.failure().Text().find("line 1"), std::string::npos);
    for (const char* bad : {"10\n", "10\t11\t12\n", "ten\t11\n", "10\t1:2:3:4\n"}) {
        auto parsed = station::ParseChatSyncFile(bad, "chatsync.txt");
        ASSERT_FALSE(parsed.ok()) << bad;
        EXPECT_EQ(parsed.failure().line, 1) << bad;
    }
    std::string many;
    for (std::size_t i = 0; i <= kMaxChatSyncPoints; ++i)
        many += std::to_string(i) + "\t" + std::to_string(i) + "\n";
    EXPECT_FALSE(station::ParseChatSyncFile(many, "chatsync.txt").ok());
}

// What the exchanges queued to the media thread.
struct Delivered {
    std::mutex lock;
    std::map<std::int32_t, std::unique_ptr<TrackInfoList>> tracks; // by stream
    std::map<std::int32_t, std::unique_ptr<ChatSyncPoints>> sync;  // by stream
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
        if (auto* list = MessageAs<MyMediaHandlerMessage_AddTrackInfoList>(*message))
            delivered_->tracks[list->streamId] = std::move(list->list);
        else if (auto* sync = MessageAs<MyMediaHandlerMessage_AddChatSyncPoints>(*message))
            delivered_->sync[sync->streamId] = std::move(sync->points);
    }

private:
    Delivered* delivered_;
};

class ChatSyncServed : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        MakeSmallArchive(folder.path());
        WriteText(folder.path() / "stations/1/streams/1/chatsync.txt",
                  "0:00:02\t0:00:04\n0:00:01\t0:00:01\n");
        std::vector<station::Failure> problems;
        auto archive = station::LoadArchive(folder.path(), problems);
        ASSERT_TRUE(archive.ok());
        ASSERT_TRUE(problems.empty()) << problems.front().Text();
        auto catalogue = station::Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(catalogue.ok());
        station::ServerOptions options;
        options.chunked = GetParam();
        options.chunkBytes = 7; // the sync record straddles chunks
        auto started = station::HttpServer::Start(*catalogue, options);
        ASSERT_TRUE(started.ok());
        server = std::move(*started);
    }
    TempFolder folder;
    std::unique_ptr<station::HttpServer> server;
};

TEST_P(ChatSyncServed, TheTrailingRecordIsAnnouncedAndComesAfterTheLastTrackOnly) {
    const HttpReply with = Exchange(server->port(), PlayerRequest("/station/1/getstreaminfo/?streamid=1"));
    EXPECT_TRUE(with.HasHeader("x-vantri-chat-sync", "1"));
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(with.body, records));
    ASSERT_EQ(records.size(), 4u); // header, two tracks, the sync record
    EXPECT_EQ(records[1].type, ResponseRecordType_Track);
    EXPECT_EQ(records[2].type, ResponseRecordType_Track);
    ASSERT_EQ(records[3].type, ResponseRecordType_ChatSync);
    FieldReader fields(records[3].fields);
    EXPECT_EQ(fields.U8(), kChatSyncFormatVersion);
    EXPECT_EQ(fields.U16(), 2);
    EXPECT_EQ(fields.I32(), 1);
    EXPECT_EQ(fields.I32(), 1);
    EXPECT_EQ(fields.I32(), 2);
    EXPECT_EQ(fields.I32(), 4);
    EXPECT_TRUE(fields.ok() && fields.atEnd());

    const HttpReply without = Exchange(server->port(), PlayerRequest("/station/1/getstreaminfo/?streamid=2"));
    EXPECT_FALSE(without.HasHeader("x-vantri-chat-sync", "1"));
    ASSERT_TRUE(SplitRecords(without.body, records));
    EXPECT_EQ(records.size(), 1u);
}

TEST_P(ChatSyncServed, ThePlayersTrackListExchangeHandsOnTheTracksThenThePoints) {
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY",
                                             "127.0.0.1:" + std::to_string(server->port()));
    testsupport::RecordingMessageBoxes boxes;
    Delivered delivered;
    MyAppContext context;
    RecordingMedia media(&context, &delivered);
    MyNetworkHandler network(&context);
    context.mediaHandler = &media;
    context.networkHandler = &network;
    ASSERT_TRUE(media.Start());
    ASSERT_TRUE(network.Start());
    auto connection = std::make_unique<StationConnectionData>("127.0.0.1");
    connection->stationId = 1;
    connection->port = server->port();
    connection->basePath = "/station/1/";
    network.AddStationConnectionData(std::move(connection));
    network.GetTrackInfoList(1, 1);
    network.GetTrackInfoList(1, 2);
    ASSERT_TRUE(testsupport::WaitFor([&] {
        std::lock_guard guard(delivered.lock);
        return delivered.tracks.size() == 2 && delivered.sync.size() == 1;
    }));
    ASSERT_TRUE(testsupport::WaitFor([&] { return network.exchangesInFlight() == 0; }));
    network.Stop();
    ASSERT_TRUE(network.WaitForEnd(5000));
    std::lock_guard guard(delivered.lock);
    ASSERT_NE(delivered.tracks[1], nullptr);
    EXPECT_EQ(delivered.tracks[1]->size(), 2u);
    ASSERT_NE(delivered.sync[1], nullptr);
    EXPECT_EQ(*delivered.sync[1], (ChatSyncPoints{{1, 1}, {2, 4}}));
    EXPECT_FALSE(delivered.sync.contains(2));
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
}

INSTANTIATE_TEST_SUITE_P(Codings, ChatSyncServed, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Chunked" : "Plain"; });

} // namespace
