// The stream cache on its own: pieces read back from any offset inside them, damage found before use,
// a write cut short never read, and the limit making room by removing the piece used longest ago.

#include "net/StreamCache.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed = 1) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>((i * 7 + i / 4096 + seed * 13) & 0xFF);
    return out;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

class StreamCacheTest : public ::testing::Test {
protected:
    std::vector<std::uint8_t> ReadAll(StreamCache& cache, std::uint64_t offset, std::uint32_t length) {
        std::vector<std::uint8_t> out;
        cache.Read(stream, offset, length, out);
        return out;
    }
    fs::path PieceFile(StreamCache& cache, std::uint64_t offset) {
        return fs::path(cache.PiecePath(stream, offset));
    }

    testsupport::ScratchFolder scratch;
    std::u16string folder = (scratch.path() / "streams").u16string();
    std::u16string stream = u"1-7-0123456789abcdef";
};

TEST_F(StreamCacheTest, BytesStoredAreReadBackFromAnyOffsetAndAsFarAsPiecesReachInARow) {
    StreamCache cache(folder);
    const auto bytes = Pattern(600000);
    ASSERT_TRUE(cache.Store(stream, 1000, Slice(bytes, 1000, 300000)));
    ASSERT_TRUE(cache.Store(stream, 301000, Slice(bytes, 301000, 200000)));

    EXPECT_EQ(ReadAll(cache, 5000, 100000), Slice(bytes, 5000, 100000));
    // Across the seam between the two pieces, and cut where the second one ends.
    EXPECT_EQ(ReadAll(cache, 250000, 400000), Slice(bytes, 250000, 251000));
    EXPECT_TRUE(ReadAll(cache, 0, 4096).empty()) << "the first byte asked for is not held";
    EXPECT_TRUE(ReadAll(cache, 501000, 10).empty());
    EXPECT_TRUE(ReadAll(cache, 1000, 10).size() == 10u);
    EXPECT_EQ(cache.bytesHeld(), 500000u);

    // Another cache on the same folder (the next start) finds them.
    StreamCache again(folder);
    EXPECT_EQ(ReadAll(again, 1000, 500000), Slice(bytes, 1000, 500000));
    EXPECT_TRUE(ReadAll(again, 1000, 10).size() == 10u);
    std::vector<std::uint8_t> other;
    EXPECT_EQ(again.Read(u"1-8-0123456789abcdef", 1000, 10, other), 0u) << "another stream holds nothing";
}

TEST_F(StreamCacheTest, BytesAlreadyHeldAreNotWrittenAgainAndLongWindowsAreCutIntoPieces) {
    StreamCache cache(folder);
    const auto bytes = Pattern(3 * StreamCache::kMaxPieceBytes + 10);
    ASSERT_TRUE(cache.Store(stream, 0, bytes));
    EXPECT_EQ(cache.piecesHeld(), 4u);
    EXPECT_TRUE(cache.HoldsPiece(stream, 2 * StreamCache::kMaxPieceBytes));
    ASSERT_TRUE(cache.Store(stream, 100, Slice(bytes, 100, 5000)));
    EXPECT_EQ(cache.piecesHeld(), 4u) << "those bytes are in the first piece";
    EXPECT_EQ(ReadAll(cache, 0, static_cast<std::uint32_t>(bytes.size())), bytes);
}

TEST_F(StreamCacheTest, ACutOrDamagedPieceIsFoundBeforeUseRemovedAndNeverRead) {
    const auto bytes = Pattern(200000);
    for (const char* damage : {"cut", "flipped byte", "grown", "wrong offset"}) {
        SCOPED_TRACE(damage);
        StreamCache cache(folder);
        ASSERT_TRUE(cache.Store(stream, 4096, bytes));
        const fs::path file = PieceFile(cache, 4096);
        ASSERT_TRUE(fs::exists(file));
        const std::string which = damage;
        if (which == "cut") {
            fs::resize_file(file, fs::file_size(file) - 1);
        } else if (which == "grown") {
            std::ofstream(file, std::ios::binary | std::ios::app).put('x');
        } else {
            std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
            // A byte of the stream's bytes, or of the offset in the header.
            io.seekp(which == "flipped byte" ? 100000 : 9);
            io.put('\x5a');
        }
        // A fresh cache (a restart) and one that wrote the piece itself both check before use.
        StreamCache fresh(folder);
        EXPECT_TRUE(ReadAll(fresh, 4096, 1000).empty());
        EXPECT_FALSE(fresh.HoldsPiece(stream, 4096));
        EXPECT_FALSE(fs::exists(file)) << "the damaged piece is removed";
        EXPECT_TRUE(ReadAll(cache, 5000, 1000).empty());
        EXPECT_EQ(fresh.bytesHeld(), 0u);
    }
}

TEST_F(StreamCacheTest, AWriteCutShortLeavesNothingThatPasses) {
    StreamCache cache(folder);
    const auto bytes = Pattern(100000);
    ASSERT_TRUE(cache.Store(stream, 0, bytes));
    const fs::path file = PieceFile(cache, 0);
    // What a crash during the next write leaves: the new file beside the piece, cut anywhere.
    std::vector<char> header(64, '\0');
    std::ofstream(fs::path(file).concat(".new"), std::ios::binary).write(header.data(), 40);
    // And a piece file written without its header and checksum.
    std::ofstream(PieceFile(cache, 200000), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 50000);

    StreamCache next(folder);
    EXPECT_EQ(ReadAll(next, 0, 100000), bytes);
    EXPECT_TRUE(ReadAll(next, 200000, 100).empty());
    EXPECT_FALSE(fs::exists(fs::path(file).concat(".new")));
    EXPECT_EQ(next.piecesHeld(), 1u);
}

TEST_F(StreamCacheTest, TheLimitRemovesThePieceUsedLongestAgoFirst) {
    StreamCache cache(folder, 300000);
    const std::u16string other = u"2-9-0123456789abcdef";
    ASSERT_TRUE(cache.Store(stream, 0, Pattern(100000, 1)));
    ASSERT_TRUE(cache.Store(other, 0, Pattern(100000, 2)));
    ASSERT_TRUE(cache.Store(stream, 500000, Pattern(100000, 3)));
    // Playing the first piece again makes the other stream's the oldest.
    EXPECT_EQ(ReadAll(cache, 10, 20).size(), 20u);
    ASSERT_TRUE(cache.Store(stream, 900000, Pattern(100000, 4)));

    EXPECT_FALSE(cache.HoldsPiece(other, 0));
    EXPECT_TRUE(cache.HoldsPiece(stream, 0));
    EXPECT_TRUE(cache.HoldsPiece(stream, 500000));
    EXPECT_TRUE(cache.HoldsPiece(stream, 900000));
    EXPECT_EQ(cache.bytesHeld(), 300000u);

    // Then the one stored longest ago and not used since.
    ASSERT_TRUE(cache.Store(other, 0, Pattern(150000, 2)));
    EXPECT_FALSE(cache.HoldsPiece(stream, 500000));
    EXPECT_FALSE(cache.HoldsPiece(stream, 0)) << "150,000 more bytes need two pieces' room";
    EXPECT_TRUE(cache.HoldsPiece(stream, 900000));
    EXPECT_LE(cache.bytesHeld(), 300000u);
    // A piece larger than the whole limit is not kept at all.
    StreamCache small(folder, 1000);
    EXPECT_TRUE(small.Store(u"3-3-0123456789abcdef", 0, Pattern(5000)));
    EXPECT_FALSE(small.HoldsPiece(u"3-3-0123456789abcdef", 0));
}

TEST(StreamCacheNames, EachServerStationAndStreamHasItsOwnFolder) {
    StationConnectionData a("127.0.0.1");
    a.port = 8470;
    StationConnectionData b = a;
    b.port = 8471;
    EXPECT_EQ(StreamCache::StreamName(a, 1, 7), StreamCache::StreamName(a, 1, 7));
    EXPECT_NE(StreamCache::StreamName(a, 1, 7), StreamCache::StreamName(b, 1, 7));
    EXPECT_NE(StreamCache::StreamName(a, 1, 7), StreamCache::StreamName(a, 1, 8));
    EXPECT_NE(StreamCache::StreamName(a, 1, 7), StreamCache::StreamName(a, 17, 7));
    EXPECT_EQ(StreamCache::StreamName(a, 1, 7).substr(0, 4), u"1-7-");
}

} // namespace
