#include "HttpServer.h"
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "LoopbackHttp.h"
#include "RecordDecoder.h"
#include "StationFixtures.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace station;
using namespace stationtest;

namespace {

// A server on a free loopback port over the small archive.
class RunningServer {
public:
    explicit RunningServer(ServerOptions options = {}) {
        MakeSmallArchive(folder_.path());
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder_.path(), problems);
        EXPECT_TRUE(archive.ok());
        EXPECT_TRUE(problems.empty());
        auto catalogue = Catalogue::Build(std::move(*archive));
        EXPECT_TRUE(catalogue.ok());
        options.address = "127.0.0.1";
        options.port = 0;
        auto server = HttpServer::Start(*catalogue, options);
        EXPECT_TRUE(server.ok()) << (server.ok() ? "" : server.failure().Text());
        if (server.ok())
            server_ = std::move(*server);
    }
    std::uint16_t port() const { return server_ ? server_->port() : 0; }
    HttpReply Get(const std::string& target, const std::string& host = "127.0.0.1") const {
        return Exchange(port(), PlayerRequest(target, host));
    }

private:
    TempFolder folder_;
    std::unique_ptr<HttpServer> server_;
};

class HttpServerBothCodings : public ::testing::TestWithParam<bool> {
protected:
    static ServerOptions Options() {
        ServerOptions options;
        options.chunked = GetParam();
        options.chunkBytes = 1000; // small, so that records and windows straddle chunks
        return options;
    }
};

TEST_P(HttpServerBothCodings, ServesEveryCatalogueResponseAndClosesAfterIt) {
    RunningServer server(Options());
    ASSERT_NE(server.port(), 0);
    struct Case {
        std::string target;
        std::uint8_t firstType;
        std::size_t records;
    };
    const Case cases[] = {
        {"/getstations/", 7, 3},
        {"/getstations/?debug", 7, 3},
        {"/station/1/getstationinfo/", 1, 3},
        {"/night/getstationinfo/?debug", 1, 2},
        {"/station/1/getstreaminfo/?streamid=1", 3, 3},
        {"/station/1/getstreaminfo/?streamid=2&debug", 3, 1},
        {"/station/1/getstreamchat/?streamid=1", 5, 4},
        {"/getvantriversioninfo/version19", 255, 1},
        {"/getvantriupdatedownload/version19&debug", 254, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const HttpReply reply = server.Get(c.target);
        EXPECT_TRUE(reply.closed);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.chunked, GetParam());
        EXPECT_TRUE(reply.chunkingValid);
        std::vector<Record> records;
        ASSERT_TRUE(SplitRecords(reply.body, records));
        ASSERT_EQ(records.size(), c.records);
        EXPECT_EQ(records[0].type, c.firstType);
    }
}

TEST_P(HttpServerBothCodings, StreamWindowsAreTheAskedBytesFewerAtTheEndNonePastIt) {
    RunningServer server(Options());
    const std::string recording = SilentMp3Bytes(100);
    struct Case {
        std::uint64_t start;
        std::uint64_t length;
    };
    const Case cases[] = {
        {0, 524288}, {1000, 5000},       {41000, 524288}, {41699, 1},
        {41700, 10}, {99999999, 524288}, {0, 0},          {18446744073709551615ull, 4294967295ull}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + "+" + std::to_string(c.length));
        const HttpReply reply =
            server.Get("/station/1/getstreamdata/?streamid=1&start=" + std::to_string(c.start) +
                       "&length=" + std::to_string(c.length));
        EXPECT_TRUE(reply.closed);
        EXPECT_EQ(reply.status, 200);
        EXPECT_TRUE(reply.chunkingValid);
        const std::string expected = c.start >= recording.size() ? "" : recording.substr(c.start, c.length);
        EXPECT_EQ(reply.body.size(), expected.size());
        EXPECT_TRUE(reply.body == expected);
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndChunked, HttpServerBothCodings, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Chunked" : "Plain"; });

TEST(HttpServer, DirectoryNamesTheHostThePlayerAskedForAndTheListeningPort) {
    RunningServer server;
    const HttpReply reply = server.Get("/getstations/", "localhost");
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(reply.body, records));
    ASSERT_EQ(records.size(), 3u);
    FieldReader station(records[2].fields);
    EXPECT_EQ(station.I32(), 5);
    EXPECT_EQ(station.U16(), server.port());
    EXPECT_EQ(station.Text(), "Night Shift");
    EXPECT_EQ(station.Text(), "localhost");
    EXPECT_EQ(station.Text(), "/night/");

    // A Host header that is not a plain host name is not echoed.
    const HttpReply odd = server.Get("/getstations/", "evil\x01host");
    ASSERT_TRUE(SplitRecords(odd.body, records));
    FieldReader fallback(records[1].fields);
    fallback.I32();
    fallback.U16();
    fallback.Text();
    EXPECT_EQ(fallback.Text(), "127.0.0.1");
}

TEST(HttpServer, BadRequestsGetAnErrorStatusAndAClosedConnection) {
    RunningServer server;
    struct Case {
        std::string request;
        int status;
    };
    const Case cases[] = {
        {PlayerRequest("/station/1/getstreamdata/?streamid=1&start=0"), 400},
        {PlayerRequest("/station/1/getstreamdata/?streamid=one&start=0&length=1"), 400},
        {PlayerRequest("/station/1/getstreamdata/?streamid=1&start=0&length=99999999999"), 400},
        {PlayerRequest("/station/1/getstreamdata/?streamid=77&start=0&length=1"), 404},
        {PlayerRequest("/station/1/getstreamdata/?streamid=4294967295&start=0&length=1"), 404},
        {PlayerRequest("/station/2/getstationinfo/"), 404},
        {PlayerRequest("/station/1/getstreamchat/?streamid=2"), 404}, // stream 2 has no chat
        {PlayerRequest("/night/getstations/"), 404},
        {PlayerRequest("/station/1/../../etc/passwd"), 404},
        {PlayerRequest("/getstations/?" + std::string(2000, 'a')), 414},
        {"POST /getstations/ HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: Close\r\n\r\n", 405},
        {"GET /getstations/ HTTP/1.1\r\nConnection: Close\r\n\r\n", 400}, // HTTP/1.1 without Host
        {"GET /" + std::string(40000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n", 414},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.substr(0, 80));
        const HttpReply reply = Exchange(server.port(), c.request);
        EXPECT_TRUE(reply.closed);
        EXPECT_EQ(reply.status, c.status);
    }
}

TEST(HttpServer, KeepAliveClientsAreClosedAfterAnErrorAnswer) {
    RunningServer server;
    // Without "Connection: Close" the server would keep a good exchange open; after an error it must not.
    const HttpReply reply =
        Exchange(server.port(), "GET /station/1/getstreamdata/?streamid=x HTTP/1.1\r\nHost: a\r\n\r\n");
    EXPECT_TRUE(reply.closed);
    EXPECT_EQ(reply.status, 400);
}

TEST(HttpServer, SlowClientsAreDisconnected) {
    ServerOptions options;
    options.timeoutSeconds = 1;
    RunningServer server(options);
    EXPECT_TRUE(
        ServerDropsSilentClient(server.port(), "GET /getstations/ HT", std::chrono::milliseconds(8000)));
    EXPECT_TRUE(ServerDropsSilentClient(server.port(), "", std::chrono::milliseconds(8000)));
}

TEST(HttpServer, ManyClientsAtOnceEachGetTheirOwnWindow) {
    RunningServer server;
    const std::string recording = SilentMp3Bytes(100);
    std::vector<std::future<bool>> clients;
    for (int i = 0; i < 40; ++i) {
        clients.push_back(std::async(std::launch::async, [&, i] {
            const std::uint64_t start = static_cast<std::uint64_t>(i) * 1000;
            const HttpReply reply = server.Get(
                "/station/1/getstreamdata/?streamid=1&start=" + std::to_string(start) + "&length=2000");
            return reply.status == 200 && reply.body == recording.substr(start, 2000);
        }));
    }
    for (auto& client : clients)
        EXPECT_TRUE(client.get());
}

TEST(HttpServer, RolesCanBeSwitchedOff) {
    ServerOptions options;
    options.serveDirectory = false;
    options.serveUpdate = false;
    RunningServer server(options);
    EXPECT_EQ(server.Get("/getstations/").status, 404);
    EXPECT_EQ(server.Get("/getvantriversioninfo/version19").status, 404);
    EXPECT_EQ(server.Get("/station/1/getstationinfo/").status, 200);
}

} // namespace
