// The station server's search requests over loopback: searchtracks/ finds shows and tracks of every
// station by title, artist or host, searchchat/ finds chat rows of every show a page at a time, both
// whatever the case and accents and in any script; bad queries (empty, malformed escapes, bytes that are
// not UTF-8, unknown parameters) are refused with 400, control characters are dropped and long queries
// cut at 256 units.

#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "RecordDecoder.h"
#include "SearchTarget.h"
#include "StationFixtures.h"
#include "records/CatalogueRecords.h"
#include "records/WireFormat.h"

#include <gtest/gtest.h>

using namespace station;
using namespace stationtest;

namespace {

struct Hit {
    std::int32_t station = 0, stream = 0, second = 0;
    std::uint8_t flag = 0; // show (tracks) or row kind (chat)
    std::string text1, text2;
    bool operator==(const Hit&) const = default;
};

struct Answer {
    int status = 0;
    std::uint8_t kind = 0;
    std::uint32_t total = 0;
    std::uint16_t page = 0, perPage = 0;
    std::vector<Hit> hits;
    std::string cacheControl;
};

class SearchServer : public ::testing::Test {
protected:
    void SetUp() override {
        const auto root = folder_.path();
        MakeSmallArchive(root);
        // More tracks and chat in other scripts and with accents, on a second station.
        const auto five = root / "stations/5/streams/3";
        WriteText(five / "tracks.txt",
                  "0:00:00\tmusic\tBjörk\tJóga\t0:00:20\t0\n"
                  "0:00:20\tmusic\tCafé Tacvba\tEres\t0:00:40\t0\n"
                  "0:00:40\tmusic\t坂本龍一\tMerry Christmas Mr. Lawrence\t0:01:00\t0\n");
        std::string chat;
        for (int i = 0; i < 120; ++i)
            chat += "0:00:" + std::string(i / 2 < 10 ? "0" : "") + std::to_string(i / 2) +
                    "\tmessage\tbob\tround " + std::to_string(i) + " of the INTERVIEW\n";
        chat += "0:01:00\tmessage\tcarol\tПривет, Интервью\n";
        WriteText(five / "chat.txt", chat);
        std::vector<Failure> problems;
        auto archive = LoadArchive(root, problems);
        ASSERT_TRUE(archive.ok());
        auto catalogue = Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(catalogue.ok());
        ServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        auto server = HttpServer::Start(*catalogue, options);
        ASSERT_TRUE(server.ok());
        server_ = std::move(*server);
    }

    Answer Get(const std::string& target) {
        const HttpReply reply = Exchange(server_->port(), PlayerRequest(target));
        Answer answer;
        answer.status = reply.status;
        for (const std::string& header : reply.headers)
            if (header.rfind("Cache-Control: ", 0) == 0)
                answer.cacheControl = header.substr(15);
        if (reply.status != 200)
            return answer;
        std::vector<Record> records;
        EXPECT_TRUE(SplitRecords(reply.body, records));
        EXPECT_FALSE(records.empty());
        if (records.empty())
            return answer;
        EXPECT_EQ(records[0].type, ResponseRecordType_SearchHeader);
        FieldReader header(records[0].fields);
        EXPECT_EQ(header.U8(), kSearchFormatVersion);
        answer.kind = header.U8();
        answer.total = header.U32();
        answer.page = header.U16();
        answer.perPage = header.U16();
        const std::uint16_t count = header.U16();
        header.U8();
        EXPECT_TRUE(header.ok() && header.atEnd());
        EXPECT_EQ(count + 1u, records.size());
        for (std::size_t i = 1; i < records.size(); ++i) {
            EXPECT_EQ(records[i].type, answer.kind == kSearchKindTracks ? ResponseRecordType_TrackHit
                                                                        : ResponseRecordType_ChatHit);
            FieldReader r(records[i].fields);
            Hit hit;
            hit.station = r.I32();
            hit.stream = r.I32();
            hit.second = r.I32();
            hit.flag = r.U8();
            hit.text1 = r.Text();
            hit.text2 = r.Text();
            EXPECT_TRUE(r.ok() && r.atEnd());
            answer.hits.push_back(hit);
        }
        return answer;
    }

    TempFolder folder_;
    std::unique_ptr<HttpServer> server_;
};

TEST_F(SearchServer, TracksAndShowsOfEveryStationByTitleArtistOrHost) {
    // "dj test" is the host of show 1 and the artist of its first track.
    Answer a = Get("/searchtracks/?q=DJ+TEST");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.kind, kSearchKindTracks);
    EXPECT_EQ(a.total, 2u);
    EXPECT_EQ(a.hits,
              (std::vector<Hit>{{1, 1, 0, 1, "Friday Mix", "DJ Test"}, {1, 1, 0, 0, "DJ Test", "Welcome"}}));
    EXPECT_EQ(a.cacheControl, "public, max-age=60");
    // Accents and case folded on both sides, in any script, on the other station.
    a = Get("/searchtracks/?q=bjork");
    ASSERT_EQ(a.hits.size(), 1u);
    EXPECT_EQ(a.hits[0], (Hit{5, 3, 0, 0, "Björk", "Jóga"}));
    a = Get("/searchtracks/?q=CAF%C3%89");
    ASSERT_EQ(a.hits.size(), 1u);
    EXPECT_EQ(a.hits[0].second, 20);
    a = Get("/searchtracks/?q=%E5%9D%82%E6%9C%AC");
    ASSERT_EQ(a.hits.size(), 1u);
    EXPECT_EQ(a.hits[0].text1, "坂本龍一");
    a = Get("/searchtracks/?q=late");
    ASSERT_EQ(a.hits.size(), 1u) << "the show title of station 5";
    EXPECT_EQ(a.hits[0], (Hit{5, 3, 0, 1, "Late", ""}));
    a = Get("/searchtracks/?q=nothing+like+this");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.total, 0u);
    EXPECT_TRUE(a.hits.empty());
}

TEST_F(SearchServer, ChatRowsOfEveryShowComeAPageAtATime) {
    Answer a = Get("/searchchat/?q=interview");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.kind, kSearchKindChat);
    // 120 rows of bob, and carol's in Cyrillic does not match the Latin word.
    EXPECT_EQ(a.total, 120u);
    EXPECT_EQ(a.perPage, 50u);
    ASSERT_EQ(a.hits.size(), 50u);
    EXPECT_EQ(a.hits[0], (Hit{5, 3, 0, StreamChatRowKind_Message, "bob", "round 0 of the INTERVIEW"}));
    a = Get("/searchchat/?q=interview&page=2");
    EXPECT_EQ(a.page, 2u);
    ASSERT_EQ(a.hits.size(), 20u);
    EXPECT_EQ(a.hits.back().text2, "round 119 of the INTERVIEW");
    EXPECT_TRUE(Get("/searchchat/?q=interview&page=3").hits.empty());
    a = Get("/searchchat/?q=%D0%B8%D0%BD%D1%82%D0%B5%D1%80%D0%B2%D1%8C%D1%8E"); // интервью
    ASSERT_EQ(a.hits.size(), 1u);
    EXPECT_EQ(a.hits[0].text1, "carol");
    // The sender's name is searched too; station 1's chat as well.
    a = Get("/searchchat/?q=ALICE+HELLO");
    ASSERT_EQ(a.hits.size(), 1u);
    EXPECT_EQ(a.hits[0], (Hit{1, 1, 1, StreamChatRowKind_Message, "alice", "hello"}));
}

TEST_F(SearchServer, BadQueriesAreRefusedAndOddOnesMadeSafe) {
    EXPECT_EQ(Get("/searchtracks/").status, 400);
    EXPECT_EQ(Get("/searchtracks/?q=").status, 400);
    EXPECT_EQ(Get("/searchtracks/?q=+++").status, 400) << "blanks only";
    EXPECT_EQ(Get("/searchtracks/?q=%01%02").status, 400) << "control characters only";
    EXPECT_EQ(Get("/searchtracks/?q=%G1").status, 400);
    EXPECT_EQ(Get("/searchtracks/?q=ab%C3").status, 400) << "a cut escape or UTF-8 sequence";
    EXPECT_EQ(Get("/searchtracks/?q=%FF%FE").status, 400) << "not UTF-8";
    EXPECT_EQ(Get("/searchtracks/?q=a&q=b").status, 400);
    EXPECT_EQ(Get("/searchchat/?q=a&page=x").status, 400);
    EXPECT_EQ(Get("/searchchat/?q=a&sort=1").status, 400);
    // A control character inside is dropped: "bj\x07ork" finds Björk.
    Answer a = Get("/searchtracks/?q=bj%07ork");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.hits.size(), 1u);
    // A zero byte can never join two entries.
    EXPECT_EQ(Get("/searchtracks/?q=%00").status, 400);
    // A query of 300 units is cut to 256 and still answered.
    std::string longQuery;
    for (int i = 0; i < 300; ++i)
        longQuery += "%C3%A9"; // é
    EXPECT_EQ(Get("/searchtracks/?q=" + longQuery).status, 200);
}

TEST(SearchTarget, ParsesQueriesCutsThemAndTellsOtherTargetsApart) {
    EXPECT_FALSE(ParseSearchTarget("/getstations/").has_value());
    EXPECT_FALSE(ParseSearchTarget("/station/1/getstationinfo/").has_value());
    auto request = ParseSearchTarget("/searchchat/?q=Caf%C3%A9+au+lait&page=4&debug");
    ASSERT_TRUE(request && request->ok);
    EXPECT_EQ(request->kind, SearchKind::Chat);
    EXPECT_EQ(request->query, u"Café au lait");
    EXPECT_EQ(request->page, 4u);
    std::string emoji;
    for (int i = 0; i < 200; ++i)
        emoji += "%F0%9F%98%80"; // two units each
    request = ParseSearchTarget("/searchtracks/?q=a" + emoji);
    ASSERT_TRUE(request && request->ok);
    EXPECT_EQ(request->query.size(), 255u) << "cut before a pair that would pass 256 units";
    request = ParseSearchTarget("/searchtracks/?q=line%0D%0Abreak%09tab");
    ASSERT_TRUE(request && request->ok);
    EXPECT_EQ(request->query, u"line break tab");
}

} // namespace
