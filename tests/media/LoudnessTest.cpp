// Loudness levelling: the show's integrated loudness measured while it plays agrees with ffmpeg's EBU R128
// meter on the same file, the sound settles at -16 LUFS by the same meter, the gain moves slowly and stays
// put once settled, a loud true peak caps it, and without levelling nothing is touched.
#include "PlaybackFixture.h"

#include "media/LoudnessLeveller.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <regex>

namespace {

using mediatest::PlaybackTest;

// Runs `command` and answers what it printed on standard output.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
            text.append(chunk, n);
        pclose(pipe);
    }
    return text;
}

// ffmpeg's integrated loudness of a file (its ebur128 filter's summary), NaN when it could not tell.
double FfmpegIntegratedLufs(const std::string& path) {
    const std::string text =
        Output("ffmpeg -nostats -hide_banner -i '" + path + "' -af ebur128 -f null - 2>&1");
    const std::regex integrated(R"(I:\s+(-?[0-9]+\.[0-9]+) LUFS)");
    double lufs = std::nan("");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), integrated); it != std::sregex_iterator();
         ++it)
        lufs = std::stod((*it)[1].str()); // the summary comes last
    return lufs;
}

void WriteWav(const std::string& path, const std::uint8_t* pcm, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&](std::uint16_t v) {
        out.put(static_cast<char>(v & 0xFF));
        out.put(static_cast<char>(v >> 8));
    };
    out.write("RIFF", 4);
    u32(static_cast<std::uint32_t>(36 + bytes));
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(static_cast<std::uint32_t>(bytes));
    out.write(reinterpret_cast<const char*>(pcm), static_cast<std::streamsize>(bytes));
}

bool HaveFfmpeg() {
    return std::system("ffmpeg -version > /dev/null 2>&1") == 0;
}

// A quiet 440 Hz tone of `seconds` in the fixture folder, made with sox and lame.
std::string MakeQuietTone(double seconds, double volume) {
    const std::string path = mediatest::FixtureDirectory() + "/quiet-tone-" + std::to_string(seconds) + "-" +
                             std::to_string(volume) + ".mp3";
    // Test programs run side by side make it at once: each writes its own part, and the rename is atomic.
    const std::string part = path + "." + std::to_string(::getpid()) + ".part";
    if (!std::ifstream(path))
        if (std::system(("sox -D -R -n -r 44100 -c 2 -b 16 -t wav - synth " + std::to_string(seconds) +
                         " sine 440 vol " + std::to_string(volume) +
                         " 2>/dev/null | lame --quiet -b 128 - '" + part + "' && mv '" + part + "' '" + path +
                         "'")
                            .c_str()) != 0)
            return "";
    return path;
}

class LoudnessTest : public PlaybackTest {
protected:
    void SetUp() override {
        if (!HaveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
        path = MakeQuietTone(40.0, 0.05);
        ASSERT_FALSE(path.empty()) << "sox or lame failed";
        mp3 = testsupport::ReadFileBytes(path);
        stream.size = mp3.size();
        stream.duration = 40;
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

    std::string path;
    std::vector<std::uint8_t> mp3;
};

TEST_F(LoudnessTest, TheShowsLoudnessIsFfmpegsAndItSettlesAtMinusSixteen) {
    const double reference = FfmpegIntegratedLufs(path);
    ASSERT_FALSE(std::isnan(reference)) << "ffmpeg gave no integrated loudness";
    ASSERT_LT(reference, -25.0); // the fixture is quiet: levelling has to lift it
    media.HandleMessage(std::make_unique<MyMediaHandlerMessage_SetLoudnessLevelling>(true).get());
    ASSERT_TRUE(media.leveller);
    PlayWhole();
    EXPECT_NEAR(media.leveller->integratedLufs(), reference, 0.5);
    EXPECT_NEAR(media.leveller->gainDb(), -16.0 - reference, 0.5);

    // The last ten seconds of sound, measured by ffmpeg: at the target.
    const std::vector<std::uint8_t> pcm = audio.writtenPcm();
    const std::size_t tail = 10 * 44100 * 4;
    ASSERT_GT(pcm.size(), tail);
    const std::string wav = mediatest::FixtureDirectory() + "/levelled-tail.wav";
    WriteWav(wav, pcm.data() + pcm.size() - tail, tail);
    EXPECT_NEAR(FfmpegIntegratedLufs(wav), -16.0, 0.7);
    std::remove(wav.c_str());
}

TEST_F(LoudnessTest, WithoutLevellingTheSoundIsTheDecodersOwn) {
    media.HandleMessage(std::make_unique<MyMediaHandlerMessage_SetLoudnessLevelling>(true).get());
    media.HandleMessage(std::make_unique<MyMediaHandlerMessage_SetLoudnessLevelling>(false).get());
    EXPECT_FALSE(media.leveller);
    PlayWhole();
    EXPECT_EQ(audio.writtenPcm(), testsupport::ReferenceDecode(mp3));
}

// Interleaved stereo of a sine at `amplitude` (of full scale), `seconds` long.
std::vector<std::uint8_t> Sine(double seconds, double amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    std::vector<std::uint8_t> pcm(frames * 4);
    for (std::size_t f = 0; f < frames; ++f) {
        const auto v = static_cast<std::int16_t>(
            std::lround(32767 * amplitude * std::sin(2 * std::numbers::pi * 440 * f / 44100.0)));
        for (int c = 0; c < 2; ++c) {
            pcm[f * 4 + c * 2] = static_cast<std::uint8_t>(v & 0xFF);
            pcm[f * 4 + c * 2 + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
    }
    return pcm;
}

TEST(LoudnessLeveller, TheGainMovesAtMostADecibelASecondAndStaysPutOnceSettled) {
    if (!LoudnessLeveller().usable())
        GTEST_SKIP() << "built without libebur128: levelling is not offered";
    LoudnessLeveller leveller;
    ASSERT_TRUE(leveller.usable());
    const std::vector<std::uint8_t> quarter = Sine(0.25, 0.05);
    std::vector<double> gains;
    for (int i = 0; i < 4 * 60; ++i) {
        std::vector<std::uint8_t> buffer = quarter;
        leveller.Process(buffer.data(), buffer.size());
        gains.push_back(leveller.gainDb());
    }
    // Nothing for the first three seconds, then never more than a quarter of a decibel a buffer.
    EXPECT_DOUBLE_EQ(gains[10], 0.0);
    for (std::size_t i = 1; i < gains.size(); ++i)
        EXPECT_LE(std::fabs(gains[i] - gains[i - 1]), 0.25 + 1e-9) << i;
    // Settled: the last half minute holds within a tenth of a decibel, at the target.
    const auto [low, high] = std::minmax_element(gains.end() - 120, gains.end());
    EXPECT_LT(*high - *low, 0.1);
    EXPECT_NEAR(gains.back(), -16.0 - leveller.integratedLufs(), 0.1);
}

TEST(LoudnessLeveller, ALoudTruePeakCapsTheGainAtMinusOneDbtp) {
    if (!LoudnessLeveller().usable())
        GTEST_SKIP() << "built without libebur128: levelling is not offered";
    LoudnessLeveller leveller;
    // A quiet tone with a click of a hundredth of a second every five seconds: its peaks allow far less
    // gain than its loudness asks for.
    std::vector<std::uint8_t> pcm = Sine(20, 0.05);
    const std::vector<std::uint8_t> click = Sine(0.01, 0.9);
    for (std::size_t at = 44100 * 4; at + click.size() / 4 < pcm.size() / 4; at += 5 * 44100)
        std::copy(click.begin(), click.end(), pcm.begin() + static_cast<std::ptrdiff_t>(at * 4));
    for (std::size_t offset = 0; offset < pcm.size(); offset += 44100)
        leveller.Process(pcm.data() + offset, std::min<std::size_t>(44100, pcm.size() - offset));
    const double peakDb = 20 * std::log10(leveller.truePeak());
    EXPECT_NEAR(peakDb, 20 * std::log10(0.9), 0.5);
    EXPECT_GT(-16.0 - leveller.integratedLufs(), -1.0 - peakDb + 3.0); // the loudness alone would go higher
    EXPECT_NEAR(leveller.targetGainDb(), -1.0 - peakDb, 1e-6);
    EXPECT_LE(leveller.gainDb(), -1.0 - peakDb + 1e-6);
}

TEST(LoudnessLeveller, ANewShowStartsFromNothing) {
    if (!LoudnessLeveller().usable())
        GTEST_SKIP() << "built without libebur128: levelling is not offered";
    LoudnessLeveller leveller;
    std::vector<std::uint8_t> pcm = Sine(30, 0.05);
    leveller.Process(pcm.data(), pcm.size());
    EXPECT_TRUE(std::isfinite(leveller.integratedLufs()));
    leveller.NewShow();
    EXPECT_FALSE(std::isfinite(leveller.integratedLufs()));
    EXPECT_DOUBLE_EQ(leveller.gainDb(), 0.0);
    EXPECT_DOUBLE_EQ(leveller.truePeak(), 0.0);
}

} // namespace
