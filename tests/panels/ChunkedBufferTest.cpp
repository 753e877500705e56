#include "panels/ChunkedBuffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

using Buffer = ChunkedBuffer<int, 8>;

std::vector<int> Read(const Buffer& buffer, std::uint32_t position, std::size_t count) {
    const int* at = buffer.At(position);
    return std::vector<int>(at, at + count);
}

TEST(ChunkedBuffer, RunsStayWholeAndInPlaceAsTheBufferGrows) {
    Buffer buffer;
    std::vector<std::pair<std::uint32_t, std::vector<int>>> runs;
    int next = 0;
    // Runs of 3 do not divide blocks of 8: each block leaves room unused rather than split a run.
    for (std::size_t count : {3, 3, 3, 8, 0, 1, 5, 3}) {
        std::vector<int> values(count);
        std::iota(values.begin(), values.end(), next);
        next += static_cast<int>(count);
        const std::uint32_t position = buffer.Allocate(count);
        std::copy(values.begin(), values.end(), buffer.At(position));
        runs.emplace_back(position, values);
    }
    for (const auto& [position, values] : runs)
        EXPECT_EQ(Read(buffer, position, values.size()), values) << "run at " << position;
    // 3+3 | 3 | 8 | 0+1+5 | 3: five blocks, none copied.
    EXPECT_EQ(buffer.CapacityBytes(), 5 * 8 * sizeof(int));
}

TEST(ChunkedBuffer, CompactGivesBackOnlyALastBlockMostlyUnused) {
    Buffer buffer;
    std::fill_n(buffer.At(buffer.Allocate(7)), 7, 1);
    buffer.Compact(); // one unused: kept
    EXPECT_EQ(buffer.CapacityBytes(), 8 * sizeof(int));
    const std::uint32_t second = buffer.Allocate(1);
    const std::uint32_t third = buffer.Allocate(2); // a new block
    std::fill_n(buffer.At(third), 2, 3);
    buffer.Compact();
    EXPECT_EQ(buffer.CapacityBytes(), (8 + 2) * sizeof(int));
    EXPECT_EQ(Read(buffer, third, 2), (std::vector<int>{3, 3}));
    EXPECT_EQ(Read(buffer, 0, 7), std::vector<int>(7, 1));
    (void)second;
    // After compacting, the next run gets a block of its own; the earlier ones stay where they were.
    const std::uint32_t fourth = buffer.Allocate(4);
    std::fill_n(buffer.At(fourth), 4, 4);
    EXPECT_EQ(Read(buffer, third, 2), (std::vector<int>{3, 3}));
    EXPECT_EQ(Read(buffer, fourth, 4), std::vector<int>(4, 4));
    buffer.Clear();
    EXPECT_EQ(buffer.CapacityBytes(), 0u);
}

} // namespace
