// Every stream reaches the device as 44,100 Hz 16-bit stereo, whatever rate and channels it was made with.
#include "PlaybackFixture.h"

#include <cmath>

namespace {

using mediatest::PlaybackTest;

struct Channels {
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
};

Channels Split(const std::vector<std::uint8_t>& pcm) {
    Channels channels;
    for (std::size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        channels.left.push_back(static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8)));
        channels.right.push_back(static_cast<std::int16_t>(pcm[i + 2] | (pcm[i + 3] << 8)));
    }
    return channels;
}

// The tone's frequency in Hz, from rising zero crossings in the middle second, played at 44,100 frames
// a second.
double FrequencyOf(const std::vector<std::int16_t>& samples) {
    const std::size_t begin = samples.size() / 2 - 22050;
    int crossings = 0;
    for (std::size_t i = begin; i < begin + 44100; ++i)
        if (samples[i] < 0 && samples[i + 1] >= 0)
            ++crossings;
    return crossings;
}

class DecoderFormatTest : public PlaybackTest,
                          public ::testing::WithParamInterface<testsupport::ToneFixture> {};

TEST_P(DecoderFormatTest, PlaysAtTheToneItsRightLengthInStereo) {
    const testsupport::ToneFixture tone = GetParam();
    const std::string path = testsupport::MakeToneMp3(mediatest::FixtureDirectory(), tone);
    ASSERT_FALSE(path.empty());
    const auto mp3 = testsupport::ReadFileBytes(path);
    stream.size = mp3.size();
    stream.duration = static_cast<std::uint32_t>(tone.seconds);
    Open();
    playback.StartPlayAt(&stream, 0.0f, 0);
    std::size_t offset = 0;
    while (offset < mp3.size()) {
        offset = Feed(mp3, offset, 8);
        PlayOut();
    }
    EXPECT_TRUE(boxes.texts().empty());

    const auto pcm = audio.writtenPcm();
    EXPECT_EQ(pcm, testsupport::ReferenceDecode(mp3));
    // The length in seconds at 44,100 frames a second is the tone's length (within 2 %).
    const double seconds = static_cast<double>(pcm.size()) / (44100.0 * 4);
    EXPECT_NEAR(seconds, tone.seconds, tone.seconds * 0.02);

    const Channels channels = Split(pcm);
    EXPECT_NEAR(FrequencyOf(channels.left), 440.0, 3.0);
    if (tone.channels == 1) {
        EXPECT_EQ(channels.left, channels.right);
    } else {
        EXPECT_NEAR(FrequencyOf(channels.right), 660.0, 3.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, DecoderFormatTest,
                         ::testing::Values(testsupport::ToneFixture{22050, 1, 4.0, 64},
                                           testsupport::ToneFixture{48000, 2, 4.0, 128},
                                           testsupport::ToneFixture{44100, 2, 4.0, 128}),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) + "Hz" +
                                    std::to_string(info.param.channels) + "ch";
                         });

} // namespace
