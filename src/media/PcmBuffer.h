#pragma once
// A quarter second of output audio: 44,100 bytes of 16-bit stereo PCM at 44,100 frames per second.

#include <cstdint>

struct PcmBuffer {
    static constexpr std::uint16_t kCapacity = 44100;        // bytes, 11,025 frames
    static constexpr std::uint16_t kSubmitThreshold = 33075; // bytes; three quarters of the capacity

    std::uint8_t data[kCapacity];
    std::uint16_t fill = 0; // bytes of data in use
};
