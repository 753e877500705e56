#pragma once
// The arithmetic of play positions: a position is a fraction of the stream's size in bytes (0 the first
// byte, 1 the end), a stream's byte rate is its size divided by its duration, times are whole seconds.
//
// A stream whose duration is 0 has no byte rate: starting it by seconds starts at its first byte, and
// the position estimate leaves out the audio still queued on the device. A stream of size 0 is always at
// position 0.

#include <cstdint>

// Seconds of audio a full PCM buffer holds.
constexpr double kSecondsPerPcmBuffer = 0.25;

// The byte offset a start begins at: `startFraction` × size when the fraction is 0 or more, otherwise
// `startSeconds` × size ÷ duration, computed exactly; truncated toward zero and not clamped (a time
// past the end gives an offset past the end). A fraction that is not a number gives 0; an offset that
// would not fit in 64 bits gives the largest offset.
std::uint64_t StartOffsetOf(float startFraction, std::uint32_t startSeconds, std::uint32_t duration,
                            std::uint64_t size);
// The byte offset of a fraction of `size`, with the guards above.
std::uint64_t OffsetOfFraction(double fraction, std::uint64_t size);

// The estimated position after `fedBytes` of the stream have gone into the decoder, with
// `headersInFlight` quarter-second buffers still on the device.
double EstimatePlayPosition(std::uint64_t fedBytes, std::uint64_t size, std::uint32_t duration,
                            std::int32_t headersInFlight);

// The estimate while playing at `speed` (media seconds per second): each buffer on the device holds a
// quarter second of sound and so `speed` quarter seconds of the stream, and `heldSeconds` of the stream
// were decoded but are not on the device yet (in the stretcher or the buffer being filled).
double EstimateStretchedPlayPosition(std::uint64_t fedBytes, std::uint64_t size, std::uint32_t duration,
                                     std::int32_t headersInFlight, double speed, double heldSeconds);

// The word for the device's SetVolume: low 16 bits the left channel, high 16 bits the right one.
// `volume` 0..1 and `balance` -1 (left only) .. 1 (right only); values outside are clamped and a value
// that is not a number counts as 0.
std::uint32_t MakeWaveOutVolume(float volume, float balance);
