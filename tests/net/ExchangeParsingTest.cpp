// Header collection and chunked decoding fed byte-exactly, split at every point.

#include "app/MyAppContext.h"
#include "support/NetworkPacketTestAccess.h"
#include "support/RecordingExchange.h"
#include "support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ExchangeRecord;
using testsupport::RecordingExchange;
using testsupport::RecordingExchangeOptions;

struct Fed {
    std::shared_ptr<ExchangeRecord> record = std::make_shared<ExchangeRecord>();
    bool reading = true;
};

// Feeds `pieces` as consecutive reads into a fresh exchange; the peer then closes if it still reads.
Fed FeedPieces(const std::vector<std::string>& pieces, RecordingExchangeOptions options = {}) {
    MyAppContext context;
    Fed fed;
    RecordingExchange exchange(&context, nullptr, fed.record, options);
    EXPECT_TRUE(NetworkPacketTestAccess::StartReceiving(exchange));
    for (const std::string& piece : pieces) {
        fed.reading = NetworkPacketTestAccess::Feed(exchange, piece.data(), piece.size());
        if (!fed.reading)
            return fed;
    }
    NetworkPacketTestAccess::PeerClosed(exchange);
    return fed;
}

const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\n\r\n";
const std::string kChunkedBody = "Wikipedia in\r\n\r\nchunks.";

TEST(StatusAndFraming, OnlyA2xxStatusLineIsASuccess) {
    EXPECT_TRUE(IsSuccessStatusLine("HTTP/1.1 200 OK"));
    EXPECT_TRUE(IsSuccessStatusLine("HTTP/1.0 204"));
    EXPECT_TRUE(IsSuccessStatusLine("HTTP/1.1 299 Whatever it says"));
    for (std::string_view line : {"HTTP/1.1 404 Not Found", "HTTP/1.1 302 Found", "HTTP/1.1 100 Continue",
                                  "HTTP/1.1 500", "HTTP/1.1 20", "HTTP/1.1 2000", "HTTP/1.1 2x0 OK",
                                  "HTTP/1.1  200 OK", "http/1.1 200 OK", "HTTP/1.1", "", "200 OK"})
        EXPECT_FALSE(IsSuccessStatusLine(line)) << line;
}

TEST(StatusAndFraming, TransferEncodingIsReadFromItsOwnHeaderOnly) {
    EXPECT_EQ(TransferEncodingIsChunked("Transfer-Encoding: chunked"), true);
    EXPECT_EQ(TransferEncodingIsChunked("transfer-encoding:CHUNKED"), true);
    EXPECT_EQ(TransferEncodingIsChunked("Transfer-Encoding: gzip,\tchunked "), true);
    EXPECT_EQ(TransferEncodingIsChunked("Transfer-Encoding: chunked, gzip"), false);
    EXPECT_EQ(TransferEncodingIsChunked("Transfer-Encoding: identity"), false);
    EXPECT_EQ(TransferEncodingIsChunked("Transfer-Encoding: notchunked"), false);
    for (std::string_view line :
         {"Set-Cookie: chunked", "X-Transfer-Encoding: chunked", "Transfer-Encoding-X: chunked",
          "Transfer-Encoding : chunked", "X-Note: Transfer-Encoding: chunked", "Transfer-Encoding chunked"})
        EXPECT_EQ(TransferEncodingIsChunked(line), std::nullopt) << line;
}

TEST(ChunkSizeLine, ParsesDigitsAndALeadingCrLf) {
    std::uint32_t size = 0;
    std::size_t length = 0;
    EXPECT_EQ(ParseChunkSizeLine("1000\r\n", 6, &size, &length), ChunkSizeLine::Valid);
    EXPECT_EQ(size, 0x1000u);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(ParseChunkSizeLine("\r\n1f\r\n", 6, &size, &length), ChunkSizeLine::Valid);
    EXPECT_EQ(size, 0x1fu);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(ParseChunkSizeLine("\r\n0\r\n", 5, &size, &length), ChunkSizeLine::Valid);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(ParseChunkSizeLine("aBcD\r\n", 6, &size, &length), ChunkSizeLine::Valid);
    EXPECT_EQ(size, 0xabcdu);
}

TEST(ChunkSizeLine, ReportsIncompleteAndInvalidLines) {
    std::uint32_t size = 0;
    std::size_t length = 0;
    EXPECT_EQ(ParseChunkSizeLine("10", 2, &size, &length), ChunkSizeLine::Incomplete);
    EXPECT_EQ(ParseChunkSizeLine("\r", 1, &size, &length), ChunkSizeLine::Incomplete);
    EXPECT_EQ(ParseChunkSizeLine("\r\n10\r", 5, &size, &length), ChunkSizeLine::Incomplete);
    EXPECT_EQ(ParseChunkSizeLine("5;ext=1\r\n", 9, &size, &length), ChunkSizeLine::Invalid);
    EXPECT_EQ(ParseChunkSizeLine("5 \r\n", 4, &size, &length), ChunkSizeLine::Invalid);
    // Sixteen characters before the CR LF are the most a line may hold.
    EXPECT_EQ(ParseChunkSizeLine("0000000000000010\r\n", 18, &size, &length), ChunkSizeLine::Valid);
    EXPECT_EQ(size, 0x10u);
    EXPECT_EQ(ParseChunkSizeLine("00000000000000010\r\n", 19, &size, &length), ChunkSizeLine::Invalid);
    // Without a CR LF the line is known to be too long once its eighteenth byte is in.
    EXPECT_EQ(ParseChunkSizeLine("00000000000000000", 17, &size, &length), ChunkSizeLine::Incomplete);
    EXPECT_EQ(ParseChunkSizeLine("000000000000000000", 18, &size, &length), ChunkSizeLine::Invalid);
}

TEST(ChunkSizeLine, RefusesASizeBeyondThirtyTwoBitsInsteadOfWrapping) {
    std::uint32_t size = 7;
    std::size_t length = 0;
    EXPECT_EQ(ParseChunkSizeLine("FFFFFFFF\r\n", 10, &size, &length), ChunkSizeLine::Valid);
    EXPECT_EQ(size, 0xFFFFFFFFu);
    // 0x100000000 would wrap to 0 and pass for the last chunk.
    EXPECT_EQ(ParseChunkSizeLine("100000000\r\n", 11, &size, &length), ChunkSizeLine::Invalid);
}

TEST(ExchangeParsing, EverySplitIntoTwoReadsGivesTheSameHeadersAndBody) {
    testsupport::RecordingMessageBoxes boxes;
    for (std::size_t split = 0; split <= kChunked.size(); ++split) {
        Fed fed = FeedPieces({kChunked.substr(0, split), kChunked.substr(split)});
        EXPECT_EQ(fed.record->Body(), kChunkedBody) << "split after " << split;
        EXPECT_EQ(fed.record->headerLines,
                  (std::vector<std::string>{"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}))
            << split;
    }
    EXPECT_EQ(boxes.count(), 0u) << "a header block split across reads is not a failure";
}

TEST(ExchangeParsing, EverySplitIntoThreeReadsGivesTheSameBody) {
    for (std::size_t first = 0; first <= kChunked.size(); ++first) {
        for (std::size_t second = first; second <= kChunked.size(); ++second) {
            Fed fed = FeedPieces(
                {kChunked.substr(0, first), kChunked.substr(first, second - first), kChunked.substr(second)});
            ASSERT_EQ(fed.record->Body(), kChunkedBody) << first << " " << second;
        }
    }
}

TEST(ExchangeParsing, ByteByByteReadsOfAPlainBodyReachTheParser) {
    const std::string response = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello";
    std::vector<std::string> pieces;
    for (char c : response)
        pieces.emplace_back(1, c);
    Fed fed = FeedPieces(pieces);
    EXPECT_EQ(fed.record->Body(), "hello");
    std::lock_guard guard(fed.record->lock);
    EXPECT_EQ(fed.record->offers, std::vector<int>(5, 1));
}

TEST(ExchangeParsing, APartialRecordWaitsForTheRestOfItsBytes) {
    RecordingExchangeOptions options;
    options.recordSize = 4;
    Fed fed = FeedPieces({"HTTP/1.1 200 OK\r\n\r\nabcdef", "gh", "ij"}, options);
    EXPECT_EQ(fed.record->Body(), "abcdefgh") << "the last two bytes never made a whole record";
}

TEST(ExchangeParsing, BytesAfterTheLastChunkAreNotBody) {
    Fed fed = FeedPieces(
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\nTrailer: x\r\n\r\n"});
    EXPECT_EQ(fed.record->Body(), "abc");
}

TEST(ExchangeParsing, AHeaderBlockThatFillsTheBufferIsInvalid) {
    testsupport::RecordingMessageBoxes boxes;
    const std::string endless = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(20000, 'x');
    Fed fed = FeedPieces({endless});
    EXPECT_FALSE(fed.reading);
    EXPECT_EQ(fed.record->disconnects, std::vector<NetworkError>{NETWORKERROR_INVALIDHEADERS});
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0].rfind("NetworkError == NETWORKERROR_INVALIDHEADERS!", 0), 0u);
}

TEST(ExchangeParsing, ABufferFullOfBodyThatTheParserRefusesEndsQuietly) {
    testsupport::RecordingMessageBoxes boxes;
    RecordingExchangeOptions options;
    options.recordSize = 20000; // a record that can never fit the 16384-byte buffer
    Fed fed = FeedPieces({"HTTP/1.1 200 OK\r\n\r\n" + std::string(20000, 'd')}, options);
    EXPECT_FALSE(fed.reading);
    EXPECT_EQ(fed.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeParsing, AChunkLongerThanTheBufferIsHandedOnInPieces) {
    const std::string data(40000, 'q');
    char sizeLine[16];
    std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", data.size());
    Fed fed = FeedPieces({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(sizeLine) +
                          data + "\r\n0\r\n\r\n"});
    EXPECT_EQ(fed.record->Body(), data);
}

} // namespace
