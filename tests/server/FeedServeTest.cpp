// The station's podcast feeds as podcast players meet them: fetched with curl from a served archive,
// read by Debian's feed parser (python3-feedparser), the enclosure downloaded whole and by range, the
// chapters read as JSON; and the addresses made from the Host the client asked for.
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpHeaders.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "StationFixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

using namespace station;
using namespace stationtest;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Reads a feed file with feedparser: "bozo 0|1", "version ...", then one line per item: title,
// enclosure address, length, type, chapters address, transcript address, joined by tabs.
constexpr const char* kReadFeed = R"PY(
import sys, feedparser
d = feedparser.parse(open(sys.argv[1], 'rb').read())
print('bozo', int(bool(d.bozo)), d.get('bozo_exception', ''))
print('version', d.version)
print('title', d.feed.get('title', ''))
for e in d.entries:
    enc = e.enclosures[0] if e.enclosures else {}
    print('\t'.join(['item', e.get('title', ''), enc.get('href', ''), enc.get('length', ''), enc.get('type', ''),
                     e.get('podcast_chapters', {}).get('url', ''), e.get('podcast_transcript', {}).get('url', '')]))
)PY";

// Reads a chapters file: one line per chapter, start and title joined by a tab.
constexpr const char* kReadChapters = R"PY(
import sys, json
d = json.load(open(sys.argv[1], encoding='utf-8'))
print('version', d['version'])
for c in d['chapters']:
    print('%s\t%s' % (c['startTime'], c['title']))
)PY";

class FeedServe : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSmallArchive(folder.path());
        // A station that has no shows yet.
        WriteText(folder.path() / "stations/7/station.conf", "name = Quiet Station\n");
        WriteText(folder.path() / "read_feed.py", kReadFeed);
        WriteText(folder.path() / "read_chapters.py", kReadChapters);
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder.path(), problems);
        ASSERT_TRUE(archive.ok());
        auto catalogue = Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(catalogue.ok());
        ServerOptions options;
        options.address = "127.0.0.1";
        auto started = HttpServer::Start(*catalogue, options);
        ASSERT_TRUE(started.ok());
        server = std::move(*started);
        base = "http://127.0.0.1:" + std::to_string(server->port());
    }

    // Runs a shell command; its standard output (and error) as text, and whether it succeeded.
    bool Run(const std::string& command, std::string& output) {
        const fs::path log = folder.path() / "run.txt";
        const int raw = std::system((command + " >'" + log.string() + "' 2>&1").c_str());
        output = ReadFile(log);
        return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
    }
    // Fetches `url` with curl into `file`; the status, or 0 when curl failed.
    int Fetch(const std::string& url, const fs::path& file, const std::string& extra = "") {
        std::string status;
        if (!Run("curl -sS --max-time 20 -o '" + file.string() + "' -w '%{http_code}' " + extra + " '" + url +
                     "'",
                 status))
            return 0;
        return std::atoi(status.c_str());
    }
    std::map<std::string, std::vector<std::string>> ReadFeed(const fs::path& file) {
        std::string output;
        EXPECT_TRUE(Run("/usr/bin/python3 '" + (folder.path() / "read_feed.py").string() + "' '" +
                            file.string() + "'",
                        output))
            << output;
        std::map<std::string, std::vector<std::string>> read;
        for (const std::string& line : Lines(output)) {
            const std::size_t split = line.find_first_of(" \t");
            read[line.substr(0, split)].push_back(split == std::string::npos ? "" : line.substr(split + 1));
        }
        return read;
    }

    TempFolder folder;
    std::unique_ptr<HttpServer> server;
    std::string base;
};

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
        fields.push_back(line.substr(from, tab - from));
    fields.push_back(line.substr(from));
    return fields;
}

TEST_F(FeedServe, AFeedParserReadsTheFeedAndEachItemLeadsToItsRecordingAndChapters) {
    const fs::path feedFile = folder.path() / "feed.xml";
    ASSERT_EQ(Fetch(base + "/feed/1.xml", feedFile), 200);
    auto feed = ReadFeed(feedFile);
    ASSERT_EQ(feed["bozo"].size(), 1u);
    EXPECT_EQ(feed["bozo"][0], "0 ") << "the parser found a fault";
    EXPECT_EQ(feed["version"], std::vector<std::string>{"rss20"});
    EXPECT_EQ(feed["title"], std::vector<std::string>{"Radio One"});
    ASSERT_EQ(feed["item"].size(), 2u);

    // The newest show first: stream 2 (no tracks, no chat), then stream 1.
    const std::vector<std::string> second = Fields(feed["item"][0]);
    const std::vector<std::string> first = Fields(feed["item"][1]);
    ASSERT_EQ(first.size(), 6u);
    ASSERT_EQ(second.size(), 6u);
    EXPECT_EQ(first[0], "Friday Mix");
    EXPECT_EQ(first[1], base + "/feed/1/1/recording.mp3");
    const std::string recording = SilentMp3Bytes(100);
    EXPECT_EQ(first[2], std::to_string(recording.size()));
    EXPECT_EQ(first[3], "audio/mpeg");
    EXPECT_EQ(first[4], base + "/feed/1/1/chapters.json");
    EXPECT_EQ(first[5], base + "/feed/1/1/transcript.vtt");
    EXPECT_EQ(second[1], base + "/feed/1/2/recording.mp3");
    EXPECT_EQ(second[4], "");
    EXPECT_EQ(second[5], "");

    // The enclosure: the recording whole, and one range of it as a podcast player asks when seeking.
    const fs::path whole = folder.path() / "whole.mp3";
    ASSERT_EQ(Fetch(first[1], whole), 200);
    EXPECT_EQ(ReadFile(whole), recording);
    const fs::path part = folder.path() / "part.mp3";
    ASSERT_EQ(Fetch(first[1], part, "-r 1000-2999"), 206);
    EXPECT_EQ(ReadFile(part), recording.substr(1000, 2000));
    ASSERT_EQ(Fetch(first[1], part, "-r 41000-"), 206);
    EXPECT_EQ(ReadFile(part), recording.substr(41000));
    ASSERT_EQ(Fetch(first[1], part, "-r -100"), 206);
    EXPECT_EQ(ReadFile(part), recording.substr(recording.size() - 100));
    EXPECT_EQ(Fetch(first[1], part, "-r 999999-"), 416);

    // The chapters: the track list, in order, with its times.
    const fs::path chapters = folder.path() / "chapters.json";
    ASSERT_EQ(Fetch(first[4], chapters), 200);
    std::string read;
    ASSERT_TRUE(Run("/usr/bin/python3 '" + (folder.path() / "read_chapters.py").string() + "' '" +
                        chapters.string() + "'",
                    read))
        << read;
    EXPECT_EQ(Lines(read), (std::vector<std::string>{"version 1.2.0", "0\tDJ Test - Welcome",
                                                     "1\tArtist A - First Song"}));

    const fs::path transcript = folder.path() / "transcript.vtt";
    ASSERT_EQ(Fetch(first[5], transcript), 200);
    EXPECT_EQ(ReadFile(transcript).rfind("WEBVTT\n", 0), 0u);
    EXPECT_NE(ReadFile(transcript).find("<v alice>hello</v>"), std::string::npos);
}

TEST_F(FeedServe, AStationWithoutShowsIsAValidEmptyFeedAndUnknownOnesAreNotFound) {
    const fs::path feedFile = folder.path() / "feed.xml";
    ASSERT_EQ(Fetch(base + "/feed/7.xml", feedFile), 200);
    auto feed = ReadFeed(feedFile);
    EXPECT_EQ(feed["bozo"], std::vector<std::string>{"0 "});
    EXPECT_EQ(feed["version"], std::vector<std::string>{"rss20"});
    EXPECT_EQ(feed["title"], std::vector<std::string>{"Quiet Station"});
    EXPECT_TRUE(feed["item"].empty());

    for (const char* target : {"/feed/99.xml", "/feed/1/99/recording.mp3", "/feed/99/1/chapters.json",
                               "/feed/1/2/transcript.vtt", "/feed/01.xml", "/feed/1/1/other.mp3"})
        EXPECT_EQ(Exchange(server->port(), PlayerRequest(target)).status, 404) << target;
}

TEST_F(FeedServe, AddressesFollowTheHostAskedForAndAMalformedHostIsRefused) {
    HttpReply reply = Exchange(server->port(), PlayerRequest("/feed/1.xml", "radio.example:8080"));
    ASSERT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("url=\"http://radio.example:8080/feed/1/1/recording.mp3\""), std::string::npos);
    EXPECT_TRUE(reply.HasHeader("vary", "Host"));
    EXPECT_TRUE(reply.HasHeader("content-type", "application/rss+xml; charset=utf-8"));
    reply = Exchange(server->port(), PlayerRequest("/feed/1.xml", "[::1]:80"));
    ASSERT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("http://[::1]:80/feed/1/1/chapters.json"), std::string::npos);
    for (const char* host : {"a\"b", "a b", "<x>", "host:0", "host:99999", "host:", "[::1", "[zz]", "a/b",
                             "a@b", ".", "host:80:80"}) {
        reply = Exchange(server->port(), PlayerRequest("/feed/1.xml", host));
        EXPECT_EQ(reply.status, 400) << host;
        EXPECT_EQ(reply.body.find("<rss"), std::string::npos) << host;
    }
    // HTTP/1.0 without a Host: the address listened on.
    reply = Exchange(server->port(), "GET /feed/1.xml HTTP/1.0\r\n\r\n");
    ASSERT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find(base + "/feed/1/1/recording.mp3"), std::string::npos);
}

TEST_F(FeedServe, FeedAnswersAreCacheableLikeTheOthers) {
    for (const char* target :
         {"/feed/1.xml", "/feed/1/1/recording.mp3", "/feed/1/1/chapters.json", "/feed/1/1/transcript.vtt"}) {
        const HttpReply first = Exchange(server->port(), PlayerRequest(target));
        ASSERT_EQ(first.status, 200) << target;
        std::string etag;
        std::string modified;
        for (const std::string& header : first.headers) {
            if (header.rfind("ETag: ", 0) == 0)
                etag = header.substr(6);
            if (header.rfind("Last-Modified: ", 0) == 0)
                modified = header.substr(15);
        }
        ASSERT_EQ(etag.size(), 34u) << target;
        EXPECT_FALSE(modified.empty()) << target;
        EXPECT_EQ(Exchange(server->port(), PlayerRequest(target)).body, first.body) << target;
        const HttpReply again =
            Exchange(server->port(), "GET " + std::string(target) +
                                         " HTTP/1.1\r\nHost: 127.0.0.1\r\nIf-None-Match: " + etag +
                                         "\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(again.status, 304) << target;
        EXPECT_TRUE(again.body.empty()) << target;
    }
    // A range of another version of the recording than the client holds: the whole current one.
    const HttpReply stale = Exchange(
        server->port(), "GET /feed/1/1/recording.mp3 HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=0-9\r\n"
                        "If-Range: \"old\"\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(stale.status, 200);
    EXPECT_EQ(stale.body, SilentMp3Bytes(100));
}

TEST(FeedServeOptions, AConfiguredPublicHostNamesTheAddresses) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    auto catalogue = Catalogue::Build(std::move(*archive));
    ASSERT_TRUE(catalogue.ok());
    for (const auto& [host, expected] : std::vector<std::pair<std::string, std::string>>{
             {"radio.example", "http://radio.example:8080/feed/1/1/recording.mp3"},
             {"2001:db8::5", "http://[2001:db8::5]:8080/feed/1/1/recording.mp3"}}) {
        ServerOptions options;
        options.publicHost = host;
        options.publicPort = 8080;
        auto server = HttpServer::Start(*catalogue, options);
        ASSERT_TRUE(server.ok());
        const HttpReply reply = Exchange((*server)->port(), PlayerRequest("/feed/1.xml", "ignored.example"));
        ASSERT_EQ(reply.status, 200) << host;
        EXPECT_NE(reply.body.find("url=\"" + expected + "\""), std::string::npos) << reply.body;
    }
}

TEST(FeedHeaders, ByteRangesAndHosts) {
    auto range = [](const char* header, std::uint64_t size) {
        const ByteRange r = ParseByteRange(header, size);
        return std::to_string(r.kind) + ":" + std::to_string(r.start) + "+" + std::to_string(r.count);
    };
    EXPECT_EQ(range(nullptr, 100), "0:0+0");
    EXPECT_EQ(range("bytes=0-9", 100), "1:0+10");
    EXPECT_EQ(range("bytes=90-200", 100), "1:90+10");
    EXPECT_EQ(range("bytes=10-", 100), "1:10+90");
    EXPECT_EQ(range("bytes=-10", 100), "1:90+10");
    EXPECT_EQ(range("bytes=-1000", 100), "1:0+100");
    EXPECT_EQ(range("bytes=100-", 100), "2:0+0");
    EXPECT_EQ(range("bytes=-0", 100), "2:0+0");
    for (const char* ignored : {"bytes=9-1", "bytes=0-1,5-6", "items=0-1", "bytes=a-b", "bytes=-", "bytes=1",
                                "bytes=99999999999999999999-"})
        EXPECT_EQ(range(ignored, 100), "0:0+0") << ignored;

    EXPECT_EQ(BaseFromHost("radio.example"), "http://radio.example");
    EXPECT_EQ(BaseFromHost("10.0.0.1:8470"), "http://10.0.0.1:8470");
    EXPECT_EQ(BaseFromHost("[2001:db8::1]:443"), "http://[2001:db8::1]:443");
    for (const char* bad : {"", "a b", "a\"b", "host:0", "host:65536", "[::1]x", "[]", "-x", "a/b", "a?b"})
        EXPECT_FALSE(BaseFromHost(bad)) << bad;
}

} // namespace
