#include "media/PlayPosition.h"

#include <algorithm>
#include <cmath>

std::uint64_t StartOffsetOf(float startFraction, std::uint32_t startSeconds, std::uint32_t duration,
                            std::uint64_t size) {
    if (startFraction >= 0.0f)
        return OffsetOfFraction(startFraction, size);
    if (duration == 0)
        return 0;
    // seconds × size ÷ duration without rounding: seconds × (whole bytes per second) plus the share of
    // the remainder, which is below `startSeconds` and whose product stays below 2^64.
    const std::uint64_t perSecond = size / duration;
    const std::uint64_t remainder = size % duration;
    if (startSeconds != 0 && perSecond > (UINT64_MAX - startSeconds) / startSeconds)
        return UINT64_MAX;
    return startSeconds * perSecond + startSeconds * remainder / duration;
}

std::uint64_t OffsetOfFraction(double fraction, std::uint64_t size) {
    if (!(fraction > 0.0))
        return 0;
    const long double offset = static_cast<long double>(fraction) * static_cast<long double>(size);
    constexpr long double kLimit = 18446744073709551616.0L; // 2^64
    if (offset >= kLimit)
        return UINT64_MAX;
    return static_cast<std::uint64_t>(offset);
}

double EstimatePlayPosition(std::uint64_t fedBytes, std::uint64_t size, std::uint32_t duration,
                            std::int32_t headersInFlight) {
    if (size == 0)
        return 0.0;
    double queued = 0.0;
    if (duration != 0)
        queued = static_cast<double>(size) / static_cast<double>(duration) * kSecondsPerPcmBuffer *
                 headersInFlight;
    return (static_cast<double>(fedBytes) - queued) / static_cast<double>(size);
}

double EstimateStretchedPlayPosition(std::uint64_t fedBytes, std::uint64_t size, std::uint32_t duration,
                                     std::int32_t headersInFlight, double speed, double heldSeconds) {
    if (size == 0)
        return 0.0;
    double queued = 0.0;
    if (duration != 0)
        queued = static_cast<double>(size) / static_cast<double>(duration) *
                 (kSecondsPerPcmBuffer * headersInFlight * speed + heldSeconds);
    return (static_cast<double>(fedBytes) - queued) / static_cast<double>(size);
}

namespace {

// Both ranges hold 0, which stands in for a value that is not a number.
float Clamp(float value, float low, float high) {
    return std::isnan(value) ? 0.0f : std::clamp(value, low, high);
}

std::uint32_t ChannelWord(float level) {
    return static_cast<std::uint32_t>(std::trunc(level * 65535.0f)) & 0xFFFF;
}

} // namespace

std::uint32_t MakeWaveOutVolume(float volume, float balance) {
    const float v = Clamp(volume, 0.0f, 1.0f);
    const float b = Clamp(balance, -1.0f, 1.0f);
    float left = v;
    float right = v;
    if (b < 0.0f)
        right = static_cast<float>(v * (1.0f + b));
    if (b > 0.0f)
        left = static_cast<float>(v * (1.0f - b));
    return (ChannelWord(right) << 16) | ChannelWord(left);
}
