// The track list and chat row exchanges, driven through HandleData.

#include "net/CatalogueHarness.h"
#include "net/MyNetworkPacket_RequestStreamChatRowList.h"
#include "net/MyNetworkPacket_RequestTrackInfoList.h"
#include "support/CatalogueResponses.h"
#include "support/RecordingMessageBoxes.h"
#include "support/UserAgent.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr std::string_view kInvalidData =
    "NetworkError == NETWORKERROR_INVALIDDATA!\r\n\r\n(file: NetworkPackets";

class TrackAndChatTest : public ::testing::Test {
protected:
    std::unique_ptr<MyNetworkPacket_RequestTrackInfoList> Tracks() {
        return std::make_unique<MyNetworkPacket_RequestTrackInfoList>(&harness.context, harness.station, 5,
                                                                      77);
    }
    std::unique_ptr<MyNetworkPacket_RequestStreamChatRowList> Chat() {
        return std::make_unique<MyNetworkPacket_RequestStreamChatRowList>(&harness.context, harness.station,
                                                                          5, 77);
    }
    // The single message the exchange sent, checked for its type and ids.
    JournalEntry OnlyResult(std::int32_t type) {
        auto entries = harness.Settle();
        EXPECT_EQ(entries.size(), 1u);
        if (entries.size() != 1)
            return {};
        EXPECT_EQ(entries[0].type, type);
        EXPECT_EQ(entries[0].stationId, 5);
        EXPECT_EQ(entries[0].streamId, 77);
        return std::move(entries[0]);
    }
    bool OnlyInvalidDataBox() {
        auto texts = boxes.utf8();
        return texts.size() == 1 && texts[0].rfind(kInvalidData, 0) == 0;
    }

    RecordingMessageBoxes boxes;
    CatalogueHarness harness;
};

TEST_F(TrackAndChatTest, TrackListOfTwoArrivesWholeAndInOrder) {
    const std::string body = TrackListHeader(2) + TrackRecord(0, 11, 4, 1, "Talk", "Hosts") +
                             TrackRecord(95, -3, 0, 0, "Artist \xC3\xA9", "Title");
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        auto exchange = Tracks();
        EXPECT_FALSE(FeedBody(*exchange, body, {cut}));
        JournalEntry result = OnlyResult(MediaHandlerMessageType_AddTrackInfoList);
        ASSERT_NE(result.trackList, nullptr);
        ASSERT_EQ(result.trackList->size(), 2u);
        const TrackInfo& a = (*result.trackList)[0];
        EXPECT_EQ(a.start, 0);
        EXPECT_EQ(a.secondTime, 11);
        EXPECT_EQ(a.trackKind, 4);
        EXPECT_TRUE(a.flag);
        EXPECT_EQ(a.text1, u"Talk");
        EXPECT_EQ(a.text2, u"Hosts");
        const TrackInfo& b = (*result.trackList)[1];
        EXPECT_EQ(b.start, 95);
        EXPECT_EQ(b.secondTime, -3);
        EXPECT_FALSE(b.flag);
        EXPECT_EQ(b.text1, u"Artist \u00E9");
    }
    EXPECT_EQ(boxes.count(), 0u);
}

// Without the chat sync header the exchange ends at the last track, as it always did: a sync record after
// it, or anything else there, is never read.
TEST_F(TrackAndChatTest, WithoutTheChatSyncHeaderNothingAfterTheLastTrackIsRead) {
    const std::string sync = std::string("\x0c\x00\x09\x01\x01\x00", 6) + std::string(8, '\x01');
    const std::string body = TrackListHeader(1) + TrackRecord(0, 0, 0, 0, "A", "B") + sync + "junk";
    auto exchange = Tracks();
    EXPECT_FALSE(FeedBodyInOne(*exchange, body));
    JournalEntry result = OnlyResult(MediaHandlerMessageType_AddTrackInfoList);
    ASSERT_NE(result.trackList, nullptr);
    EXPECT_EQ(result.trackList->size(), 1u);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackAndChatTest, TrackListAnnouncingNoTracksIsDeliveredEmptyOnlyAtTheClose) {
    auto exchange = Tracks();
    EXPECT_TRUE(FeedBodyInOne(*exchange, TrackListHeader(0)));
    EXPECT_TRUE(harness.Settle().empty());
    exchange->Disconnect(NETWORKERROR_NONE);
    exchange->Disconnect(NETWORKERROR_NONE);
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddTrackInfoList).trackList, nullptr);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackAndChatTest, TrackListWithAnotherVersionEndsWithoutABox) {
    auto exchange = Tracks();
    EXPECT_FALSE(FeedBodyInOne(*exchange, TrackListHeader(1, 2) + TrackRecord(0, 0, 0, 0, "a", "b")));
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddTrackInfoList).trackList, nullptr);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackAndChatTest, TrackTextRunningPastTheRecordIsInvalidData) {
    auto exchange = Tracks();
    const std::string bad =
        RecordFields().Int32(0).Int32(0).Byte(0).Byte(0).Text("a").CountedBytes("b", 40).Record(4);
    EXPECT_FALSE(FeedBodyInOne(*exchange, TrackListHeader(2) + TrackRecord(0, 0, 0, 0, "ok", "ok") + bad +
                                              TrackRecord(1, 0, 0, 0, "c", "d")));
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddTrackInfoList).trackList, nullptr);
    EXPECT_TRUE(OnlyInvalidDataBox());
}

TEST_F(TrackAndChatTest, ChatRowsArriveWithTheirArgumentsInResponseOrder) {
    std::vector<std::string> twenty;
    for (int i = 0; i < 20; ++i)
        twenty.push_back("m" + std::to_string(i));
    const std::string body = ChatHeader(4) + ChatRowRecord(30, 1, {"ann", "hello \xF0\x9F\x8E\xB5"}) +
                             ChatRowRecord(-2, 3, {"bob"}) + ChatRowRecord(10, 8, twenty) +
                             ChatRowRecord(10, 42, {});
    for (std::size_t cut = 0; cut <= body.size(); cut += 7) {
        auto exchange = Chat();
        EXPECT_FALSE(FeedBody(*exchange, body, {cut, cut + 3}));
        JournalEntry result = OnlyResult(MediaHandlerMessageType_AddStreamChatRowList);
        ASSERT_NE(result.chatRows, nullptr);
        const StreamChatRowList& rows = *result.chatRows;
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(rows[0].time, 30);
        EXPECT_EQ(rows[0].kind, 1);
        ASSERT_EQ(rows[0].argCount, 2);
        EXPECT_EQ(rows[0].arg(0), u"ann");
        EXPECT_EQ(rows[0].arg(1), u"hello \U0001F3B5");
        EXPECT_EQ(rows[1].time, -2);
        EXPECT_EQ(rows[1].arg(0), u"bob");
        ASSERT_EQ(rows[2].argCount, 20);
        EXPECT_EQ(rows[2].arg(19), u"m19");
        // Kinds are filtered by the media thread, not here.
        EXPECT_EQ(rows[3].kind, 42);
        EXPECT_EQ(rows[3].argCount, 0);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackAndChatTest, ChatRowWithTwentyOneArgumentsIsInvalidData) {
    auto exchange = Chat();
    std::vector<std::string> args(21, "x");
    EXPECT_FALSE(
        FeedBodyInOne(*exchange, ChatHeader(2) + ChatRowRecord(1, 3, {"a"}) + ChatRowRecord(2, 8, args)));
    // The end message without rows: the stream's chat is left as it was.
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddStreamChatRowList).chatRows, nullptr);
    EXPECT_TRUE(OnlyInvalidDataBox());
}

TEST_F(TrackAndChatTest, ChatHeaderWithAnotherVersionEndsWithoutABox) {
    auto exchange = Chat();
    EXPECT_FALSE(FeedBodyInOne(*exchange, ChatHeader(1, 2) + ChatRowRecord(1, 3, {"a"})));
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddStreamChatRowList).chatRows, nullptr);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackAndChatTest, ChatHeaderTextIsCheckedButNotKept) {
    auto exchange = Chat();
    const std::string bad = RecordFields().Byte(3).CountedBytes("#c", 30).Int32(1).Record(5);
    EXPECT_FALSE(FeedBodyInOne(*exchange, bad));
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddStreamChatRowList).chatRows, nullptr);
    EXPECT_TRUE(OnlyInvalidDataBox());
}

TEST_F(TrackAndChatTest, ChatThatEndsEarlySendsOneEndMessage) {
    auto exchange = Chat();
    EXPECT_TRUE(FeedBodyInOne(*exchange, ChatHeader(3) + ChatRowRecord(1, 3, {"a"})));
    EXPECT_TRUE(harness.Settle().empty());
    exchange->Disconnect(NETWORKERROR_NONE);
    exchange->Disconnect(NETWORKERROR_NONE);
    EXPECT_EQ(OnlyResult(MediaHandlerMessageType_AddStreamChatRowList).chatRows, nullptr);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(TrackAndChatTest, RequestsNameTheStreamAsAnUnsignedNumber) {
    auto station = std::make_shared<StationConnectionData>("radio.example");
    MyNetworkPacket_RequestTrackInfoList tracks(&harness.context, station, 1, 4711);
    MyNetworkPacket_RequestStreamChatRowList chat(&harness.context, station, 1, -1);
    const std::string rest =
        "HOST: radio.example\r\n" + testsupport::UserAgentLine() + "Connection: Close\r\n\r\n";
    EXPECT_EQ(tracks.RequestText(), "GET /getstreaminfo/?streamid=4711 HTTP/1.1\r\n" + rest);
    EXPECT_EQ(chat.RequestText(), "GET /getstreamchat/?streamid=4294967295 HTTP/1.1\r\n" + rest);
    harness.context.debug = 1;
    EXPECT_EQ(tracks.RequestText(), "GET /getstreaminfo/?streamid=4711&debug HTTP/1.1\r\n" + rest);
    EXPECT_EQ(chat.RequestText(), "GET /getstreamchat/?streamid=4294967295&debug HTTP/1.1\r\n" + rest);
    EXPECT_EQ(tracks.type(), NetworkPacketType_RequestTrackInfoList);
    EXPECT_EQ(chat.type(), NetworkPacketType_RequestStreamChatRowList);
}

} // namespace
