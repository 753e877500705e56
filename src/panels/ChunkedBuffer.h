#pragma once
// A growing buffer kept in blocks, for the chat lines' texts and widths: growing never copies what it
// holds (a single vector would briefly hold its old and new room together, and shrinking it copies it
// all again), and it keeps at most one block's room beyond what it uses. Each run handed out is
// contiguous; a position names a run's first element for as long as the buffer is not cleared.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

template <typename T, std::size_t kBlockSize> class ChunkedBuffer {
public:
    // The longest run there is room for.
    static constexpr std::size_t kMaxRun = kBlockSize;

    // Room for a run of `count` (at most kMaxRun) elements; answers its position.
    std::uint32_t Allocate(std::size_t count) {
        if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < count)
            blocks_.push_back(Block{std::make_unique_for_overwrite<T[]>(kBlockSize), kBlockSize, 0});
        Block& block = blocks_.back();
        const auto position = static_cast<std::uint32_t>((blocks_.size() - 1) * kBlockSize + block.used);
        block.used += count;
        return position;
    }

    T* At(std::uint32_t position) {
        return blocks_[position / kBlockSize].data.get() + position % kBlockSize;
    }
    const T* At(std::uint32_t position) const {
        return blocks_[position / kBlockSize].data.get() + position % kBlockSize;
    }

    // Gives back the last block's unused room when it is more than an eighth of a block (a short chat
    // keeps only what it uses; a block filled a little at a time is not copied again and again).
    void Compact() {
        if (blocks_.empty())
            return;
        Block& last = blocks_.back();
        if (last.capacity - last.used <= kBlockSize / 8)
            return;
        auto smaller = std::make_unique_for_overwrite<T[]>(last.used);
        std::copy(last.data.get(), last.data.get() + last.used, smaller.get());
        last.data = std::move(smaller);
        last.capacity = last.used;
    }

    void Clear() { std::vector<Block>().swap(blocks_); }

    // The bytes the blocks take.
    std::size_t CapacityBytes() const {
        std::size_t total = 0;
        for (const Block& block : blocks_)
            total += block.capacity * sizeof(T);
        return total;
    }

private:
    struct Block {
        std::unique_ptr<T[]> data;
        std::size_t capacity = 0;
        std::size_t used = 0;
    };
    std::vector<Block> blocks_;
};
