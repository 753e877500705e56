// The station directory exchange, driven through HandleData: station records into the network thread's
// table, the id list to the media thread, and every way a directory can be bad.

#include "net/CatalogueHarness.h"
#include "net/MyNetworkPacket_RequestStationsConnectionData.h"
#include "support/CatalogueResponses.h"
#include "support/RecordingMessageBoxes.h"
#include "support/UserAgent.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr const char* kInvalidData =
    "NetworkError == NETWORKERROR_INVALIDDATA!\r\n\r\n(file: NetworkPackets, row: ";

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.rfind(prefix, 0) == 0;
}

class StationDirectoryTest : public ::testing::Test {
protected:
    std::unique_ptr<MyNetworkPacket_RequestStationsConnectionData> Exchange() {
        return std::make_unique<MyNetworkPacket_RequestStationsConnectionData>(
            &harness.context, StationConnectionData("dir.example"));
    }
    static std::string TwoStations() {
        return DirectoryHeader(2) + DirectoryStation(11, 8001, "Radio \xC3\x84", "127.0.0.1", "/a/") +
               DirectoryStation(12, 80, "Zwei", "two.example", "/");
    }
    // The stations queued to the network thread, and the id lists queued to the media thread.
    static void Split(std::vector<JournalEntry>& entries, std::vector<StationConnectionData>& stations,
                      std::vector<StationIdList>& idLists) {
        for (auto& e : entries) {
            if (e.receiver == JournalEntry::Network) {
                ASSERT_EQ(e.type, NetworkHandlerMessageType_AddStationConnectionData);
                stations.push_back(*e.station);
            } else {
                ASSERT_EQ(e.type, MediaHandlerMessageType_AddStationIdList);
                idLists.push_back(e.ids);
            }
        }
    }

    RecordingMessageBoxes boxes;
    CatalogueHarness harness;
};

TEST_F(StationDirectoryTest, TwoStationsInSeparateReadsFillTheTableThenSendTheIdsInResponseOrder) {
    auto exchange = Exchange();
    const std::string body = TwoStations();
    const std::size_t firstStationEnd =
        DirectoryHeader(2).size() + DirectoryStation(11, 8001, "Radio \xC3\x84", "127.0.0.1", "/a/").size();
    std::string left;
    ASSERT_TRUE(FeedBody(*exchange, body.substr(0, firstStationEnd), {}, &left));
    EXPECT_TRUE(left.empty());
    // One station so far, and no id list before the announced count is reached.
    auto first = harness.Settle();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].receiver, JournalEntry::Network);

    EXPECT_FALSE(FeedBodyInOne(*exchange, body.substr(firstStationEnd)));
    auto rest = harness.Settle();
    std::vector<StationConnectionData> stations;
    std::vector<StationIdList> idLists;
    Split(first, stations, idLists);
    Split(rest, stations, idLists);

    ASSERT_EQ(stations.size(), 2u);
    EXPECT_EQ(stations[0].stationId, 11);
    EXPECT_EQ(stations[0].port, 8001);
    EXPECT_EQ(stations[0].name, u"Radio \u00C4");
    EXPECT_EQ(stations[0].host, "127.0.0.1");
    EXPECT_EQ(stations[0].basePath, "/a/");
    EXPECT_EQ(stations[1].stationId, 12);
    EXPECT_EQ(stations[1].host, "two.example");
    ASSERT_EQ(idLists.size(), 1u);
    EXPECT_EQ(idLists[0], (StationIdList{11, 12}));
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_FALSE(exchange->connected());
}

TEST_F(StationDirectoryTest, EverySplitOfTheResponseGivesTheSameResult) {
    const std::string body = TwoStations();
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBody(*exchange, body, {cut})) << "cut at " << cut;
        auto entries = harness.Settle();
        std::vector<StationConnectionData> stations;
        std::vector<StationIdList> idLists;
        Split(entries, stations, idLists);
        ASSERT_EQ(stations.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(stations[1].name, u"Zwei");
        ASSERT_EQ(idLists.size(), 1u);
        EXPECT_EQ(idLists[0], (StationIdList{11, 12}));
    }
    // And one byte per read.
    auto exchange = Exchange();
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < body.size(); ++i)
        everyByte.push_back(i);
    EXPECT_FALSE(FeedBody(*exchange, body, everyByte));
    auto entries = harness.Settle();
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationDirectoryTest, VersionTwoIsInvalidDataAndSendsNothing) {
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, DirectoryHeader(1, 2) + DirectoryStation(1, 80, "a", "h")));
    EXPECT_TRUE(harness.Settle().empty());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_TRUE(StartsWith(boxes.utf8()[0], kInvalidData));
}

TEST_F(StationDirectoryTest, HostOrPathWithAZeroOrControlByteOrBlankIsRefusedAndEndsTheDirectory) {
    // CR LF or a blank would add header lines or another target to every request for the station.
    const std::string_view bads[] = {std::string_view("ab\0cd", 5),
                                     std::string_view("\0", 1),
                                     "two.example\r\nX-Evil: 1",
                                     "/a\nb/",
                                     "/a b/",
                                     "two\texample",
                                     "two\x7f"};
    for (std::string_view bad : bads) {
        for (bool inHost : {true, false}) {
            auto exchange = Exchange();
            std::string station = inHost ? DirectoryStation(12, 80, "Two", bad, "/")
                                         : DirectoryStation(12, 80, "Two", "two.example", bad);
            EXPECT_FALSE(FeedBodyInOne(*exchange, DirectoryHeader(2) +
                                                      DirectoryStation(11, 80, "One", "one") + station +
                                                      DirectoryStation(13, 80, "Three", "three")));
            auto entries = harness.Settle();
            // The station before the bad one stays queued; no id list follows.
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].station->stationId, 11);
        }
    }
    EXPECT_EQ(boxes.count(), 2 * std::size(bads));
    for (const auto& text : boxes.utf8())
        EXPECT_TRUE(StartsWith(text, kInvalidData));
}

TEST_F(StationDirectoryTest, StationBeforeAnyHeaderCompletesAtOnce) {
    auto exchange = Exchange();
    EXPECT_FALSE(
        FeedBodyInOne(*exchange, DirectoryStation(4, 80, "x", "h") + DirectoryStation(5, 80, "y", "h")));
    std::vector<StationConnectionData> stations;
    std::vector<StationIdList> idLists;
    auto entries = harness.Settle();
    Split(entries, stations, idLists);
    ASSERT_EQ(stations.size(), 1u);
    ASSERT_EQ(idLists.size(), 1u);
    EXPECT_EQ(idLists[0], StationIdList{4});
}

TEST_F(StationDirectoryTest, IncompleteDirectoryEndsWithoutAnIdList) {
    auto exchange = Exchange();
    EXPECT_TRUE(FeedBodyInOne(*exchange, DirectoryHeader(3) + DirectoryStation(4, 80, "x", "h")));
    exchange->Disconnect(NETWORKERROR_NONE); // the server closed
    auto entries = harness.Settle();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].receiver, JournalEntry::Network);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationDirectoryTest, BadFramingIsInvalidData) {
    const std::vector<std::string> bodies = {
        RecordFields().Byte(1).Int32(1).Record(1),                 // a record type the directory does not use
        RecordFields().Byte(1).Int32(1).RecordWithLength(7, 2049), // longer than 2048
        RecordFields().RecordWithLength(7, -1),                    // negative
        RecordFields().RecordWithLength(7, 0),                     // no room for the type byte
        RecordFields().Byte(1).Int32(1).Byte(0).Record(7),         // a byte more than the header holds
        RecordFields().Byte(1).Record(7),                          // the count is missing
        RecordFields().Int32(1).UInt16(80).Text("n").Text("h").CountedBytes("/", 9).Record(8), // past the end
    };
    for (const auto& body : bodies) {
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBodyInOne(*exchange, body));
    }
    EXPECT_TRUE(harness.Settle().empty());
    ASSERT_EQ(boxes.count(), bodies.size());
    for (const auto& text : boxes.utf8())
        EXPECT_TRUE(StartsWith(text, kInvalidData));
}

TEST_F(StationDirectoryTest, TextNeedingTwoThousandUnitsIsStoredEmpty) {
    auto exchange = Exchange();
    const std::string fits(1999, 'a');
    const std::string tooLong(2000, 'b');
    // Three bytes of UTF-8 each but one unit: 600 units fit.
    std::string wide;
    for (int i = 0; i < 600; ++i)
        wide += "\xE2\x82\xAC";
    EXPECT_FALSE(FeedBodyInOne(*exchange, DirectoryHeader(3) + DirectoryStation(1, 80, fits, "h") +
                                              DirectoryStation(2, 80, tooLong, "h") +
                                              DirectoryStation(3, 80, wide, "h")));
    auto entries = harness.Settle();
    std::vector<StationConnectionData> stations;
    std::vector<StationIdList> idLists;
    Split(entries, stations, idLists);
    ASSERT_EQ(stations.size(), 3u);
    EXPECT_EQ(stations[0].name.size(), 1999u);
    EXPECT_TRUE(stations[1].name.empty());
    EXPECT_EQ(stations[2].name, std::u16string(600, u'\u20AC'));
}

TEST_F(StationDirectoryTest, RequestAsksTheDirectoryServerForItsStations) {
    auto exchange = Exchange();
    EXPECT_EQ(exchange->RequestText(), "GET /getstations/ HTTP/1.1\r\n"
                                       "HOST: dir.example\r\n" +
                                           testsupport::UserAgentLine() +
                                           "Connection: Close\r\n"
                                           "\r\n");
    harness.context.debug = 1;
    EXPECT_EQ(exchange->RequestText(), "GET /getstations/?debug HTTP/1.1\r\n"
                                       "HOST: dir.example\r\n" +
                                           testsupport::UserAgentLine() +
                                           "Connection: Close\r\n"
                                           "\r\n");
    EXPECT_EQ(exchange->type(), NetworkPacketType_RequestStationsConnectionData);
}

} // namespace
