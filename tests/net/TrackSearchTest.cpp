// The search of shows and tracks on a station's server: the request it sends, the answers it reads, and
// every way it fails, each ending in one result for the main window.

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

std::string SearchHeader(std::uint32_t total, std::uint16_t count, std::uint8_t more = 0,
                         std::uint8_t version = 1, std::uint8_t kind = 1) {
    return RecordFields()
        .Byte(version)
        .Byte(kind)
        .Int32(static_cast<std::int32_t>(total))
        .UInt16(0)
        .UInt16(200)
        .UInt16(count)
        .Byte(more)
        .Record(10);
}

std::string Hit(std::int32_t station, std::int32_t stream, std::int32_t second, std::uint8_t show,
                std::string_view text1, std::string_view text2) {
    return RecordFields()
        .Int32(station)
        .Int32(stream)
        .Int32(second)
        .Byte(show)
        .Text(text1)
        .Text(text2)
        .Record(11);
}

std::shared_ptr<const StationConnectionData> StationAt(const ScriptedServer& server) {
    auto data = std::make_shared<StationConnectionData>(server.host());
    data->stationId = 5;
    data->port = server.port();
    return data;
}

class TrackSearchTest : public ::testing::Test {
protected:
    std::unique_ptr<MyNetworkPacket_RequestTrackSearch>
    Search(std::u16string query = u"song", std::shared_ptr<const StationConnectionData> station = nullptr) {
        if (!station) {
            auto record = std::make_shared<StationConnectionData>("station.example");
            record->stationId = 5;
            station = record;
        }
        return std::make_unique<MyNetworkPacket_RequestTrackSearch>(&ui.context, std::move(station), 5,
                                                                    std::move(query), 41);
    }
    // The one result the exchange posted.
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
        return std::move(message->results);
    }

    RecordingMessageBoxes boxes;
    MediaContext ui;
};

TEST_F(TrackSearchTest, TheQueryIsSentAsPercentEncodedUtf8CutAtTheLongestQuery) {
    EXPECT_EQ(EncodeSearchQuery(u"a b&c=d"), "a%20b%26c%3Dd");
    EXPECT_EQ(EncodeSearchQuery(u"Caf\u00E9 \U0001F3B5"), "Caf%C3%A9%20%F0%9F%8E%B5");
    EXPECT_EQ(EncodeSearchQuery(u"-._~+%/?#"), "-._~%2B%25%2F%3F%23");
    EXPECT_EQ(EncodeSearchQuery(u""), "");
    // A lone surrogate becomes U+FFFD, not bytes the server refuses.
    EXPECT_EQ(EncodeSearchQuery(std::u16string(1, char16_t(0xD800))), "%EF%BF%BD");

    EXPECT_EQ(EncodeSearchQuery(std::u16string(300, u'x')), std::string(256, 'x'));
    // Cut before a pair that would straddle the limit.
    std::u16string straddling(255, u'x');
    straddling += u"\U0001F3B5";
    EXPECT_EQ(EncodeSearchQuery(straddling), std::string(255, 'x'));
    std::u16string fitting(254, u'x');
    fitting += u"\U0001F3B5";
    EXPECT_EQ(EncodeSearchQuery(fitting), std::string(254, 'x') + "%F0%9F%8E%B5");

    EXPECT_EQ(Search(u"Ab \u00E9")->RequestText(),
              "GET /searchtracks/?q=Ab%20%C3%A9 HTTP/1.1\r\nHOST: station.example\r\n" + UserAgentLine() +
                  "Connection: Close\r\n\r\n");
    // At the server's root, whatever the station's path.
    auto underPath = std::make_shared<StationConnectionData>("station.example");
    underPath->basePath = "/station/5/";
    EXPECT_EQ(Search(u"x", underPath)->RequestText().substr(0, 24), "GET /searchtracks/?q=x H");
}

TEST_F(TrackSearchTest, HitsArriveWholeInAnswerOrderHoweverTheBodyIsCut) {
    const std::string body = SearchHeader(2, 2, 1) + Hit(5, 77, 0, 1, "Morning show", "Ann") +
                             Hit(6, -3, 1234, 0, "Artist \xC3\xA9", "Title");
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        auto exchange = Search();
        EXPECT_FALSE(FeedBody(*exchange, body, {cut}));
        auto result = OnlyResult();
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->answered);
        EXPECT_EQ(result->total, 2u);
        EXPECT_TRUE(result->more);
        ASSERT_EQ(result->hits.size(), 2u);
        EXPECT_EQ(result->hits[0].stationId, 5);
        EXPECT_EQ(result->hits[0].streamId, 77);
        EXPECT_TRUE(result->hits[0].show);
        EXPECT_EQ(result->hits[0].text1, u"Morning show");
        EXPECT_EQ(result->hits[0].text2, u"Ann");
        EXPECT_EQ(result->hits[1].stationId, 6);
        EXPECT_EQ(result->hits[1].streamId, -3);
        EXPECT_EQ(result->hits[1].second, 1234);
        EXPECT_FALSE(result->hits[1].show);
        EXPECT_EQ(result->hits[1].text1, u"Artist \u00E9");
        // The end of the connection after the answer sends nothing more.
        exchange->Disconnect(NETWORKERROR_NONE);
        EXPECT_TRUE(ui.TakeCallbacks().empty());
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackSearchTest, AnAnswerWithoutHitsIsAnsweredAndEmpty) {
    auto exchange = Search();
    EXPECT_FALSE(FeedBodyInOne(*exchange, SearchHeader(0, 0)));
    auto result = OnlyResult();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(result->answered);
    EXPECT_TRUE(result->hits.empty());
}

// Each bad answer ends the exchange with one unanswered result and no box.
TEST_F(TrackSearchTest, BadAnswersEndUnansweredWithoutABox) {
    const std::string good = Hit(5, 1, 0, 0, "a", "b");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"another version", SearchHeader(1, 1, 0, 2) + good},
        {"chat hits", SearchHeader(1, 1, 0, 1, 2) + good},
        {"a hit before the header", good + SearchHeader(1, 1)},
        {"more hits here than in all", SearchHeader(1, 2) + good + good},
        {"more hits than taken", SearchHeader(5000, 1001)},
        {"a chat hit among track hits",
         SearchHeader(2, 2) + good + good.substr(0, 2) + "\x0c" + good.substr(3)},
        {"a show flag of 2", SearchHeader(1, 1) + Hit(5, 1, 0, 2, "a", "b")},
        {"a header with a byte left over",
         RecordFields().Byte(1).Byte(1).Int32(1).UInt16(0).UInt16(200).UInt16(1).Byte(0).Byte(0).Record(10) +
             good},
        {"a text running past its record",
         SearchHeader(1, 1) +
             RecordFields().Int32(5).Int32(1).Int32(0).Byte(0).Text("a").CountedBytes("b", 40).Record(11)},
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

TEST_F(TrackSearchTest, AnAnswerCutShortEndsUnanswered) {
    auto exchange = Search();
    EXPECT_TRUE(FeedBodyInOne(*exchange, SearchHeader(2, 2) + Hit(5, 1, 0, 0, "a", "b")));
    EXPECT_TRUE(ui.TakeCallbacks().empty());
    exchange->Disconnect(NETWORKERROR_NONE);
    exchange->Disconnect(NETWORKERROR_NONE);
    auto result = OnlyResult();
    ASSERT_NE(result, nullptr);
    EXPECT_FALSE(result->answered);
    EXPECT_TRUE(result->hits.empty());
}

// Over loopback: a server's answer, and a server without search (404).
TEST_F(TrackSearchTest, OverLoopbackAnAnswerAndA404EachGiveOneResult) {
    {
        Script script;
        script.AwaitRequest()
            .Send(HttpResponse(SearchHeader(1, 1) + Hit(5, 9, 60, 0, "Art", "Song")))
            .Close();
        ScriptedServer server(script);
        auto exchange = Search(u"so ng", StationAt(server));
        EXPECT_TRUE(DriveExchange(*exchange).ended);
        ASSERT_TRUE(server.WaitForConnectionsDone(1));
        EXPECT_EQ(server.request(0).substr(0, 34), "GET /searchtracks/?q=so%20ng HTTP/");
        auto result = OnlyResult(5000);
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->answered);
        ASSERT_EQ(result->hits.size(), 1u);
        EXPECT_EQ(result->hits[0].second, 60);
        EXPECT_EQ(result->hits[0].text2, u"Song");
    }
    {
        Script script;
        script.AwaitRequest().Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found").Close();
        ScriptedServer server(script);
        auto exchange = Search(u"song", StationAt(server));
        EXPECT_TRUE(DriveExchange(*exchange).ended);
        auto result = OnlyResult(5000);
        ASSERT_NE(result, nullptr);
        EXPECT_FALSE(result->answered);
        EXPECT_TRUE(result->hits.empty());
    }
    EXPECT_EQ(boxes.count(), 0u);
}

// Through the network thread: the station's record names the server; a station the directory did not
// name is refused as every station request is.
TEST_F(TrackSearchTest, TheNetworkThreadRunsTheSearchOnTheStationsServer) {
    Script script;
    script.AwaitRequest().Send(HttpResponse(SearchHeader(1, 1) + Hit(5, 9, 60, 0, "Art", "Song"))).Close();
    ScriptedServer server(script);
    MyNetworkHandler network(&ui.context);
    ui.context.networkHandler = &network;
    ASSERT_TRUE(network.Start());
    auto record = std::make_unique<StationConnectionData>(server.host());
    record->stationId = 5;
    record->port = server.port();
    network.AddStationConnectionData(std::move(record));
    network.SearchTracks(5, u"song", 41);
    auto result = OnlyResult(10000);
    network.Stop();
    EXPECT_TRUE(network.WaitForEnd(5000));
    ui.context.networkHandler = nullptr;
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(result->answered);
    ASSERT_EQ(result->hits.size(), 1u);
    EXPECT_EQ(result->hits[0].streamId, 9);
    EXPECT_EQ(boxes.count(), 0u);
}

// Stations that share a server ask it once a query: its answer covers every station it serves.
TEST_F(TrackSearchTest, StationsSharingAServerAskItOnceAQuery) {
    Script script;
    script.AwaitRequest().Send(HttpResponse(SearchHeader(1, 1) + Hit(5, 9, 60, 0, "Art", "Song"))).Close();
    ScriptedServer server(script);
    MyNetworkHandler network(&ui.context);
    ui.context.networkHandler = &network;
    ASSERT_TRUE(network.Start());
    for (std::int32_t id : {5, 6}) {
        auto record = std::make_unique<StationConnectionData>(server.host());
        record->stationId = id;
        record->port = server.port();
        record->basePath = "/station/" + std::to_string(id) + "/";
        network.AddStationConnectionData(std::move(record));
    }
    network.SearchTracks(5, u"song", 41);
    network.SearchTracks(6, u"song", 41);
    // A newer query asks again.
    network.SearchTracks(6, u"songs", 42);
    std::vector<std::uint32_t> generations;
    ASSERT_TRUE(WaitFor([&] {
        for (auto& callback : ui.TakeCallbacks(100))
            if (auto* m = MessageAs<MyCallbacks::MyMainWindowMessage_TrackSearchCallback>(*callback))
                generations.push_back(m->results->generation);
        return generations.size() >= 2;
    }));
    network.Stop();
    EXPECT_TRUE(network.WaitForEnd(5000));
    ui.context.networkHandler = nullptr;
    std::sort(generations.begin(), generations.end());
    EXPECT_EQ(generations, (std::vector<std::uint32_t>{41, 42}));
    EXPECT_EQ(server.connections(), 2u);
    // The two exchanges run side by side: their requests come in either order.
    const std::string both = server.request(0) + server.request(1);
    EXPECT_NE(both.find("q=song "), std::string::npos);
    EXPECT_NE(both.find("q=songs "), std::string::npos);
    EXPECT_EQ(boxes.count(), 0u);
}

} // namespace
