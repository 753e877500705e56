#include "media/PlayPosition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(StartOffset, ASecondOfTheStreamIsItsShareOfTheSize) {
    EXPECT_EQ(StartOffsetOf(-1.0f, 600, 3600, 57600000), 9600000u);
    EXPECT_EQ(StartOffsetOf(-1.0f, 0, 3600, 57600000), 0u);
    EXPECT_EQ(StartOffsetOf(-1.0f, 1, 3, 10), 3u); // truncated toward zero
    EXPECT_EQ(StartOffsetOf(-1.0f, 3599, 3600, 57600001), 57584000u);
}

TEST(StartOffset, AFractionOfZeroOrMoreIsUsedAndSecondsIgnored) {
    EXPECT_EQ(StartOffsetOf(0.0f, 600, 3600, 57600000), 0u);
    EXPECT_EQ(StartOffsetOf(1.0f, 0, 3600, 57600000), 57600000u);
    EXPECT_EQ(StartOffsetOf(0.25f, 999, 3600, 57600000), 14400000u);
    EXPECT_EQ(OffsetOfFraction(1.0 / 3.0, 10), 3u);
}

TEST(StartOffset, ATimePastTheEndIsNotClamped) {
    EXPECT_EQ(StartOffsetOf(-1.0f, 7200, 3600, 57600000), 115200000u);
    EXPECT_EQ(StartOffsetOf(2.0f, 0, 3600, 57600000), 115200000u);
}

TEST(StartOffset, AZeroDurationStartsAtTheFirstByte) {
    EXPECT_EQ(StartOffsetOf(-1.0f, 600, 0, 57600000), 0u);
    EXPECT_EQ(StartOffsetOf(0.5f, 600, 0, 1000), 500u);
}

TEST(StartOffset, ValuesThatCannotBeAnOffsetAreGuarded) {
    EXPECT_EQ(OffsetOfFraction(-0.5, 1000), 0u);
    EXPECT_EQ(OffsetOfFraction(std::numeric_limits<double>::quiet_NaN(), 1000), 0u);
    EXPECT_EQ(StartOffsetOf(std::numeric_limits<float>::quiet_NaN(), 0, 3600, 1000), 0u);
    EXPECT_EQ(OffsetOfFraction(1e30, kMax), kMax);
    EXPECT_EQ(OffsetOfFraction(std::numeric_limits<double>::infinity(), 5), kMax);
    EXPECT_EQ(StartOffsetOf(-1.0f, 0xFFFFFFFFu, 1, kMax / 2), kMax);
}

TEST(PositionEstimate, SubtractsAQuarterSecondOfBytesPerBufferOnTheDevice) {
    // 16,000 bytes a second; four buffers are one second of audio.
    EXPECT_DOUBLE_EQ(EstimatePlayPosition(9600000 + 16000, 57600000, 3600, 4), 9600000.0 / 57600000.0);
    EXPECT_DOUBLE_EQ(EstimatePlayPosition(28800000, 57600000, 3600, 0), 0.5);
    EXPECT_DOUBLE_EQ(EstimatePlayPosition(4000, 57600000, 3600, 2), (4000.0 - 8000.0) / 57600000.0);
}

TEST(PositionEstimate, ZeroDurationOrSizeDoesNotDivideByZero) {
    EXPECT_DOUBLE_EQ(EstimatePlayPosition(500, 1000, 0, 4), 0.5);
    EXPECT_EQ(EstimatePlayPosition(500, 0, 3600, 4), 0.0);
    EXPECT_TRUE(std::isfinite(EstimatePlayPosition(500, 0, 0, 4)));
}

std::pair<std::uint32_t, std::uint32_t> Words(std::uint32_t volume) {
    return {volume & 0xFFFF, volume >> 16};
}

TEST(WaveOutVolume, MatchesTheWorkedExamples) {
    EXPECT_EQ(Words(MakeWaveOutVolume(0.4f, 0.0f)), std::make_pair(26214u, 26214u));
    EXPECT_EQ(Words(MakeWaveOutVolume(1.0f, -0.5f)), std::make_pair(65535u, 32767u));
    EXPECT_EQ(Words(MakeWaveOutVolume(1.0f, 1.0f)), std::make_pair(0u, 65535u));
    EXPECT_EQ(MakeWaveOutVolume(0.0f, 0.0f), 0u);
    EXPECT_EQ(MakeWaveOutVolume(1.0f, 0.0f), 0xFFFFFFFFu);
}

TEST(WaveOutVolume, ValuesOutsideTheirRangeAreClamped) {
    EXPECT_EQ(MakeWaveOutVolume(2.0f, 0.0f), 0xFFFFFFFFu);
    EXPECT_EQ(MakeWaveOutVolume(-1.0f, 0.0f), 0u);
    EXPECT_EQ(MakeWaveOutVolume(std::numeric_limits<float>::quiet_NaN(), 0.0f), 0u);
    EXPECT_EQ(Words(MakeWaveOutVolume(1.0f, -3.0f)), std::make_pair(65535u, 0u));
    EXPECT_EQ(MakeWaveOutVolume(1.0f, std::numeric_limits<float>::quiet_NaN()), 0xFFFFFFFFu);
}

} // namespace
