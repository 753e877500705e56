// The station information exchange, driven through HandleData: format versions, the stream records and
// the one message that always reaches the media thread, with or without a record.

#include "net/CatalogueHarness.h"
#include "net/MyNetworkPacket_RequestStationInfo.h"
#include "support/CatalogueResponses.h"
#include "support/RecordingMessageBoxes.h"
#include "support/UserAgent.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr std::string_view kInvalidData =
    "NetworkError == NETWORKERROR_INVALIDDATA!\r\n\r\n(file: NetworkPackets";

class StationInfoTest : public ::testing::Test {
protected:
    std::unique_ptr<MyNetworkPacket_RequestStationInfo> Exchange() {
        return std::make_unique<MyNetworkPacket_RequestStationInfo>(&harness.context, harness.station, 5);
    }
    // The single AddStationInfo the exchange must have sent; its record may be null.
    std::unique_ptr<StationInfoData> OnlyResult() {
        auto entries = harness.Settle();
        EXPECT_EQ(entries.size(), 1u);
        if (entries.size() != 1)
            return nullptr;
        EXPECT_EQ(entries[0].type, MediaHandlerMessageType_AddStationInfo);
        return std::move(entries[0].info);
    }
    static StreamFields Stream(std::int32_t id, std::uint8_t type = 1) {
        StreamFields s;
        s.streamId = id;
        s.streamType = type;
        return s;
    }

    RecordingMessageBoxes boxes;
    CatalogueHarness harness;
};

TEST_F(StationInfoTest, VersionFourStationWithItsStreams) {
    StreamFields first;
    first.streamId = 100;
    first.startTime = 1'700'000'000;
    first.duration = 7200;
    first.size = static_cast<std::int32_t>(0xF0000000u); // above 2^31: the size is unsigned
    first.streamType = 1;
    first.extraValue1 = -7;
    first.hasChat = 2;
    first.extraValue2 = 99;
    first.text1 = "Morning \xE2\x98\x95";
    first.text2 = "DJ";
    first.text3 = "Talk";
    StreamFields second = Stream(50, 3);
    second.hasChat = 0;

    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, StationHeader(4, "Radio", "", 2) + StreamRecord(first) +
                                              StreamRecord(second)));
    auto info = OnlyResult();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->stationId, 5); // from the request, not the response
    EXPECT_EQ(info->name, u"Radio");
    EXPECT_TRUE(info->description.empty());
    ASSERT_EQ(info->streams.size(), 2u);
    const StreamInfoData& s = *info->streams.at(100);
    EXPECT_EQ(s.stationId, 5);
    EXPECT_EQ(s.streamId, 100);
    EXPECT_EQ(s.startTime, 1'700'000'000);
    EXPECT_EQ(s.duration, 7200u);
    EXPECT_EQ(s.size, 0xF0000000u);
    EXPECT_EQ(s.streamType, 0);
    EXPECT_EQ(s.extraValue1, -7);
    EXPECT_TRUE(s.hasChat);
    EXPECT_EQ(s.extraValue2, 99);
    EXPECT_EQ(s.text1, u"Morning \u2615");
    EXPECT_EQ(s.text2, u"DJ");
    EXPECT_EQ(s.text3, u"Talk");
    EXPECT_EQ(s.trackList(), nullptr);
    EXPECT_EQ(s.chatRows(), nullptr);
    EXPECT_EQ(info->streams.at(50)->streamType, 2);
    EXPECT_FALSE(info->streams.at(50)->hasChat);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_FALSE(exchange->connected());
}

TEST_F(StationInfoTest, VersionFiveCarriesADescriptionBeforeTheCount) {
    auto exchange = Exchange();
    EXPECT_FALSE(
        FeedBodyInOne(*exchange, StationHeader(5, "Radio", "All night long", 1) + StreamRecord(Stream(1))));
    auto info = OnlyResult();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, u"Radio");
    EXPECT_EQ(info->description, u"All night long");
    EXPECT_EQ(info->streams.size(), 1u);
}

TEST_F(StationInfoTest, VersionsThreeAndSixSendAnEmptyResultWithoutABox) {
    for (std::uint8_t version : {3, 6}) {
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBodyInOne(*exchange, RecordFields().Byte(version).Text("Radio").Int32(1).Record(1) +
                                                  StreamRecord(Stream(1))));
        EXPECT_EQ(OnlyResult(), nullptr);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationInfoTest, StreamTypeBytesZeroAndFourAreInvalidData) {
    for (std::uint8_t type : {0, 4}) {
        auto exchange = Exchange();
        EXPECT_FALSE(
            FeedBodyInOne(*exchange, StationHeader(4, "Radio", "", 1) + StreamRecord(Stream(1, type))));
        EXPECT_EQ(OnlyResult(), nullptr);
    }
    ASSERT_EQ(boxes.count(), 2u);
    for (const auto& text : boxes.utf8())
        EXPECT_EQ(text.rfind(kInvalidData, 0), 0u);
}

TEST_F(StationInfoTest, EverySplitOfASmallResponseGivesTheSameStation) {
    const std::string body =
        StationHeader(5, "Radio", "Desc", 2) + StreamRecord(Stream(1)) + StreamRecord(Stream(2));
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBody(*exchange, body, {cut}));
        auto info = OnlyResult();
        ASSERT_NE(info, nullptr) << "cut at " << cut;
        EXPECT_EQ(info->description, u"Desc");
        EXPECT_EQ(info->streams.size(), 2u);
    }
    for (std::size_t cut = 1; cut < body.size(); ++cut) {
        // Two cuts: the first fixed inside the header, the second anywhere after it.
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBody(*exchange, body, {1, cut}));
        auto info = OnlyResult();
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->streams.size(), 2u);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationInfoTest, SameStreamIdTwiceReplacesTheFirstEntry) {
    StreamFields a = Stream(1);
    a.text1 = "first";
    StreamFields b = Stream(1);
    b.text1 = "second";
    auto exchange = Exchange();
    EXPECT_TRUE(FeedBodyInOne(*exchange, StationHeader(4, "R", "", 2) + StreamRecord(a) + StreamRecord(b)));
    EXPECT_FALSE(FeedBodyInOne(*exchange, StreamRecord(Stream(2))));
    auto info = OnlyResult();
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->streams.size(), 2u);
    EXPECT_EQ(info->streams.at(1)->text1, u"second");
}

TEST_F(StationInfoTest, SecondHeaderReplacesNameAndCount) {
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, StationHeader(5, "Old", "Old desc", 5) +
                                              StationHeader(4, "New", "", 1) + StreamRecord(Stream(1))));
    auto info = OnlyResult();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, u"New");
    EXPECT_EQ(info->description, u"Old desc"); // a version 4 header has none to replace it
}

TEST_F(StationInfoTest, StreamBeforeAnyHeaderCompletesAtOnce) {
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, StreamRecord(Stream(1)) + StreamRecord(Stream(2))));
    auto info = OnlyResult();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->streams.size(), 1u);
}

TEST_F(StationInfoTest, EarlyCloseSendsOneEmptyResult) {
    auto exchange = Exchange();
    EXPECT_TRUE(FeedBodyInOne(*exchange, StationHeader(4, "R", "", 3) + StreamRecord(Stream(1))));
    exchange->Disconnect(NETWORKERROR_NONE);
    exchange->Disconnect(NETWORKERROR_NONE); // a second end adds nothing
    EXPECT_EQ(OnlyResult(), nullptr);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StationInfoTest, HeaderAnnouncingNoStreamsWaitsForTheClose) {
    auto exchange = Exchange();
    EXPECT_TRUE(FeedBodyInOne(*exchange, StationHeader(4, "R", "", 0)));
    EXPECT_TRUE(harness.Settle().empty());
    exchange.reset(); // destroyed without an end: nothing is sent
    EXPECT_TRUE(harness.Settle().empty());
}

TEST_F(StationInfoTest, TextsRunningPastTheRecordAndLongTextsAreHandled) {
    StreamFields longText = Stream(1);
    longText.text2 = std::string(2000, 'x');
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, StationHeader(4, "R", "", 1) + StreamRecord(longText)));
    auto info = OnlyResult();
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->streams.at(1)->text2.empty());
    EXPECT_EQ(info->streams.at(1)->text3, u"Topic");

    auto bad = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*bad, RecordFields().Byte(4).CountedBytes("Radio", 6).Int32(1).Record(1)));
    EXPECT_EQ(OnlyResult(), nullptr);
    EXPECT_EQ(boxes.count(), 1u);
}

TEST_F(StationInfoTest, RequestGoesToTheStationsOwnPath) {
    auto station = std::make_shared<StationConnectionData>("radio.example");
    station->basePath = "/radio/";
    station->port = 8080;
    MyNetworkPacket_RequestStationInfo exchange(&harness.context, station, 3);
    EXPECT_EQ(exchange.RequestText(), "GET /radio/getstationinfo/ HTTP/1.1\r\n"
                                      "HOST: radio.example\r\n" +
                                          testsupport::UserAgentLine() + "Connection: Close\r\n\r\n");
    harness.context.debug = 1;
    EXPECT_EQ(exchange.RequestText(), "GET /radio/getstationinfo/?debug HTTP/1.1\r\n"
                                      "HOST: radio.example\r\n" +
                                          testsupport::UserAgentLine() + "Connection: Close\r\n\r\n");
    EXPECT_EQ(exchange.type(), NetworkPacketType_RequestStationInfo);
}

} // namespace
