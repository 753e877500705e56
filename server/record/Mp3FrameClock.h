#pragma once
// How much audio an MP3 byte stream holds so far, from its frame headers alone (no decoding): the
// recorder's clock, so that a title change or a chat line is placed at the audio position it belongs
// to, however fast or slowly the bytes came. Bytes that are not frames (a tag, a cut frame after a
// reconnect) are skipped until the next frame header.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace station::record {

struct Mp3FrameHeader {
    std::size_t bytes = 0; // the whole frame, header included
    int samples = 0;       // per channel
    int rate = 0;          // samples per second
};

// The header starting at `header` (4 bytes), if it is a valid MPEG audio frame header.
bool ParseMp3FrameHeader(const std::uint8_t* header, Mp3FrameHeader& frame);

class Mp3FrameClock {
public:
    void Feed(std::string_view bytes);
    // Seconds of audio in the frames seen so far.
    double seconds() const { return seconds_; }
    std::uint64_t frames() const { return frames_; }
    // Forgets a frame cut short (the connection ended inside it): the next bytes start afresh.
    void Resync();

private:
    std::array<std::uint8_t, 10> pending_{}; // a header (or an ID3 tag's head) split between feeds
    std::size_t pendingSize_ = 0;
    std::uint64_t skip_ = 0; // bytes of the current frame or tag still to pass over
    double seconds_ = 0;
    std::uint64_t frames_ = 0;
};

} // namespace station::record
