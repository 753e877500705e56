// The catalogue road over loopback sockets: the network thread with the real exchanges against scripted
// servers, results arriving at a media thread.

#include "media/MediaHandlerProbe.h"
#include "net/CatalogueHarness.h"
#include "net/MyNetworkHandler.h"
#include "support/CatalogueResponses.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedServer.h"
#include "support/UserAgent.h"

#include <gtest/gtest.h>

#include <set>

using namespace testsupport;

namespace {

std::string Served(const std::string& body) {
    return HttpResponse(body);
}

Script Answer(const std::string& response) {
    Script script;
    script.AwaitRequest().Send(response).Close();
    return script;
}

std::string Expected(std::string_view requestLine) {
    return std::string(requestLine) + "HOST: 127.0.0.1\r\n" + testsupport::UserAgentLine() +
           "Connection: Close\r\n\r\n";
}

// Stops a running worker before it is destroyed.
template <typename Thread> void StopAndWait(Thread& thread) {
    thread.Stop();
    EXPECT_TRUE(thread.WaitForEnd(5000));
}

TEST(CatalogueLoopback, DirectoryFillsTheTableAndEveryStationsInformationReachesTheMainWindow) {
    RecordingMessageBoxes boxes;
    ScriptedServer bee(Answer(Served(StationHeader(4, "Bee FM", "", 1) + StreamRecord(StreamFields{}))));
    StreamFields ceeStream;
    ceeStream.streamId = 9;
    ScriptedServer cee(Answer(Served(StationHeader(5, "Cee", "About Cee", 2) + StreamRecord(StreamFields{}) +
                                     StreamRecord(ceeStream))));
    ScriptedServer directory(
        Answer(Served(DirectoryHeader(2) + DirectoryStation(21, bee.port(), "Bee", "127.0.0.1", "/bee/") +
                      DirectoryStation(22, cee.port(), "Cee", "127.0.0.1", "/"))));
    ScopedEnvironment address("VANTRI_DIRECTORY", "127.0.0.1:" + std::to_string(directory.port()));

    MediaContext ui;
    MyMediaHandler media(&ui.context);
    MyNetworkHandler network(&ui.context);
    ui.context.mediaHandler = &media;
    ui.context.networkHandler = &network;
    ASSERT_TRUE(media.Start());
    ASSERT_TRUE(network.Start());

    network.GetStationsConnectionData();
    std::vector<const StationInfoData*> stations;
    ASSERT_TRUE(WaitFor([&] {
        for (auto& callback : ui.TakeCallbacks(10)) {
            EXPECT_EQ(callback->type, MyCallbacks::MessageType_StationInfo);
            stations.push_back(
                static_cast<MyCallbacks::MyMainWindowMessage_StationInfoCallback&>(*callback).station);
        }
        return stations.size() >= 2;
    }));
    ASSERT_TRUE(bee.WaitForConnectionsDone(1));
    ASSERT_TRUE(cee.WaitForConnectionsDone(1));
    StopAndWait(network);
    StopAndWait(media);

    ASSERT_EQ(stations.size(), 2u);
    std::map<std::int32_t, const StationInfoData*> byId;
    for (const StationInfoData* s : stations)
        byId[s->stationId] = s;
    ASSERT_TRUE(byId.contains(21) && byId.contains(22));
    EXPECT_EQ(byId[21]->name, u"Bee FM");
    EXPECT_EQ(byId[21]->streams.size(), 1u);
    EXPECT_EQ(byId[22]->description, u"About Cee");
    EXPECT_EQ(byId[22]->streams.size(), 2u);
    EXPECT_EQ(byId[22]->streams.at(9)->stationId, 22);

    EXPECT_EQ(directory.request(0), Expected("GET /getstations/ HTTP/1.1\r\n"));
    EXPECT_EQ(bee.request(0), Expected("GET /bee/getstationinfo/ HTTP/1.1\r\n"));
    EXPECT_EQ(cee.request(0), Expected("GET /getstationinfo/ HTTP/1.1\r\n"));
    EXPECT_EQ(directory.connections(), 1u);
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
}

TEST(CatalogueLoopback, ADirectoryOfAHundredStationsHasEveryStationAnswered) {
    RecordingMessageBoxes boxes;
    constexpr int kStations = 100;
    // Every station's server holds its answer until the test lets it go, so that more stations are asked
    // than can be in flight at once.
    ScriptedServer stationServer(
        Script()
            .AwaitRequest()
            .Stall()
            .Send(Served(StationHeader(4, "Station", "", 1) + StreamRecord(StreamFields{})))
            .Close());
    std::string body = DirectoryHeader(kStations);
    for (int i = 0; i < kStations; ++i)
        body += DirectoryStation(1000 + i, stationServer.port(), "S", "127.0.0.1",
                                 "/s" + std::to_string(i) + "/");
    ScriptedServer directory(Answer(Served(body)));
    ScopedEnvironment address("VANTRI_DIRECTORY", "127.0.0.1:" + std::to_string(directory.port()));

    MediaContext ui;
    MyMediaHandler media(&ui.context);
    MyNetworkHandler network(&ui.context);
    ui.context.mediaHandler = &media;
    ui.context.networkHandler = &network;
    ASSERT_TRUE(media.Start());
    ASSERT_TRUE(network.Start());
    network.GetStationsConnectionData();

    ASSERT_TRUE(WaitFor([&] { return stationServer.stalled() == MyNetworkHandler::kMaxExchangesInFlight; },
                        std::chrono::seconds(20)));
    EXPECT_EQ(network.requestsWaiting(), kStations - MyNetworkHandler::kMaxExchangesInFlight);
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");

    std::set<std::int32_t> answered;
    ASSERT_TRUE(WaitFor(
        [&] {
            stationServer.Release();
            for (auto& callback : ui.TakeCallbacks()) {
                if (callback->type != MyCallbacks::MessageType_StationInfo)
                    continue;
                answered.insert(static_cast<MyCallbacks::MyMainWindowMessage_StationInfoCallback&>(*callback)
                                    .station->stationId);
            }
            return answered.size() == kStations;
        },
        std::chrono::seconds(30)));
    ASSERT_TRUE(stationServer.WaitForConnectionsDone(kStations));
    StopAndWait(network);
    StopAndWait(media);

    EXPECT_EQ(*answered.begin(), 1000);
    EXPECT_EQ(*answered.rbegin(), 1000 + kStations - 1);
    std::set<std::string> paths;
    for (int i = 0; i < kStations; ++i) {
        const std::string request = stationServer.request(static_cast<std::size_t>(i));
        paths.insert(request.substr(0, request.find(' ', 4)));
    }
    EXPECT_EQ(paths.size(), static_cast<std::size_t>(kStations)) << "every station was asked once";
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
}

// A real network thread whose results go to a recording media thread.
class StationServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        context.mediaHandler = &media;
        context.networkHandler = &network;
        ASSERT_TRUE(media.Start());
        ASSERT_TRUE(network.Start());
    }
    void TearDown() override {
        StopAndWait(network);
        StopAndWait(media);
    }
    void Name(const ScriptedServer& server) {
        auto station = std::make_unique<StationConnectionData>("127.0.0.1");
        station->stationId = 5;
        station->port = server.port();
        network.AddStationConnectionData(std::move(station));
    }

    RecordingMessageBoxes boxes;
    MyAppContext context;
    Journal journal;
    RecordingMediaThread media{&context, &journal};
    MyNetworkHandler network{&context};
};

TEST_F(StationServerTest, ChunkedWindowInOddSegmentsArrivesAsFullBlocks) {
    std::string body(524288, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i % 251);
    // Chunks of odd sizes, each sent in pieces that cut through size lines and data alike.
    std::string chunked;
    for (std::size_t at = 0, size = 1; at < body.size(); at += size, size = size * 3 % 9973 + 1) {
        size = std::min(size, body.size() - at);
        char line[16];
        std::snprintf(line, sizeof line, "%zx\r\n", size);
        chunked += line + body.substr(at, size) + "\r\n";
    }
    chunked += "0\r\n\r\n";
    Script script;
    script.AwaitRequest().Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (std::size_t at = 0, piece = 7; at < chunked.size(); at += piece, piece = piece * 5 % 30011 + 3)
        script.Send(chunked.substr(at, piece));
    script.Stall();
    ScriptedServer server(script);
    Name(server);
    network.GetStreamData(5, 77, 9, 1'000'000);

    ASSERT_TRUE(WaitFor([&] { return journal.size() >= 128; }, std::chrono::seconds(20)));
    // The client ends the exchange itself once the window is complete.
    ASSERT_TRUE(WaitFor([&] { return network.exchangesInFlight() == 0; }));
    auto entries = journal.Take();
    ASSERT_EQ(entries.size(), 128u);
    std::string joined;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ASSERT_NE(entries[i].block, nullptr);
        EXPECT_EQ(entries[i].tag, 9);
        EXPECT_EQ(entries[i].block->fill, 4096);
        EXPECT_EQ(entries[i].requestFinished, i == 127);
        joined.append(reinterpret_cast<const char*>(entries[i].block->data), entries[i].block->fill);
    }
    EXPECT_TRUE(joined == body);
    EXPECT_EQ(server.request(0),
              Expected("GET /getstreamdata/?streamid=77&start=1000000&length=524288 HTTP/1.1\r\n"));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationServerTest, ServerSendingTenThousandBytesAndClosing) {
    ScriptedServer server(Answer(Served(std::string(10000, 'x'))));
    Name(server);
    network.GetStreamData(5, 77, 4, 0);
    ASSERT_TRUE(WaitFor([&] { return journal.size() >= 3; }));
    ASSERT_TRUE(WaitFor([&] { return network.exchangesInFlight() == 0; }));
    auto entries = journal.Take();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].block->fill, 4096);
    EXPECT_EQ(entries[1].block->fill, 4096);
    EXPECT_FALSE(entries[0].requestFinished || entries[1].requestFinished);
    EXPECT_EQ(entries[2].block, nullptr);
    EXPECT_TRUE(entries[2].requestFinished);
    EXPECT_EQ(entries[2].tag, 4);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationServerTest, TrackListAnnouncingNoTracksIsAnsweredEmptyWhenTheServerCloses) {
    ScriptedServer server(Answer(Served(TrackListHeader(0))));
    Name(server);
    network.GetTrackInfoList(5, 77);
    ASSERT_TRUE(WaitFor([&] { return journal.size() >= 1 && network.exchangesInFlight() == 0; }));
    auto entries = journal.Take();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type, MediaHandlerMessageType_AddTrackInfoList);
    EXPECT_EQ(entries[0].trackList, nullptr);
    EXPECT_EQ(server.request(0), Expected("GET /getstreaminfo/?streamid=77 HTTP/1.1\r\n"));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationServerTest, AnErrorPageIsAFailedAnswerNeverChatRowsOrSound) {
    ScriptedServer server(
        Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 22\r\n\r\nNo such stream, sorry."));
    Name(server);
    network.GetStreamChatRowList(5, 77);
    ASSERT_TRUE(WaitFor([&] { return journal.size() >= 1 && network.exchangesInFlight() == 0; }));
    auto entries = journal.Take();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type, MediaHandlerMessageType_AddStreamChatRowList);
    EXPECT_EQ(entries[0].chatRows, nullptr);
    EXPECT_EQ(server.request(0), Expected("GET /getstreamchat/?streamid=77 HTTP/1.1\r\n"));

    // The stream data's request ends early with no block: the page's bytes never reach the decoder.
    network.GetStreamData(5, 77, 3, 0);
    ASSERT_TRUE(WaitFor([&] { return journal.size() >= 1 && network.exchangesInFlight() == 0; }));
    entries = journal.Take();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type, MediaHandlerMessageType_AddMp3Data);
    EXPECT_EQ(entries[0].block, nullptr);
    EXPECT_TRUE(entries[0].requestFinished);
    EXPECT_EQ(entries[0].tag, 3);
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
}

TEST(CatalogueLoopbackChat, RowsFromTheServerAreStoredFilteredAndSortedForTheCurrentStream) {
    RecordingMessageBoxes boxes;
    std::string body = ChatHeader(6) + ChatRowRecord(50, 1, {"ann", "late"}) + ChatRowRecord(10, 3, {"bob"}) +
                       ChatRowRecord(10, 3, {"cid", "two args"}) + ChatRowRecord(10, 2, {"dee", "waves"}) +
                       ChatRowRecord(-1, 10, {"x"}) + ChatRowRecord(20, 1, {"", "no sender"});
    ScriptedServer server(Answer(Served(body)));

    MediaContext ui;
    MediaHandlerProbe media(&ui.context);
    MyNetworkHandler network(&ui.context);
    ui.context.mediaHandler = &media;
    ui.context.networkHandler = &network;
    auto station = std::make_unique<StationInfoData>(5);
    auto stream = std::make_unique<StreamInfoData>();
    stream->stationId = 5;
    stream->streamId = 77;
    stream->hasChat = true;
    station->StoreStream(std::move(stream));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStationInfo>(std::move(station)));
    media.currentStream = media.FindStream(5, 77);
    ui.TakeCallbacks();
    ASSERT_TRUE(media.Start());
    ASSERT_TRUE(network.Start());

    auto record = std::make_unique<StationConnectionData>("127.0.0.1");
    record->stationId = 5;
    record->port = server.port();
    network.AddStationConnectionData(std::move(record));
    network.GetStreamChatRowList(5, 77);

    auto callbacks = ui.TakeCallbacks(5000);
    StopAndWait(network);
    StopAndWait(media);
    ASSERT_EQ(callbacks.size(), 1u);
    ASSERT_EQ(callbacks[0]->type, MyCallbacks::MessageType_StreamChat);
    const StreamChatRowList* rows =
        static_cast<MyCallbacks::MyMainWindowMessage_StreamChatCallback&>(*callbacks[0]).chatRows;
    ASSERT_NE(rows, nullptr);
    std::vector<std::u16string> senders;
    for (const StreamChatRow& row : *rows)
        senders.emplace_back(row.arg(0));
    EXPECT_EQ(senders, (std::vector<std::u16string>{u"bob", u"dee", u"ann"}));
    EXPECT_EQ(boxes.count(), 0u);
}

} // namespace
