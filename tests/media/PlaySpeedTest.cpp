// Playback faster and slower with real MP3 data and the scripted device: 1x is the decoder's PCM byte for
// byte, other speeds keep the pitch and take the stream's time in proportion, and the play position is the
// stream's own time at every speed.
#include "PlaybackFixture.h"

#include "media/TimeStretcher.h"

#include <cmath>
#include <numbers>
#include <numeric>

namespace {

using mediatest::PlaybackTest;
using testsupport::AudioCallKind;

constexpr double kBytesPerSecond = 44100.0 * 4;

// Upward zero crossings of the left channel per second: the tone's frequency.
double LeftFrequency(const std::vector<std::uint8_t>& pcm, std::size_t fromFrame, std::size_t frames) {
    auto left = [&](std::size_t frame) {
        return static_cast<std::int16_t>(pcm[frame * 4] | (pcm[frame * 4 + 1] << 8));
    };
    std::size_t crossings = 0;
    for (std::size_t f = fromFrame + 1; f < fromFrame + frames; ++f)
        if (left(f - 1) < 0 && left(f) >= 0)
            ++crossings;
    return crossings * 44100.0 / static_cast<double>(frames);
}

class PlaySpeedTest : public PlaybackTest {
protected:
    void SetUp() override {
        if (!TimeStretcher::Available())
            GTEST_SKIP() << "built without librubberband: the speed stays 1x";
        PlaybackTest::SetUp();
    }
    void Load(double seconds) {
        const std::string path =
            testsupport::MakeToneMp3(mediatest::FixtureDirectory(), {44100, 2, seconds, 128});
        ASSERT_FALSE(path.empty()) << "sox or lame failed";
        mp3 = testsupport::ReadFileBytes(path);
        stream.size = mp3.size();
        stream.duration = static_cast<std::uint32_t>(seconds);
        Open();
    }

    void PlayWhole() {
        playback.StartPlayAt(&stream, 0.0f, 0);
        std::size_t offset = 0;
        while (offset < mp3.size()) {
            offset = Feed(mp3, offset, 8);
            PlayOut();
        }
        PlayOut();
    }

    // Bytes of sound the device has played: the buffers it handed back, which it does in writing order.
    std::size_t HeardBytes() const {
        const auto writes = audio.calls(AudioCallKind::Write);
        const std::size_t done = writes.size() - audio.queued();
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < done; ++i)
            bytes += writes[i].value;
        return bytes;
    }

    // Feeds the whole stream, then lets the device play until it has played `wallSeconds`; answers the
    // stream second of the last position posted.
    double PositionAfterPlaying(double wallSeconds) {
        playback.StartPlayAt(&stream, 0.0f, 0);
        Feed(mp3, 0, 0, false);
        while (HeardBytes() < wallSeconds * kBytesPerSecond) {
            if (!audio.CompleteNext())
                break;
            HandleReturned();
        }
        Callbacks();
        return positions.empty() ? -1.0 : positions.back() * static_cast<double>(stream.duration);
    }

    std::vector<std::uint8_t> mp3;
};

TEST_F(PlaySpeedTest, BackAtOneTimesThePcmIsTheDecodersOwnByteForByte) {
    Load(20.0);
    playback.SetPlaySpeed(15);
    EXPECT_TRUE(media.stretcher);
    playback.SetPlaySpeed(10);
    EXPECT_FALSE(media.stretcher);
    PlayWhole();
    EXPECT_EQ(audio.writtenPcm(), testsupport::ReferenceDecode(mp3));
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PlaySpeedTest, AtOneAndAHalfTheShowTakesTwoThirdsOfItsTimeAtTheSamePitch) {
    Load(20.0);
    playback.SetPlaySpeed(15);
    PlayWhole();
    const std::vector<std::uint8_t> pcm = audio.writtenPcm();
    const double seconds = static_cast<double>(pcm.size()) / kBytesPerSecond;
    // Once the show's last byte is decoded, what the stretcher still holds is played too: all of it.
    EXPECT_NEAR(seconds, 20.0 / 1.5, 0.05);
    // The 440 Hz tone is still 440 Hz (played faster by resampling, it would be 660 Hz).
    EXPECT_NEAR(LeftFrequency(pcm, 44100, 44100 * 5), 440.0, 5.0);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PlaySpeedTest, AtHalfSpeedTheShowTakesTwiceItsTimeAtTheSamePitch) {
    Load(10.0);
    playback.SetPlaySpeed(5);
    PlayWhole();
    const std::vector<std::uint8_t> pcm = audio.writtenPcm();
    EXPECT_NEAR(static_cast<double>(pcm.size()) / kBytesPerSecond, 20.0, 0.05);
    EXPECT_NEAR(LeftFrequency(pcm, 44100, 44100 * 5), 440.0, 5.0);
}

TEST_F(PlaySpeedTest, AtOneAndAHalfThePositionAfterSixtySecondsOfTheShowIsSixtySeconds) {
    Load(90.0);
    playback.SetPlaySpeed(15);
    // Forty seconds of sound carry sixty seconds of the show.
    EXPECT_NEAR(PositionAfterPlaying(40.0), 60.0, 0.6);
}

TEST_F(PlaySpeedTest, AtTwiceTheSpeedThePositionRunsAtTwiceTheSoundsTime) {
    Load(90.0);
    playback.SetPlaySpeed(20);
    EXPECT_NEAR(PositionAfterPlaying(20.0), 40.0, 0.75);
}

TEST_F(PlaySpeedTest, AtOneTimesThePositionIsTheSoundsTime) {
    Load(90.0);
    EXPECT_NEAR(PositionAfterPlaying(40.0), 40.0, 0.5);
}

TEST_F(PlaySpeedTest, AChangeWhilePlayingGoesOnFromWhereTheShowIs) {
    Load(90.0);
    playback.SetPlaySpeed(20);
    // About 20 s of the show; the device hands back a quarter second at a time, half a second of it.
    const double at = PositionAfterPlaying(10.0);
    EXPECT_NEAR(at, 20.0, 0.75);
    playback.SetPlaySpeed(10);
    const std::size_t heard = HeardBytes();
    while (HeardBytes() < heard + 10 * kBytesPerSecond && audio.CompleteNext())
        HandleReturned();
    Callbacks();
    // Ten more seconds of sound: the second already on the device held two of the show, the nine after
    // it nine; the little the stretcher held is skipped.
    EXPECT_NEAR(positions.back() * 90.0, at + 11.0, 0.75);
}

TEST_F(PlaySpeedTest, ASeekAtOneAndAHalfStartsFromTheNewPlaceWithNothingOfTheOld) {
    Load(90.0);
    playback.SetPlaySpeed(15);
    PositionAfterPlaying(4.0);
    playback.Seek(0.5f);
    HandleReturned();
    EXPECT_DOUBLE_EQ(media.stretcher->heldMediaFrames(), 0.0);
    Callbacks();
    positions.clear();
    const std::size_t start = static_cast<std::size_t>(0.5 * static_cast<double>(mp3.size()));
    const std::size_t heard = HeardBytes();
    Feed(mp3, start, 0, false);
    while (HeardBytes() < heard + 10 * kBytesPerSecond && audio.CompleteNext())
        HandleReturned();
    Callbacks();
    ASSERT_FALSE(positions.empty());
    EXPECT_NEAR(positions.back() * 90.0, 45.0 + 15.0, 0.6);
}

TEST_F(PlaySpeedTest, SpeedsOutsideHalfToThreeTimesAreClamped) {
    Load(5.0);
    playback.SetPlaySpeed(100);
    EXPECT_EQ(media.speedTenths, 30);
    ASSERT_TRUE(media.stretcher);
    EXPECT_DOUBLE_EQ(media.stretcher->speed(), 3.0);
    playback.SetPlaySpeed(-4);
    EXPECT_EQ(media.speedTenths, 5);
    EXPECT_DOUBLE_EQ(media.stretcher->speed(), 0.5);
}

TEST(TimeStretcherTest, TwiceTheSpeedGivesHalfTheFramesAndCountsWhatItHolds) {
    if (!TimeStretcher::Available())
        GTEST_SKIP() << "built without librubberband: the speed stays 1x";
    TimeStretcher stretcher(2.0);
    std::vector<std::uint8_t> in(44100 * 4);
    for (std::size_t f = 0; f < 44100; ++f) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * 440 * f / 44100.0));
        for (int c = 0; c < 2; ++c) {
            in[f * 4 + c * 2] = static_cast<std::uint8_t>(v & 0xFF);
            in[f * 4 + c * 2 + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
    }
    std::vector<std::uint8_t> out(44100 * 4);
    std::size_t taken = 0;
    for (int second = 0; second < 4; ++second) {
        stretcher.Put(in.data(), in.size());
        taken += stretcher.Take(out.data(), out.size());
    }
    EXPECT_EQ(taken % 4, 0u);
    const double outFrames = static_cast<double>(taken) / 4;
    // Four seconds in, about two out; the rest is held, and counted.
    EXPECT_NEAR(outFrames, 2 * 44100, 0.1 * 44100);
    EXPECT_NEAR(stretcher.heldMediaFrames(), 4 * 44100 - outFrames * 2, 1.0);
    stretcher.Reset();
    EXPECT_DOUBLE_EQ(stretcher.heldMediaFrames(), 0.0);
    EXPECT_EQ(stretcher.Take(out.data(), out.size()), 0u);
}

} // namespace
