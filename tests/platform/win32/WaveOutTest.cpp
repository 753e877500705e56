// The waveOut device on the wave mapper (under Wine in CI: its ALSA driver playing into ALSA's null
// device). The PCM itself cannot be read back here; what is checked is the contract the media thread
// relies on: buffers come back once each, in order, and Reset hands back everything before it returns.
#include "platform/Audio.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

using platform::WaveHeader;

class WaveOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = platform::OpenSystemWaveOut([this](WaveHeader* header) {
            std::lock_guard guard(lock);
            returned.push_back(header);
        });
        ASSERT_TRUE(device) << "no wave output device";
    }

    std::vector<WaveHeader*> Returned() {
        std::lock_guard guard(lock);
        return returned;
    }

    static WaveHeader HeaderFor(const std::vector<std::uint8_t>& pcm) {
        WaveHeader header;
        header.data = pcm.data();
        header.bufferLength = static_cast<std::uint32_t>(pcm.size());
        return header;
    }

    std::mutex lock;
    std::vector<WaveHeader*> returned;
    std::unique_ptr<platform::WaveOutDevice> device;
};

TEST_F(WaveOutTest, PlayedBuffersComeBackOnceEachInWritingOrder) {
    const std::vector<std::uint8_t> pcm(4 * 2205, 1); // 50 ms each
    WaveHeader headers[4] = {HeaderFor(pcm), HeaderFor(pcm), HeaderFor(pcm), HeaderFor(pcm)};
    for (auto& header : headers) {
        ASSERT_TRUE(device->Prepare(&header));
        ASSERT_TRUE(device->Write(&header));
    }
    ASSERT_TRUE(testsupport::WaitFor([&] { return Returned().size() == 4; }));
    EXPECT_EQ(Returned(), (std::vector<WaveHeader*>{&headers[0], &headers[1], &headers[2], &headers[3]}));
    for (auto& header : headers) {
        EXPECT_TRUE(header.flags & platform::WaveHeaderFlag_Done);
        EXPECT_FALSE(header.flags & platform::WaveHeaderFlag_InQueue);
        EXPECT_TRUE(device->Unprepare(&header));
    }
    // A header may be written again after it came back, with other data.
    const std::vector<std::uint8_t> other(4 * 1000, 2);
    headers[0] = HeaderFor(other);
    ASSERT_TRUE(device->Prepare(&headers[0]));
    ASSERT_TRUE(device->Write(&headers[0]));
    ASSERT_TRUE(testsupport::WaitFor([&] { return Returned().size() == 5; }));
}

TEST_F(WaveOutTest, ResetHandsBackEveryQueuedBufferBeforeItReturnsAndEndsAPause) {
    ASSERT_TRUE(device->Pause());
    const std::vector<std::uint8_t> pcm(4 * 44100, 3); // a second each: none can finish while paused
    WaveHeader headers[3] = {HeaderFor(pcm), HeaderFor(pcm), HeaderFor(pcm)};
    for (auto& header : headers) {
        ASSERT_TRUE(device->Prepare(&header));
        ASSERT_TRUE(device->Write(&header));
    }
    EXPECT_FALSE(device->Unprepare(&headers[0])) << "still queued";
    ASSERT_TRUE(device->Reset());
    EXPECT_EQ(Returned().size(), 3u);
    for (auto& header : headers)
        EXPECT_TRUE(device->Unprepare(&header));
    // Playing again without a Restart: Reset ended the pause.
    const std::vector<std::uint8_t> short_(4 * 500, 4);
    WaveHeader next = HeaderFor(short_);
    ASSERT_TRUE(device->Prepare(&next));
    ASSERT_TRUE(device->Write(&next));
    ASSERT_TRUE(testsupport::WaitFor([&] { return Returned().size() == 4; }));
    EXPECT_EQ(Returned().back(), &next);
}

TEST_F(WaveOutTest, RefusesHeadersOutOfOrderAndCloseHandsNothingBack) {
    const std::vector<std::uint8_t> pcm(400, 5);
    WaveHeader header = HeaderFor(pcm);
    EXPECT_FALSE(device->Write(&header)) << "not prepared";
    EXPECT_FALSE(device->Prepare(nullptr));
    WaveHeader odd = HeaderFor(pcm);
    odd.bufferLength = 6; // not a whole frame
    EXPECT_FALSE(device->Prepare(&odd));
    ASSERT_TRUE(device->Prepare(&header));
    EXPECT_FALSE(device->Prepare(&header)) << "already prepared";
    ASSERT_TRUE(device->Pause());
    ASSERT_TRUE(device->Write(&header));
    EXPECT_FALSE(device->Write(&header)) << "already queued";
    ASSERT_TRUE(device->SetVolume(0x8000FFFF));
    device->Close();
    device.reset();
    EXPECT_TRUE(Returned().empty());
}

} // namespace
