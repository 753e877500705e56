#include "Mp3FrameClock.h"

#include <algorithm>

namespace station::record {
namespace {

// Kilobits per second by version group (MPEG-1, MPEG-2/2.5), layer (I, II, III) and bitrate index.
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
constexpr int kRates[3] = {44100, 48000, 32000};

// An ID3v2 tag's length (its ten-byte head included) when `head` starts one.
std::uint64_t Id3Length(const std::uint8_t* head) {
    // Versions 2.2 to 2.4; a "tag" past a megabyte is taken for bytes that only look like one.
    if (head[0] != 'I' || head[1] != 'D' || head[2] != '3' || head[3] < 2 || head[3] > 4 || head[4] == 0xFF)
        return 0;
    for (int i = 6; i < 10; ++i)
        if (head[i] & 0x80)
            return 0;
    const std::uint64_t size = (std::uint64_t{head[6]} << 21) | (std::uint64_t{head[7]} << 14) |
                               (std::uint64_t{head[8]} << 7) | head[9];
    return size > (1u << 20) ? 0 : 10 + size + ((head[5] & 0x10) ? 10 : 0);
}

} // namespace

bool ParseMp3FrameHeader(const std::uint8_t* h, Mp3FrameHeader& frame) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return false;
    const int version = (h[1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = (h[1] >> 1) & 3;   // 1: III, 2: II, 3: I
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    const int padding = (h[2] >> 1) & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        (h[3] & 3) == 2)
        return false;
    const bool mpeg1 = version == 3;
    const int layerIndex = 3 - layer; // 0: I, 1: II, 2: III
    const int kbps = kBitrates[mpeg1 ? 0 : 1][layerIndex][bitrateIndex];
    int rate = kRates[rateIndex];
    if (version == 2)
        rate /= 2;
    else if (version == 0)
        rate /= 4;
    frame.rate = rate;
    if (layerIndex == 0) {
        frame.samples = 384;
        frame.bytes = static_cast<std::size_t>((12 * kbps * 1000 / rate + padding) * 4);
    } else if (layerIndex == 1 || mpeg1) {
        frame.samples = 1152;
        frame.bytes = static_cast<std::size_t>(144 * kbps * 1000 / rate + padding);
    } else {
        frame.samples = 576;
        frame.bytes = static_cast<std::size_t>(72 * kbps * 1000 / rate + padding);
    }
    return frame.bytes > 4;
}

void Mp3FrameClock::Feed(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t size = bytes.size();
    std::size_t at = 0;
    while (at < size) {
        if (skip_ > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, size - at));
            skip_ -= n;
            at += n;
            continue;
        }
        // Gather ten bytes: enough for a frame header and for an ID3 tag's head.
        const std::size_t want = pending_.size() - pendingSize_;
        const std::size_t n = std::min(want, size - at);
        std::copy(data + at, data + at + n, pending_.begin() + static_cast<std::ptrdiff_t>(pendingSize_));
        pendingSize_ += n;
        at += n;
        if (pendingSize_ < pending_.size())
            return;
        Mp3FrameHeader frame;
        std::size_t consumed = 0;
        if (ParseMp3FrameHeader(pending_.data(), frame)) {
            ++frames_;
            seconds_ += static_cast<double>(frame.samples) / frame.rate;
            consumed = frame.bytes;
        } else if (const std::uint64_t tag = Id3Length(pending_.data()); tag != 0) {
            consumed = static_cast<std::size_t>(std::min<std::uint64_t>(tag, ~std::size_t{0}));
        } else {
            consumed = 1; // not in step: look for a header one byte further on
        }
        if (consumed >= pendingSize_) {
            skip_ = consumed - pendingSize_;
            pendingSize_ = 0;
        } else {
            std::copy(pending_.begin() + static_cast<std::ptrdiff_t>(consumed), pending_.end(),
                      pending_.begin());
            pendingSize_ -= consumed;
        }
    }
}

void Mp3FrameClock::Resync() {
    pendingSize_ = 0;
    skip_ = 0;
}

} // namespace station::record
