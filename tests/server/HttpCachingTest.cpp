// Answers that standard HTTP caches can keep: validators and Cache-Control per kind of answer, and 304
// for conditional requests whose copy is current.
#include "HttpCaching.h"
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "StationFixtures.h"
#include "Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace station;
using namespace stationtest;
namespace fs = std::filesystem;

namespace {

std::string Header(const HttpReply& reply, const std::string& lowerName) {
    for (const std::string& header : reply.headers) {
        const std::size_t colon = header.find(':');
        if (colon != std::string::npos && ToLower(header.substr(0, colon)) == lowerName)
            return std::string(Trim(std::string_view(header).substr(colon + 1)));
    }
    return {};
}

std::string Conditional(const std::string& target, const std::string& header) {
    return "GET " + target + " HTTP/1.1\r\nHOST: 127.0.0.1\r\n" + header + "\r\nConnection: Close\r\n\r\n";
}

class CachingTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSmallArchive(folder.path());
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder.path(), problems);
        ASSERT_TRUE(archive.ok());
        auto catalogue = Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(catalogue.ok());
        auto started = HttpServer::Start(*catalogue, {});
        ASSERT_TRUE(started.ok());
        server = std::move(*started);
    }
    HttpReply Get(const std::string& request) { return Exchange(server->port(), request); }

    TempFolder folder;
    std::unique_ptr<HttpServer> server;
};

TEST_F(CachingTest, EveryKindOfAnswerCarriesValidatorsAndItsCacheControl) {
    struct Case {
        std::string target;
        std::string cacheControl;
    };
    const Case cases[] = {
        {"/station/1/getstreamdata/?streamid=1&start=0&length=5000", kCacheImmutable},
        {"/station/1/getstreaminfo/?streamid=1", kCacheCatalogue},
        {"/station/1/getstreamchat/?streamid=1", kCacheCatalogue},
        {"/station/1/getstationinfo/", kCacheStationInfo},
        {"/getstations/", kCacheDirectory},
    };
    for (const Case& c : cases) {
        const HttpReply first = Get(PlayerRequest(c.target));
        ASSERT_EQ(first.status, 200) << c.target;
        const std::string etag = Header(first, "etag");
        const std::string modified = Header(first, "last-modified");
        EXPECT_EQ(Header(first, "cache-control"), c.cacheControl) << c.target;
        ASSERT_EQ(etag.size(), 34u) << c.target; // a quoted 128-bit tag
        ASSERT_TRUE(ParseHttpDate(modified)) << modified;

        // The same tag again (among others, or weak): 304 without a body, with the validators.
        HttpReply again = Get(Conditional(c.target, "If-None-Match: \"x\", W/" + etag));
        EXPECT_EQ(again.status, 304) << c.target;
        EXPECT_TRUE(again.body.empty());
        EXPECT_EQ(Header(again, "etag"), etag);
        EXPECT_EQ(Header(again, "cache-control"), c.cacheControl);
        // Another tag: the whole answer, byte for byte the same.
        again = Get(Conditional(c.target, "If-None-Match: \"0123\""));
        EXPECT_EQ(again.status, 200);
        EXPECT_EQ(again.body, first.body) << c.target;
        // By date: current since the body's time.
        EXPECT_EQ(Get(Conditional(c.target, "If-Modified-Since: " + modified)).status, 304) << c.target;
        EXPECT_EQ(Get(Conditional(c.target, "If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT")).status, 200);
    }
}

TEST_F(CachingTest, WindowsHaveTheirOwnTagsAndRefusalsAreNotKept) {
    const HttpReply a = Get(PlayerRequest("/station/1/getstreamdata/?streamid=1&start=0&length=5000"));
    const HttpReply b = Get(PlayerRequest("/station/1/getstreamdata/?streamid=1&start=4096&length=5000"));
    EXPECT_NE(Header(a, "etag"), Header(b, "etag"));
    const HttpReply missing = Get(PlayerRequest("/station/1/getstreamdata/?streamid=77&start=0&length=1"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(Header(missing, "cache-control"), kCacheNever);
    EXPECT_TRUE(Header(missing, "etag").empty());
}

// Tags are made once from the files a body comes from: the same across requests and reloads while the
// files stay, new for a body whose file was replaced and loaded again.
TEST_F(CachingTest, TagsFollowTheFilesAcrossRescans) {
    const std::string chat = "/station/1/getstreamchat/?streamid=1";
    const std::string tracks = "/station/1/getstreaminfo/?streamid=1";
    const std::string info = "/station/1/getstationinfo/";
    const std::string other = "/night/getstationinfo/";
    auto tagsNow = [&] {
        std::map<std::string, std::string> tags;
        for (const std::string& target : {chat, tracks, info, other}) {
            const HttpReply reply = Get(PlayerRequest(target));
            EXPECT_EQ(reply.status, 200) << target;
            tags[target] = Header(reply, "etag");
            EXPECT_EQ(tags[target].size(), 34u) << target;
        }
        return tags;
    };
    auto rescan = [&] {
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder.path(), problems);
        ASSERT_TRUE(archive.ok());
        auto catalogue = Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(catalogue.ok());
        server->Replace(*catalogue);
    };
    const auto first = tagsNow();
    EXPECT_EQ(tagsNow(), first);
    rescan();
    EXPECT_EQ(tagsNow(), first) << "nothing changed on disk";

    // The chat log replaced by another file (as an editor or importer saves it): the answers of its stream
    // change, those of other stations stay, and the old tag no longer matches.
    const fs::path log = folder.path() / "stations/1/streams/1/chat.txt";
    WriteText(log.string() + ".new", "0:00:01\tmessage\tbob\treplaced\n");
    fs::rename(log.string() + ".new", log);
    rescan();
    const auto second = tagsNow();
    EXPECT_NE(second.at(chat), first.at(chat));
    EXPECT_NE(second.at(info), first.at(info)) << "the station's information lists its streams";
    EXPECT_EQ(second.at(other), first.at(other));
    const HttpReply stale = Get(Conditional(chat, "If-None-Match: " + first.at(chat)));
    EXPECT_EQ(stale.status, 200);
    EXPECT_NE(stale.body.find("replaced"), std::string::npos);
    EXPECT_EQ(Get(Conditional(chat, "If-None-Match: " + second.at(chat))).status, 304);
    const HttpReply head = Get("HEAD " + chat + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(Header(head, "etag"), second.at(chat));

    // Written again in place with the same bytes but a new time: a new version all the same.
    fs::last_write_time(log, fs::last_write_time(log) + std::chrono::seconds(5));
    rescan();
    EXPECT_NE(tagsNow().at(chat), second.at(chat));
}

TEST(HttpCaching, ValidatorsAndConditions) {
    EXPECT_NE(ContentTag("abc"), ContentTag("abd"));
    EXPECT_EQ(ContentTag("abc"), ContentTag("abc"));
    EXPECT_EQ(SourceTag("chat", "f1", 10), SourceTag("chat", "f1", 10));
    EXPECT_NE(SourceTag("chat", "f1", 10), SourceTag("tracks", "f1", 10));
    EXPECT_NE(SourceTag("chat", "f1", 10), SourceTag("chat", "f2", 10));
    EXPECT_NE(SourceTag("chat", "f1", 10), SourceTag("chat", "f1", 11));
    EXPECT_EQ(HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
    EXPECT_FALSE(ParseHttpDate("yesterday"));
    const Validators v{"\"t\"", 1000};
    EXPECT_TRUE(NotModified(v, "*", nullptr));
    EXPECT_TRUE(NotModified(v, " \"a\" , \"t\"", nullptr));
    EXPECT_FALSE(NotModified(v, "\"a\"", "Thu, 01 Jan 2099 00:00:00 GMT")) << "the tag decides";
    EXPECT_TRUE(NotModified(v, nullptr, "Thu, 01 Jan 1970 00:16:40 GMT"));
    EXPECT_FALSE(NotModified(v, nullptr, "Thu, 01 Jan 1970 00:16:39 GMT"));
    EXPECT_FALSE(NotModified(v, nullptr, "garbage"));
    EXPECT_FALSE(NotModified(v, nullptr, nullptr));
}

} // namespace
