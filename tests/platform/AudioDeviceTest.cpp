// The SDL wave-output device, headless through SDL's disk driver, which writes the PCM it plays to a file.
#include "platform/Audio.h"
#include "support/Deadline.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

using platform::WaveHeader;

class DiskAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        capture = std::string(VANTRI_BINARY_DIR) + "/audio-capture-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
        std::filesystem::remove(capture);
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_AUDIODRIVER", "disk"));
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_DISKAUDIOFILE", capture));
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_DISKAUDIODELAY", "0"));
        device = platform::OpenSystemWaveOut([this](WaveHeader* header) {
            std::lock_guard guard(lock);
            returned.push_back(header);
        });
        ASSERT_TRUE(device) << "SDL's disk audio driver is not available";
    }

    std::size_t ReturnedCount() {
        std::lock_guard guard(lock);
        return returned.size();
    }

    // A buffer of `frames` frames whose samples never repeat 0, so silence is told apart from data.
    static std::vector<std::uint8_t> Pattern(std::size_t frames, int seed) {
        std::vector<std::uint8_t> pcm(frames * 4);
        for (std::size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<std::uint8_t>(1 + (i * 7 + static_cast<std::size_t>(seed) * 13) % 250);
        return pcm;
    }

    std::vector<std::uint8_t> Captured() {
        device->Close();
        return testsupport::WithoutSilentFrames(testsupport::ReadFileBytes(capture));
    }

    std::string capture;
    std::vector<std::unique_ptr<testsupport::ScopedEnvironment>> environment;
    std::mutex lock;
    std::vector<WaveHeader*> returned;
    std::unique_ptr<platform::WaveOutDevice> device;
};

WaveHeader HeaderFor(const std::vector<std::uint8_t>& pcm) {
    WaveHeader header;
    header.data = pcm.data();
    header.bufferLength = static_cast<std::uint32_t>(pcm.size());
    return header;
}

TEST_F(DiskAudioTest, PlaysWrittenBuffersInOrderExactlyAndHandsEachBack) {
    const auto first = Pattern(11025, 1);
    const auto second = Pattern(3000, 2);
    const auto third = Pattern(11025, 3);
    WaveHeader headers[3] = {HeaderFor(first), HeaderFor(second), HeaderFor(third)};
    for (auto& header : headers) {
        ASSERT_TRUE(device->Prepare(&header));
        ASSERT_TRUE(device->Write(&header));
    }
    ASSERT_TRUE(testsupport::WaitFor([&] { return ReturnedCount() == 3; }));
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(returned, (std::vector<WaveHeader*>{&headers[0], &headers[1], &headers[2]}));
    }
    for (auto& header : headers) {
        EXPECT_TRUE(header.flags & platform::WaveHeaderFlag_Done);
        EXPECT_TRUE(device->Unprepare(&header));
    }
    std::vector<std::uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_EQ(Captured(), expected);
}

TEST_F(DiskAudioTest, ResetHandsBackEveryQueuedBufferBeforeItReturns) {
    ASSERT_TRUE(device->Pause());
    const auto pcm = Pattern(11025, 4);
    WaveHeader headers[2] = {HeaderFor(pcm), HeaderFor(pcm)};
    for (auto& header : headers) {
        ASSERT_TRUE(device->Prepare(&header));
        ASSERT_TRUE(device->Write(&header));
    }
    EXPECT_FALSE(device->Unprepare(&headers[0])); // still queued
    ASSERT_TRUE(device->Reset());
    EXPECT_EQ(ReturnedCount(), 2u);
    EXPECT_FALSE(headers[1].flags & platform::WaveHeaderFlag_InQueue);
    EXPECT_TRUE(device->Unprepare(&headers[0]));
    EXPECT_TRUE(Captured().empty()); // paused, then discarded: nothing was played
}

TEST_F(DiskAudioTest, ResetEndsAPauseAndRestartResumesOne) {
    ASSERT_TRUE(device->Pause());
    ASSERT_TRUE(device->Reset());
    const auto pcm = Pattern(2000, 5);
    WaveHeader header = HeaderFor(pcm);
    ASSERT_TRUE(device->Prepare(&header));
    ASSERT_TRUE(device->Write(&header));
    ASSERT_TRUE(testsupport::WaitFor([&] { return ReturnedCount() == 1; }));

    ASSERT_TRUE(device->Pause());
    WaveHeader next = HeaderFor(pcm);
    ASSERT_TRUE(device->Prepare(&next));
    ASSERT_TRUE(device->Write(&next));
    ASSERT_TRUE(device->Restart());
    ASSERT_TRUE(testsupport::WaitFor([&] { return ReturnedCount() == 2; }));
}

TEST_F(DiskAudioTest, TheVolumeWordScalesEachChannel) {
    ASSERT_TRUE(device->SetVolume(0x8000FFFF)); // left unchanged, right at about half
    std::vector<std::uint8_t> pcm(4 * 1000);
    for (std::size_t i = 0; i < pcm.size(); i += 4) {
        const std::int16_t left = 12000, right = -20000;
        std::memcpy(&pcm[i], &left, 2);
        std::memcpy(&pcm[i + 2], &right, 2);
    }
    WaveHeader header = HeaderFor(pcm);
    ASSERT_TRUE(device->Prepare(&header));
    ASSERT_TRUE(device->Write(&header));
    ASSERT_TRUE(testsupport::WaitFor([&] { return ReturnedCount() == 1; }));
    const auto played = Captured();
    ASSERT_EQ(played.size(), pcm.size());
    std::int16_t left, right;
    std::memcpy(&left, &played[400], 2);
    std::memcpy(&right, &played[402], 2);
    EXPECT_EQ(left, 12000);
    EXPECT_EQ(right, -20000 * 0x8000 / 0xFFFF);
}

TEST_F(DiskAudioTest, RefusesHeadersOutOfOrderAndCloseHandsNothingBack) {
    const auto pcm = Pattern(100, 6);
    WaveHeader header = HeaderFor(pcm);
    EXPECT_FALSE(device->Write(&header)); // not prepared
    EXPECT_FALSE(device->Prepare(nullptr));
    WaveHeader odd = HeaderFor(pcm);
    odd.bufferLength = 6; // not a whole frame
    EXPECT_FALSE(device->Prepare(&odd));
    ASSERT_TRUE(device->Prepare(&header));
    EXPECT_FALSE(device->Prepare(&header));
    ASSERT_TRUE(device->Pause());
    ASSERT_TRUE(device->Write(&header));
    EXPECT_FALSE(device->Write(&header)); // already queued
    device->Close();
    EXPECT_EQ(ReturnedCount(), 0u);
    device.reset();
    EXPECT_EQ(ReturnedCount(), 0u);
}

} // namespace
