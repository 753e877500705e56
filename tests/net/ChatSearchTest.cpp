// The search of chat lines on a station's server: the request it sends, the lines it reads, and the ways
// it fails, each ending in one result marked as a chat search.

#include "media/MediaHandlerProbe.h"
#include "net/CatalogueHarness.h"
#include "net/MyNetworkHandler.h"
#include "net/MyNetworkPacket_RequestTrackSearch.h"
#include "support/CatalogueResponses.h"
#include "support/Deadline.h"
#include "support/ExchangeDriver.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedServer.h"
#include "support/UserAgent.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

std::string ChatHeader(std::uint32_t total, std::uint16_t count, std::uint8_t kind = 2) {
    return RecordFields()
        .Byte(1)
        .Byte(kind)
        .Int32(static_cast<std::int32_t>(total))
        .UInt16(0)
        .UInt16(100)
        .UInt16(count)
        .Byte(0)
        .Record(10);
}

std::string PageHeader(std::uint32_t total, std::uint16_t page, std::uint16_t perPage, std::uint16_t count) {
    return RecordFields()
        .Byte(1)
        .Byte(2)
        .Int32(static_cast<std::int32_t>(total))
        .UInt16(page)
        .UInt16(perPage)
        .UInt16(count)
        .Byte(0)
        .Record(10);
}

std::string Line(std::int32_t station, std::int32_t stream, std::int32_t second, std::uint8_t kind,
                 std::string_view sender, std::string_view text, std::uint8_t type = 12) {
    return RecordFields()
        .Int32(station)
        .Int32(stream)
        .Int32(second)
        .Byte(kind)
        .Text(sender)
        .Text(text)
        .Record(type);
}

std::shared_ptr<const StationConnectionData> StationAt(const ScriptedServer& server) {
    auto data = std::make_shared<StationConnectionData>(server.host());
    data->stationId = 5;
    data->port = server.port();
    data->basePath = "/station/5/";
    return data;
}

class ChatSearchTest : public ::testing::Test {
protected:
    std::unique_ptr<MyNetworkPacket_RequestTrackSearch>
    Search(std::shared_ptr<const StationConnectionData> station = nullptr, std::u16string query = u"hello",
           std::uint16_t page = 0) {
        if (!station) {
            auto record = std::make_shared<StationConnectionData>("station.example");
            record->stationId = 5;
            station = record;
        }
        return std::make_unique<MyNetworkPacket_RequestTrackSearch>(&ui.context, std::move(station), 5,
                                                                    std::move(query), 41, true, page);
    }
    std::unique_ptr<TrackSearchResults> OnlyResult(int milliseconds = 0) {
        auto callbacks = ui.TakeCallbacks(milliseconds);
        EXPECT_EQ(callbacks.size(), 1u);
        if (callbacks.size() != 1)
            return nullptr;
        auto* message = MessageAs<MyCallbacks::MyMainWindowMessage_TrackSearchCallback>(*callbacks[0]);
        EXPECT_NE(message, nullptr);
        if (!message || !message->results)
            return nullptr;
        EXPECT_EQ(message->results->generation, 41u);
        EXPECT_EQ(message->results->stationId, 5);
        EXPECT_TRUE(message->results->chat);
        return std::move(message->results);
    }

    RecordingMessageBoxes boxes;
    MediaContext ui;
};

TEST_F(ChatSearchTest, BadAnswersEndUnansweredWithoutABox) {
    const std::string good = Line(5, 1, 10, 0, "alice", "hello");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"a track answer", ChatHeader(1, 1, 1) + good},
        {"a track hit among chat lines", ChatHeader(2, 2) + good + Line(5, 1, 10, 0, "a", "b", 11)},
        {"a line before its show's start", ChatHeader(1, 1) + Line(5, 1, -1, 0, "a", "b")},
        {"more lines here than in all", ChatHeader(1, 2) + good + good},
        {"more lines than taken", ChatHeader(5000, 1001)},
        {"a line with a byte left over",
         ChatHeader(1, 1) +
             RecordFields().Int32(5).Int32(1).Int32(0).Byte(0).Text("a").Text("b").Byte(0).Record(12)},
    };
    for (const auto& [name, body] : cases) {
        SCOPED_TRACE(name);
        auto exchange = Search();
        EXPECT_FALSE(FeedBodyInOne(*exchange, body));
        exchange->Disconnect(NETWORKERROR_INVALIDDATA);
        auto result = OnlyResult();
        ASSERT_NE(result, nullptr);
        EXPECT_FALSE(result->answered);
        EXPECT_TRUE(result->hits.empty());
    }
    EXPECT_EQ(boxes.count(), 0u);
}

// Over loopback: a server's answer (asked at its root, whatever the station's path), and a server
// without the search (404).
TEST_F(ChatSearchTest, OverLoopbackAnAnswerAndA404EachGiveOneResult) {
    {
        Script script;
        script.AwaitRequest()
            .Send(HttpResponse(ChatHeader(2, 2) + Line(5, 9, 3725, 0, "alice", "hello there") +
                               Line(5, 8, 7, 3, "bob", "say hello")))
            .Close();
        ScriptedServer server(script);
        auto exchange = Search(StationAt(server), u"hel lo");
        EXPECT_TRUE(DriveExchange(*exchange).ended);
        ASSERT_TRUE(server.WaitForConnectionsDone(1));
        EXPECT_EQ(server.request(0).substr(0, 33), "GET /searchchat/?q=hel%20lo HTTP/");
        auto result = OnlyResult(5000);
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->answered);
        EXPECT_EQ(result->total, 2u);
        ASSERT_EQ(result->hits.size(), 2u);
        EXPECT_EQ(result->hits[0].streamId, 9);
        EXPECT_EQ(result->hits[0].second, 3725);
        EXPECT_EQ(result->hits[0].text1, u"alice");
        EXPECT_EQ(result->hits[0].text2, u"hello there");
        EXPECT_FALSE(result->hits[0].show);
        EXPECT_EQ(result->hits[1].streamId, 8);
        EXPECT_FALSE(result->hits[1].show); // a line's kind never makes it a show
    }
    {
        Script script;
        script.AwaitRequest().Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found").Close();
        ScriptedServer server(script);
        auto exchange = Search(StationAt(server));
        EXPECT_TRUE(DriveExchange(*exchange).ended);
        auto result = OnlyResult(5000);
        ASSERT_NE(result, nullptr);
        EXPECT_FALSE(result->answered);
        EXPECT_TRUE(result->hits.empty());
    }
    EXPECT_EQ(boxes.count(), 0u);
}

// Pages after the first are asked for by number; an answer is that page or bad data, and whether a next
// page holds more lines follows from the counts the server gives.
TEST_F(ChatSearchTest, APageAfterTheFirstIsAskedByNumberAndTheAnswerTellsWhetherMoreFollow) {
    {
        Script script;
        script.AwaitRequest()
            .Send(HttpResponse(PageHeader(5, 2, 2, 1) + Line(5, 9, 40, 0, "carol", "hello again")))
            .Close();
        ScriptedServer server(script);
        auto exchange = Search(StationAt(server), u"hello", 2);
        EXPECT_TRUE(DriveExchange(*exchange).ended);
        ASSERT_TRUE(server.WaitForConnectionsDone(1));
        EXPECT_EQ(server.request(0).substr(0, 37), "GET /searchchat/?q=hello&page=2 HTTP/");
        auto result = OnlyResult(5000);
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->answered);
        EXPECT_EQ(result->page, 2u);
        EXPECT_EQ(result->perPage, 2u);
        ASSERT_EQ(result->hits.size(), 1u);
        EXPECT_EQ(result->hits[0].text2, u"hello again");
        EXPECT_FALSE(result->HasNextPage()) << "lines 5 of 5";
    }
    // The first page, full, of more lines than it holds; then one that holds them all.
    for (const auto& [header, more] :
         {std::pair{PageHeader(5, 0, 2, 2), true}, {PageHeader(2, 0, 2, 2), false}}) {
        auto exchange = Search();
        // A whole answer ends the exchange.
        EXPECT_FALSE(FeedBodyInOne(*exchange,
                                   header + Line(5, 1, 1, 0, "a", "hello") + Line(5, 1, 2, 0, "b", "hello")));
        auto result = OnlyResult();
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->answered);
        EXPECT_EQ(result->HasNextPage(), more);
    }
    // An answer that is another page than the one asked for.
    auto exchange = Search(nullptr, u"hello", 1);
    EXPECT_EQ(exchange->RequestText().substr(0, 37), "GET /searchchat/?q=hello&page=1 HTTP/");
    EXPECT_FALSE(FeedBodyInOne(*exchange, PageHeader(5, 0, 2, 1) + Line(5, 1, 1, 0, "a", "hello")));
    exchange->Disconnect(NETWORKERROR_INVALIDDATA);
    auto result = OnlyResult();
    ASSERT_NE(result, nullptr);
    EXPECT_FALSE(result->answered);
    EXPECT_FALSE(result->HasNextPage());
    EXPECT_EQ(boxes.count(), 0u);
}

// Through the network thread: a server is asked once a query for tracks and once for chat, however many
// stations it serves.
TEST_F(ChatSearchTest, AServerIsAskedOnceAQueryForTracksAndOnceForChat) {
    Script script;
    script.AwaitRequest().Send(HttpResponse(ChatHeader(1, 1) + Line(5, 9, 60, 0, "a", "hello"))).Close();
    ScriptedServer server(script);
    MyNetworkHandler network(&ui.context);
    ui.context.networkHandler = &network;
    ASSERT_TRUE(network.Start());
    for (std::int32_t id : {5, 6}) {
        auto record = std::make_unique<StationConnectionData>(server.host());
        record->stationId = id;
        record->port = server.port();
        network.AddStationConnectionData(std::move(record));
    }
    network.SearchChat(5, u"hello", 41);
    network.SearchChat(6, u"hello", 41);
    network.SearchTracks(6, u"hello", 41);
    std::vector<bool> kinds;
    ASSERT_TRUE(WaitFor([&] {
        for (auto& callback : ui.TakeCallbacks(100))
            if (auto* m = MessageAs<MyCallbacks::MyMainWindowMessage_TrackSearchCallback>(*callback))
                kinds.push_back(m->results->chat);
        return kinds.size() >= 2;
    }));
    network.Stop();
    EXPECT_TRUE(network.WaitForEnd(5000));
    ui.context.networkHandler = nullptr;
    std::sort(kinds.begin(), kinds.end());
    EXPECT_EQ(kinds, (std::vector<bool>{false, true}));
    EXPECT_EQ(server.connections(), 2u);
    std::vector<std::string> paths = {server.request(0).substr(0, 16), server.request(1).substr(0, 16)};
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"GET /searchchat/", "GET /searchtrack"}));
}

} // namespace
