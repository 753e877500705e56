// The stream-data exchange, driven through HandleData: 4096-byte blocks tagged with the request number,
// the finishing message, and early ends.

#include "net/CatalogueHarness.h"
#include "net/MyNetworkPacket_RequestStreamData.h"
#include "support/RecordingMessageBoxes.h"
#include "support/UserAgent.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

std::string Pattern(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
    return out;
}

class StreamDataTest : public ::testing::Test {
protected:
    std::unique_ptr<MyNetworkPacket_RequestStreamData> Exchange(std::int32_t length = 524288) {
        return std::make_unique<MyNetworkPacket_RequestStreamData>(&harness.context, harness.station, 5, 77,
                                                                   9'600'000, length, 3);
    }
    // The blocks' bytes joined, after checking every message's tag.
    static std::string Joined(const std::vector<JournalEntry>& entries) {
        std::string out;
        for (const auto& e : entries) {
            EXPECT_EQ(e.type, MediaHandlerMessageType_AddMp3Data);
            EXPECT_EQ(e.tag, 3);
            if (e.block)
                out.append(reinterpret_cast<const char*>(e.block->data), e.block->fill);
        }
        return out;
    }

    RecordingMessageBoxes boxes;
    CatalogueHarness harness;
};

TEST_F(StreamDataTest, WindowInOddReadsGivesFullBlocksWithOnlyTheLastFinishing) {
    const std::string body = Pattern(524288);
    std::vector<std::size_t> cuts;
    const std::size_t sizes[] = {1, 4095, 7, 4097, 16383, 333, 8192};
    for (std::size_t at = 0, i = 0; at < body.size(); at += sizes[i++ % std::size(sizes)])
        cuts.push_back(at);
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBody(*exchange, body, cuts));
    EXPECT_FALSE(exchange->connected());

    auto entries = harness.Settle();
    ASSERT_EQ(entries.size(), 128u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ASSERT_NE(entries[i].block, nullptr);
        EXPECT_EQ(entries[i].block->fill, 4096);
        EXPECT_EQ(entries[i].requestFinished, i == 127) << "block " << i;
    }
    EXPECT_EQ(Joined(entries), body);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StreamDataTest, ServerSendingTenThousandBytesAndClosing) {
    const std::string body = Pattern(10000);
    auto exchange = Exchange();
    EXPECT_TRUE(FeedBody(*exchange, body, {3000, 6000}));
    exchange->Disconnect(NETWORKERROR_NONE); // the peer closed
    exchange->Disconnect(NETWORKERROR_NONE);

    auto entries = harness.Settle();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].block->fill, 4096);
    EXPECT_FALSE(entries[0].requestFinished);
    EXPECT_EQ(entries[1].block->fill, 4096);
    EXPECT_FALSE(entries[1].requestFinished);
    // The 1808 bytes of the unfinished block are dropped with it.
    EXPECT_EQ(entries[2].block, nullptr);
    EXPECT_TRUE(entries[2].requestFinished);
    EXPECT_EQ(Joined(entries), body.substr(0, 8192));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StreamDataTest, InputThatExactlyFillsABlockSendsItAndWaitsForMore) {
    auto exchange = Exchange();
    EXPECT_TRUE(FeedBodyInOne(*exchange, Pattern(4096)));
    auto entries = harness.Settle();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(entries[0].requestFinished);
    EXPECT_TRUE(FeedBodyInOne(*exchange, Pattern(10)));
    EXPECT_TRUE(harness.Settle().empty());
}

TEST_F(StreamDataTest, WindowThatIsNotAWholeNumberOfBlocksEndsAtItsLength) {
    // More bytes than asked for: the window still ends exactly at its length.
    auto exchange = Exchange(5000);
    EXPECT_FALSE(FeedBodyInOne(*exchange, Pattern(9000)));
    auto entries = harness.Settle();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].block->fill, 4096);
    EXPECT_FALSE(entries[0].requestFinished);
    EXPECT_EQ(entries[1].block->fill, 904);
    EXPECT_TRUE(entries[1].requestFinished);
}

TEST_F(StreamDataTest, RequestCarriesIdOffsetAndLength) {
    auto exchange = std::make_unique<MyNetworkPacket_RequestStreamData>(&harness.context, harness.station, 5,
                                                                        77, 0x1'0000'0005ull, 524288, 3);
    const std::string rest =
        "HOST: station.example\r\n" + testsupport::UserAgentLine() + "Connection: Close\r\n\r\n";
    EXPECT_EQ(exchange->RequestText(),
              "GET /getstreamdata/?streamid=77&start=4294967301&length=524288 HTTP/1.1\r\n" + rest);
    harness.context.debug = 1;
    EXPECT_EQ(exchange->RequestText(),
              "GET /getstreamdata/?streamid=77&start=4294967301&length=524288&debug HTTP/1.1\r\n" + rest);
    EXPECT_EQ(exchange->type(), NetworkPacketType_RequestStreamData);
}

} // namespace
