// The web link pages: the targets the player's copied web links have, the page's facts and its vantri:
// button, escaping of archive texts, and the page served at the web link base over loopback.

#include "WebLinkPage.h"
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "StationFixtures.h"

#include "app/Links.h"
#include "platform/Utf.h"

#include <gtest/gtest.h>

using namespace station;
using namespace stationtest;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(WebLinkPage, TheTargetsOfThePlayersWebLinksAreRead) {
    // The player's own encoding, including numbers of several base-62 digits.
    for (const auto& [station, stream, seconds] : std::vector<std::tuple<int, int, int>>{
             {1, 1, 0}, {5, 3, 61}, {62, 3843, 86399}, {7, 1, 916132831}}) {
        const std::string track = "/" + Utf16ToUtf8(MakeTrackLink(station, stream, seconds));
        EXPECT_EQ(ParseWebLinkTarget(track), (WebLink{station, stream, seconds, true})) << track;
        EXPECT_EQ(SchemeLink(*ParseWebLinkTarget(track)), "vantri:" + track.substr(1));
        const std::string whole = "/" + Utf16ToUtf8(MakeStreamLink(station, stream));
        EXPECT_EQ(ParseWebLinkTarget(whole), (WebLink{station, stream, 0, false})) << whole;
    }
    for (const char* bad : {"/track-1-2", "/track-1-2-3-4", "/stream-1", "/stream-1-2-3", "/track-1--3",
                            "/track-1-2-3/", "/track-1-2-3?x", "/track-1-2-zzzzzz", "/track-1-2-!",
                            "/getstations/", "/station-1", "/Track-1-2-3", "track-1-2-3"})
        EXPECT_FALSE(ParseWebLinkTarget(bad)) << bad;
}

class WebLinkServer : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSmallArchive(folder.path());
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder.path(), problems);
        ASSERT_TRUE(archive.ok());
        auto built = Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(built.ok());
        catalogue = *built;
    }
    TempFolder folder;
    std::shared_ptr<const Catalogue> catalogue;
};

TEST_F(WebLinkServer, ThePageNamesStationShowMomentAndTrackAndOpensTheSameLink) {
    const auto page = WebLinkPage(catalogue->archive(), WebLink{1, 1, 2, true});
    ASSERT_TRUE(page);
    EXPECT_TRUE(Contains(*page, "<h1>Radio One</h1>"));
    EXPECT_TRUE(Contains(*page, "<dd>Friday Mix</dd>"));
    EXPECT_TRUE(Contains(*page, "<dd>DJ Test</dd>"));
    EXPECT_TRUE(Contains(*page, "<dd>2024-03-03 20:00:00 UTC</dd>"));
    EXPECT_TRUE(Contains(*page, "<dd>0:00:02</dd>"));
    EXPECT_TRUE(Contains(*page, "<dd>Artist A - First Song</dd>"));
    EXPECT_TRUE(Contains(*page, "href=\"vantri:track-1-1-2\""));

    const auto whole = WebLinkPage(catalogue->archive(), WebLink{1, 1, 0, false});
    ASSERT_TRUE(whole);
    EXPECT_TRUE(Contains(*whole, "href=\"vantri:stream-1-1\""));
    EXPECT_FALSE(Contains(*whole, "Moment"));

    EXPECT_FALSE(WebLinkPage(catalogue->archive(), WebLink{1, 99, 0, false}));
    EXPECT_FALSE(WebLinkPage(catalogue->archive(), WebLink{99, 1, 0, false}));
}

TEST_F(WebLinkServer, ArchiveTextsCannotWriteMarkup) {
    Archive archive;
    Station& s = archive.stations[3];
    s.id = 3;
    s.name = "<script>alert('x')</script> & \"Co\"";
    Stream& stream = s.streams[4];
    stream.id = 4;
    stream.text1 = "<b>show</b>";
    const auto page = WebLinkPage(archive, WebLink{3, 4, 0, false});
    ASSERT_TRUE(page);
    EXPECT_FALSE(Contains(*page, "<script>"));
    EXPECT_FALSE(Contains(*page, "<b>show"));
    EXPECT_TRUE(Contains(*page, "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;Co&quot;"));
}

TEST_F(WebLinkServer, TheServerAnswersWebLinksAtItsRootAsHtml) {
    ServerOptions options;
    auto server = HttpServer::Start(catalogue, options);
    ASSERT_TRUE(server.ok());
    const std::uint16_t port = (*server)->port();
    const HttpReply page = Exchange(port, PlayerRequest("/track-1-1-2"));
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.HasHeader("content-type", "text/html; charset=utf-8"));
    EXPECT_TRUE(Contains(page.body, "href=\"vantri:track-1-1-2\""));
    EXPECT_EQ(Exchange(port, PlayerRequest("/stream-1-9")).status, 404);
    // The player's own requests are unchanged.
    EXPECT_EQ(Exchange(port, PlayerRequest("/getstations/")).status, 200);
}

TEST_F(WebLinkServer, ThePageIsCacheableAndLocksDownWhatABrowserMayDoWithIt) {
    auto server = HttpServer::Start(catalogue, {});
    ASSERT_TRUE(server.ok());
    const std::uint16_t port = (*server)->port();
    const HttpReply page = Exchange(port, PlayerRequest("/stream-1-1"));
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.HasHeader("cache-control", "public, max-age=300"));
    EXPECT_TRUE(page.HasHeader("x-content-type-options", "nosniff"));
    EXPECT_TRUE(page.HasHeader("referrer-policy", "no-referrer"));
    EXPECT_TRUE(page.HasHeader("content-security-policy",
                               "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; "
                               "form-action 'none'; frame-ancestors 'none'"));
    std::string etag;
    for (const std::string& header : page.headers)
        if (header.rfind("ETag: ", 0) == 0)
            etag = header.substr(6);
    ASSERT_FALSE(etag.empty());
    // The page holds no script and loads nothing from elsewhere, so the policy takes nothing from it.
    EXPECT_FALSE(Contains(page.body, "<script"));
    EXPECT_FALSE(Contains(page.body, "src="));
    const HttpReply again =
        Exchange(port, "GET /stream-1-1 HTTP/1.1\r\nHost: 127.0.0.1\r\nIf-None-Match: " + etag +
                           "\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(again.status, 304);
    EXPECT_TRUE(again.body.empty());
}

TEST_F(WebLinkServer, NoPagesWhileTheStationsAreNotServed) {
    ServerOptions options;
    options.serveStations = false;
    auto server = HttpServer::Start(catalogue, options);
    ASSERT_TRUE(server.ok());
    const std::uint16_t port = (*server)->port();
    for (const char* target : {"/stream-1-1", "/track-1-1-2", "/station/1/getstationinfo/"}) {
        const HttpReply reply = Exchange(port, PlayerRequest(target));
        EXPECT_EQ(reply.status, 404) << target;
        EXPECT_FALSE(Contains(reply.body, "Radio One")) << target;
    }
    EXPECT_EQ(Exchange(port, PlayerRequest("/getstations/")).status, 200);
}

} // namespace
