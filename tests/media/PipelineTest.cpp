// Decoding and output with real MP3 data and the scripted device: buffers in flight, partial buffers,
// decoder starts, returned headers and the stream-data request rule.
#include "PlaybackFixture.h"

namespace {

using mediatest::PlaybackTest;
using testsupport::AudioCallKind;

class PipelineTest : public PlaybackTest {
protected:
    void SetUp() override {
        const std::string path =
            testsupport::MakeToneMp3(mediatest::FixtureDirectory(), {44100, 2, 20.0, 128});
        ASSERT_FALSE(path.empty()) << "sox or lame failed";
        mp3 = testsupport::ReadFileBytes(path);
        ASSERT_GT(mp3.size(), 300000u);
        stream.size = mp3.size();
        stream.duration = 20;
        Open();
    }

    std::vector<std::uint8_t> mp3;
};

TEST_F(PipelineTest, AtMostFourBuffersAreOnTheDeviceAndEachReturnWritesOneMore) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 100, false);
    EXPECT_EQ(audio.queued(), 4u);
    EXPECT_EQ(playback.headersInFlight(), 4);
    EXPECT_EQ(playback.output().bufferCount(), 4u);
    const std::size_t queuedBefore = playback.queuedBlocks();
    EXPECT_GT(queuedBefore, 50u); // later blocks are only queued

    ASSERT_TRUE(audio.CompleteNext());
    HandleReturned();
    EXPECT_EQ(audio.queued(), 4u);
    auto writes = audio.calls(AudioCallKind::Write);
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes.back().value, PcmBuffer::kCapacity); // with blocks queued the buffer is filled up
    EXPECT_LT(playback.queuedBlocks(), queuedBefore);
    EXPECT_EQ(audio.maxQueued(), 4u);
    EXPECT_EQ(playback.output().bufferCount(), 4u); // buffers are reused, never more than four
}

TEST_F(PipelineTest, ThePcmWrittenIsWhatLibmpg123DecodesFromTheBytes) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    std::size_t offset = 0;
    while (offset < mp3.size()) {
        offset = Feed(mp3, offset, 8);
        PlayOut();
    }
    PlayOut();
    EXPECT_EQ(audio.writtenPcm(), testsupport::ReferenceDecode(mp3));
    EXPECT_EQ(playback.fedBytes(), mp3.size() - Mp3DataBlock::kCapacity); // the start block is not counted
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PipelineTest, OnePositionIsPostedPerBlockFedAndItAllowsForTheBuffersOnTheDevice) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Callbacks();
    Feed(mp3, 0, 30, false);
    Callbacks();
    // Blocks 2 to n are fed; the first one started the decoder.
    const std::size_t fedBlocks = playback.fedBytes() / Mp3DataBlock::kCapacity;
    EXPECT_EQ(positions.size(), fedBlocks);
    const double rate = static_cast<double>(stream.size) / stream.duration;
    const double expected = (static_cast<double>(playback.fedBytes()) - rate * 0.25 * 3) / stream.size;
    // The last block fed went in while the fourth buffer was being filled, with three on the device.
    EXPECT_FLOAT_EQ(positions.back(), static_cast<float>(expected));
}

TEST_F(PipelineTest, AQueueThatRunsDryWritesAPartlyFilledBufferAndKeepsAnEmptyOne) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    // The start block alone decodes to less than a buffer, and nothing else is queued.
    Feed(mp3, 0, 1, false);
    auto writes = audio.calls(AudioCallKind::Write);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_GT(writes[0].value, 0u);
    EXPECT_LT(writes[0].value, PcmBuffer::kCapacity);
    EXPECT_EQ(writes[0].value % 4, 0u);
    EXPECT_EQ(playback.queuedBlocks(), 0u);

    // The decoder has nothing left: a returned header leaves the buffer on the free list.
    ASSERT_TRUE(audio.CompleteNext());
    HandleReturned();
    EXPECT_EQ(audio.calls(AudioCallKind::Write).size(), 1u);
    EXPECT_EQ(playback.output().freeBufferCount(), 1u);
    EXPECT_EQ(playback.headersInFlight(), 0);
}

TEST_F(PipelineTest, AFirstBlockWithoutTheFormatIsDroppedAndTheNextStartsANewDecoder) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    std::vector<std::uint8_t> noise(Mp3DataBlock::kCapacity, 0);
    playback.AddMp3Data(mediatest::BlockOf(noise, 0), playback.requestTag(), false);
    EXPECT_TRUE(playback.needDecodeStart());
    EXPECT_EQ(playback.queuedBlocks(), 0u);
    EXPECT_TRUE(audio.calls(AudioCallKind::Write).empty());

    std::size_t offset = 0;
    while (offset < mp3.size()) {
        offset = Feed(mp3, offset, 8);
        EXPECT_FALSE(playback.needDecodeStart());
        PlayOut();
    }
    EXPECT_EQ(audio.writtenPcm(), testsupport::ReferenceDecode(mp3));
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PipelineTest, AHeaderReturnedWhileStoppedIsRecycledWithoutDecoding) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 100, false);
    ASSERT_EQ(audio.queued(), 4u);
    // The simulator hands buffers back inside Reset, while the start has the state at stopped; handle
    // them right there.
    std::vector<PlayState> statesSeen;
    onReturn = [&](platform::WaveHeader* header) {
        statesSeen.push_back(playback.playState());
        playback.ReturnUsedWaveHeader(header);
    };
    const std::size_t writesBefore = audio.calls(AudioCallKind::Write).size();
    playback.Seek(0.5f);
    EXPECT_EQ(statesSeen, std::vector<PlayState>(4, PlayState_Stopped));
    EXPECT_EQ(audio.calls(AudioCallKind::Write).size(), writesBefore);
    EXPECT_EQ(playback.output().freeBufferCount(), 4u);
    EXPECT_EQ(playback.headersInFlight(), 0);
    EXPECT_EQ(audio.calls(AudioCallKind::Unprepare).size(), 4u);
}

TEST_F(PipelineTest, AfterASeekOnlyAudioOfTheNewSeriesIsPlayed) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 12, false);
    const std::size_t writesBefore = audio.calls(AudioCallKind::Write).size();
    playback.Seek(0.5f);
    EXPECT_EQ(playback.queuedBlocks(), 0u); // queued data is discarded
    HandleReturned();
    // The old decoder's audio is gone with it: the buffers the reset handed back stay empty.
    EXPECT_EQ(audio.calls(AudioCallKind::Write).size(), writesBefore);
    const std::size_t positionsBefore = positions.size();
    // The new series plays from its first block on.
    const std::size_t seekOffset = 40 * Mp3DataBlock::kCapacity;
    Feed(mp3, seekOffset, 8, false);
    const auto written = audio.writtenBuffers();
    ASSERT_GT(written.size(), writesBefore);
    std::vector<std::uint8_t> after;
    for (std::size_t i = writesBefore; i < written.size(); ++i)
        after.insert(after.end(), written[i].begin(), written[i].end());
    const auto expected = testsupport::ReferenceDecode(mp3, seekOffset);
    ASSERT_LE(after.size(), expected.size());
    EXPECT_TRUE(std::equal(after.begin(), after.end(), expected.begin()));
    // Positions after the seek never step back before it.
    for (std::size_t i = positionsBefore; i < positions.size(); ++i)
        EXPECT_GE(positions[i], 0.5f - 0.01f);
}

TEST_F(PipelineTest, TheNextRequestLeavesOnlyWhenTheLastHasFinishedAndTheQueueIsBelowSixty) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 70, false); // 4 buffers on the device, the rest queued
    ASSERT_GE(playback.queuedBlocks(), 60u);
    ASSERT_TRUE(audio.CompleteNext());
    HandleReturned();
    EXPECT_EQ(Requests().size(), 1u); // the request has not finished
    playback.AddMp3Data(nullptr, playback.requestTag(), true);
    EXPECT_EQ(playback.requestStatus(), MyMediaHandler::RequestStatus_None);
    while (playback.queuedBlocks() >= 60) {
        EXPECT_EQ(Requests().size(), 1u);
        ASSERT_TRUE(audio.CompleteNext());
        HandleReturned();
    }
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1]->startOffset, 70u * Mp3DataBlock::kCapacity);
    EXPECT_EQ(requests[1]->requestNumber, playback.requestTag());
    EXPECT_EQ(playback.requestStatus(), MyMediaHandler::RequestStatus_Mp3RequestPending);
}

TEST_F(PipelineTest, DataOfAnEarlierSeriesIsDroppedWithoutTouchingTheNewRequest) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    const std::int32_t oldTag = playback.requestTag();
    playback.Seek(0.5f);
    const std::uint64_t received = playback.receivedBytes();
    playback.AddMp3Data(mediatest::BlockOf(mp3, 0), oldTag, false);
    playback.AddMp3Data(nullptr, oldTag, true);
    EXPECT_EQ(playback.receivedBytes(), received);
    EXPECT_EQ(playback.queuedBlocks(), 0u);
    EXPECT_EQ(playback.requestStatus(), MyMediaHandler::RequestStatus_Mp3RequestPending);
}

TEST_F(PipelineTest, AnEmptyFinishingBlockWithoutARequestIsReported) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    playback.AddMp3Data(nullptr, playback.requestTag(), true);
    EXPECT_TRUE(boxes.texts().empty());
    auto empty = std::make_unique<Mp3DataBlock>();
    playback.AddMp3Data(std::move(empty), playback.requestTag(), true);
    EXPECT_EQ(boxes.utf8(), std::vector<std::string>{"RequestStatus != RequestStatus_Mp3RequestPending!"});
}

TEST_F(PipelineTest, AWriteTheDeviceRefusesGivesTheBufferBack) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    audio.failWrite = true;
    Feed(mp3, 0, 20, false);
    EXPECT_EQ(playback.headersInFlight(), 0);
    EXPECT_EQ(audio.queued(), 0u);
    EXPECT_EQ(playback.output().bufferCount(), 1u); // the same buffer was tried again and again
    EXPECT_EQ(playback.output().freeBufferCount(), 1u);
    audio.failWrite = false;
    Feed(mp3, 20 * Mp3DataBlock::kCapacity, 20, false);
    EXPECT_EQ(audio.queued(), 4u);
}

TEST_F(PipelineTest, AHeaderHandedBackTwiceOrUnknownIsIgnored) {
    audio.returnTwice = true;
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 40, false);
    ASSERT_TRUE(audio.CompleteNext());
    HandleReturned();
    EXPECT_EQ(playback.headersInFlight(), 4);
    EXPECT_EQ(audio.queued(), 4u);
    platform::WaveHeader stranger;
    playback.ReturnUsedWaveHeader(&stranger);
    EXPECT_EQ(playback.headersInFlight(), 4);
}

TEST_F(PipelineTest, ClosingWithBuffersOnTheDeviceReturnsNothingAndLeaksNothing) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 40, false);
    playback.CloseAudio();
    EXPECT_FALSE(audio.open());
    EXPECT_TRUE(returned.empty());
    EXPECT_EQ(playback.headersInFlight(), 0);
    EXPECT_FALSE(playback.deviceOpen());
}

TEST_F(PipelineTest, ASeekWhilePausedContinuesFromTheNewPlace) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Feed(mp3, 0, 20, false);
    playback.Pause();
    EXPECT_FALSE(audio.CompleteNext()); // a paused device holds its buffers
    const std::size_t seekOffset = 40 * Mp3DataBlock::kCapacity;
    playback.Seek(static_cast<float>(static_cast<double>(seekOffset) / stream.size));
    ASSERT_EQ(Requests().back()->startOffset, seekOffset);
    EXPECT_TRUE(audio.paused());
    HandleReturned(); // the old decoder's rest goes onto the paused device
    const std::size_t writesBefore = audio.writtenBuffers().size();
    Feed(mp3, seekOffset, 30, false);
    EXPECT_TRUE(audio.paused());
    EXPECT_EQ(playback.playState(), PlayState_Paused);
    playback.Continue();
    PlayOut();
    auto buffers = audio.writtenBuffers();
    std::vector<std::uint8_t> afterSeek;
    for (std::size_t i = writesBefore; i < buffers.size(); ++i)
        afterSeek.insert(afterSeek.end(), buffers[i].begin(), buffers[i].end());
    auto reference = testsupport::ReferenceDecode(
        std::vector<std::uint8_t>(mp3.begin(),
                                  mp3.begin() + static_cast<std::ptrdiff_t>(seekOffset + 30 * 4096)),
        seekOffset);
    ASSERT_FALSE(afterSeek.empty());
    EXPECT_EQ(afterSeek, reference);
}

} // namespace
