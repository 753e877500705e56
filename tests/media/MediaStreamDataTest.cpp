// Stream data arriving at the media thread: the queue, the hand-over to the decoder side, the request
// series and the rule by which the next window is asked for.

#include "media/MediaHandlerProbe.h"
#include "support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>

using testsupport::MediaContext;
using testsupport::MediaHandlerProbe;

namespace {

std::unique_ptr<Mp3DataBlock> Block(std::uint16_t fill) {
    auto block = std::make_unique<Mp3DataBlock>();
    block->fill = fill;
    return block;
}

class MediaStreamDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto station = std::make_unique<StationInfoData>(4);
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = 4;
        stream->streamId = 40;
        stream->size = 10'000'000;
        stream->duration = 600;
        station->StoreStream(std::move(stream));
        media.Handle(std::make_unique<MyMediaHandlerMessage_AddStationInfo>(std::move(station)));
        ui.TakeCallbacks();
        // The state a start leaves: series 1 pending from offset 1000.
        media.currentStream = media.FindStream(4, 40);
        media.requestTag = 1;
        media.receivedBytes = 1000;
        media.requestStatus = MyMediaHandler::RequestStatus_Mp3RequestPending;
    }

    void Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag, bool finished) {
        media.Handle(std::make_unique<MyMediaHandlerMessage_AddMp3Data>(std::move(block), tag, finished));
    }
    void ReturnHeader() {
        media.Handle(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(nullptr));
    }

    struct Request {
        std::int32_t stationId, streamId, requestNumber;
        std::uint64_t startOffset;
        std::int32_t length;
    };
    std::vector<Request> StreamRequests() {
        std::vector<Request> out;
        for (auto& message : media.TakeSent()) {
            EXPECT_EQ(message->type, NetworkHandlerMessageType_GetStreamData);
            auto& m = static_cast<MyNetworkHandlerMessage_GetStreamData&>(*message);
            out.push_back({m.stationId, m.streamId, m.requestNumber, m.startOffset, m.length});
        }
        return out;
    }

    testsupport::RecordingMessageBoxes boxes;
    MediaContext ui;
    MediaHandlerProbe media{&ui.context};
};

TEST_F(MediaStreamDataTest, BlocksOfTheCurrentSeriesAreQueuedAndCounted) {
    media.decodeStartAnswer = 0;
    Data(Block(4096), 1, false);
    Data(Block(100), 1, false);
    EXPECT_EQ(media.mp3Queue.size(), 2u);
    EXPECT_EQ(media.receivedBytes, 1000u + 4096 + 100);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_Mp3RequestPending);
    // The decoder start is tried again with every block while it finds no format.
    EXPECT_EQ(media.decodeStarts, 2);
    EXPECT_TRUE(media.needDecodeStart);
    EXPECT_EQ(media.decodes, 0);
}

TEST_F(MediaStreamDataTest, DecoderStartOutcomesDecideWhetherDecodingFollows) {
    media.decodeStartAnswer = -1;
    Data(Block(4096), 1, false);
    EXPECT_TRUE(media.needDecodeStart);
    EXPECT_EQ(media.decodes, 0);
    ASSERT_EQ(boxes.utf8(), std::vector<std::string>{"Mp3DecodeStart FAILED!"});
    EXPECT_EQ(boxes.captions()[0], u"Error!");

    media.decodeStartAnswer = 1;
    Data(Block(4096), 1, false);
    EXPECT_FALSE(media.needDecodeStart);
    EXPECT_EQ(media.decodes, 1);

    // Once started, no further start; decoding only while fewer than four buffers are on the device.
    media.headersInFlight = 4;
    Data(Block(4096), 1, false);
    EXPECT_EQ(media.decodeStarts, 2);
    EXPECT_EQ(media.decodes, 1);
    media.headersInFlight = 3;
    Data(Block(4096), 1, false);
    EXPECT_EQ(media.decodes, 2);
    EXPECT_EQ(boxes.count(), 1u);
}

// A front end learns that the stream cannot go on from a report posted after the box, not from the box.
TEST_F(MediaStreamDataTest, ADecoderThatCannotStartIsReportedAfterItsBox) {
    struct LookingBoxes : platform::MessageBoxSink {
        explicit LookingBoxes(MediaContext& ui) : ui(ui) { previous = platform::SetMessageBoxSink(this); }
        ~LookingBoxes() override { platform::SetMessageBoxSink(previous); }
        platform::MessageBoxResult Show(const std::u16string& text, const std::u16string&,
                                        platform::MessageBoxButtons) override {
            texts.push_back(text);
            postedBefore += ui.TakeCallbacks().size();
            return platform::MessageBoxResult::Ok;
        }
        MediaContext& ui;
        platform::MessageBoxSink* previous = nullptr;
        std::vector<std::u16string> texts;
        std::size_t postedBefore = 0;
    } looking(ui);

    media.decodeStartAnswer = -1;
    Data(Block(4096), 1, false);
    Data(Block(4096), 1, false);
    EXPECT_EQ(looking.texts,
              (std::vector<std::u16string>{u"Mp3DecodeStart FAILED!", u"Mp3DecodeStart FAILED!"}));
    EXPECT_EQ(looking.postedBefore, 1u) << "the second box follows the first report";
    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 1u);
    ASSERT_EQ(callbacks[0]->type, MyCallbacks::MessageType_PlaybackFailure);
    EXPECT_EQ(static_cast<MyCallbacks::MyMainWindowMessage_PlaybackFailureCallback&>(*callbacks[0]).failure,
              PlaybackFailure_DecoderStart);

    // A start that waits for more data, or one that works, reports nothing.
    media.decodeStartAnswer = 0;
    Data(Block(4096), 1, false);
    media.decodeStartAnswer = 1;
    Data(Block(4096), 1, false);
    EXPECT_TRUE(ui.TakeCallbacks().empty());
    EXPECT_EQ(looking.texts.size(), 2u);
}

TEST_F(MediaStreamDataTest, FinishingMessagesEndThePendingRequest) {
    Data(Block(4096), 1, true);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_None);
    EXPECT_EQ(media.mp3Queue.size(), 1u);

    // Without a block: the request of a server that stopped early.
    media.requestStatus = MyMediaHandler::RequestStatus_Mp3RequestPending;
    Data(nullptr, 1, true);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_None);
    EXPECT_EQ(media.receivedBytes, 1000u + 4096);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(MediaStreamDataTest, FinishingEmptyBlockWithNothingPendingIsReported) {
    media.requestStatus = MyMediaHandler::RequestStatus_None;
    Data(nullptr, 1, true); // no block: silently nothing
    EXPECT_EQ(boxes.count(), 0u);
    Data(Block(0), 1, true);
    EXPECT_EQ(boxes.utf8(), std::vector<std::string>{"RequestStatus != RequestStatus_Mp3RequestPending!"});
    EXPECT_TRUE(media.mp3Queue.empty());
    EXPECT_EQ(media.receivedBytes, 1000u);
    EXPECT_EQ(media.decodeStarts, 0);
}

TEST_F(MediaStreamDataTest, BlocksOfAnOldSeriesAreDroppedWithoutTouchingTheRequestState) {
    Data(Block(4096), 1, false);
    media.requestTag = 2; // a seek started series 2
    media.receivedBytes = 50'000;
    const int starts = media.decodeStarts;

    Data(Block(4096), 1, false);
    Data(Block(4096), 1, true);
    Data(nullptr, 1, true);
    Data(Block(0), 1, true);
    EXPECT_EQ(media.mp3Queue.size(), 1u);
    EXPECT_EQ(media.receivedBytes, 50'000u);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_Mp3RequestPending);
    EXPECT_EQ(media.decodeStarts, starts);
    EXPECT_EQ(boxes.count(), 0u);

    Data(nullptr, 2, true);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_None);
}

TEST_F(MediaStreamDataTest, ReturnedHeadersAskForTheNextWindowOnlyBelowSixtyQueuedBlocks) {
    media.decodeStartAnswer = 0; // keep every block queued
    for (int i = 0; i < 60; ++i)
        Data(Block(4096), 1, i == 59);
    ASSERT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_None);
    ASSERT_EQ(media.mp3Queue.size(), 60u);

    ReturnHeader();
    EXPECT_TRUE(StreamRequests().empty());

    media.mp3Queue.pop_front(); // played down to 59
    ReturnHeader();
    auto requests = StreamRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].stationId, 4);
    EXPECT_EQ(requests[0].streamId, 40);
    EXPECT_EQ(requests[0].requestNumber, 1);
    EXPECT_EQ(requests[0].startOffset, 1000u + 60 * 4096);
    EXPECT_EQ(requests[0].length, 524288);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_Mp3RequestPending);

    // At most one request outstanding.
    ReturnHeader();
    EXPECT_TRUE(StreamRequests().empty());
}

TEST_F(MediaStreamDataTest, EarlyEndIsFollowedAfterAPauseByARequestFromTheUnchangedCount) {
    media.playState = PlayState_Playing;
    Data(Block(4096), 1, false);
    Data(nullptr, 1, true);
    // A returned header does not ask before the pause is over.
    ReturnHeader();
    EXPECT_TRUE(StreamRequests().empty());
    ASSERT_TRUE(media.RunOutRetryPause());
    auto requests = StreamRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].startOffset, 1000u + 4096);
    EXPECT_EQ(requests[0].requestNumber, 1);
    EXPECT_EQ(media.retriesMade(), 1u);
}

// Every buffer has come back while the network stalled; the exchange then ends early. Nothing else
// will ever return a header, so only the retry keeps the show going.
TEST_F(MediaStreamDataTest, AnEarlyEndWithTheDeviceEmptyIsRetriedUntilDataFlows) {
    media.playState = PlayState_Playing;
    ASSERT_EQ(media.headersInFlight, 0);
    Data(nullptr, 1, true);
    EXPECT_TRUE(StreamRequests().empty());
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(media.RunOutRetryPause()) << attempt;
        auto requests = StreamRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].startOffset, 1000u);
        EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_Mp3RequestPending);
        Data(nullptr, 1, true); // fails again
    }
    EXPECT_EQ(media.retriesMade(), 3u);
}

TEST_F(MediaStreamDataTest, NoRetryWhilePausedUntilContinueNorForAnOldSeries) {
    media.playState = PlayState_Paused;
    Data(nullptr, 1, true);
    ASSERT_TRUE(media.RunOutRetryPause());
    EXPECT_TRUE(StreamRequests().empty());
    // An old series' early end starts nothing.
    media.playState = PlayState_Playing;
    media.requestStatus = MyMediaHandler::RequestStatus_Mp3RequestPending;
    Data(nullptr, 0, true);
    EXPECT_FALSE(media.retryWaiting);
    EXPECT_FALSE(platform::WaitForEvent(media.retryTimer.event(), 0));
}

TEST_F(MediaStreamDataTest, NoRetryOnceTheWholeStreamIsIn) {
    media.playState = PlayState_Playing;
    media.receivedBytes = 10'000'000;
    Data(nullptr, 1, true);
    EXPECT_FALSE(media.retryWaiting);
}

TEST_F(MediaStreamDataTest, NothingIsRequestedWithoutACurrentStream) {
    media.currentStream = nullptr;
    media.requestStatus = MyMediaHandler::RequestStatus_None;
    ReturnHeader();
    EXPECT_TRUE(StreamRequests().empty());
}

TEST_F(MediaStreamDataTest, QueuedBlocksAndUnknownMessagesAreReleasedWithTheThread) {
    // Ownership is held by the queue and the messages; the sanitizer build checks nothing leaks.
    media.decodeStartAnswer = 0;
    Data(Block(4096), 1, false);
    struct Unknown : MyMessageBase {
        Unknown() : MyMessageBase(99) {}
    };
    media.Handle(std::make_unique<Unknown>());
    media.QueueMessage(std::make_unique<MyMediaHandlerMessage_AddMp3Data>(Block(10), 1, false));
    EXPECT_EQ(media.mp3Queue.size(), 1u);
}

TEST_F(MediaStreamDataTest, TheQueueHoldsFifteenSecondsOfAudioAndNeverFewerThanSixtyBlocks) {
    StreamInfoData fast;
    fast.size = 40'000ull * 3600; // 320 kbit/s
    fast.duration = 3600;
    EXPECT_EQ(MediaHandlerProbe::QueueThresholdFor(fast), 147u); // 600,000 bytes and a block
    StreamInfoData slow;
    slow.duration = 3600;
    slow.size = 16'000ull * 3600; // 128 kbit/s: 15 s are 59 blocks, the floor holds
    EXPECT_EQ(MediaHandlerProbe::QueueThresholdFor(slow), 60u);
    slow.duration = 0;
    EXPECT_EQ(MediaHandlerProbe::QueueThresholdFor(slow), 60u);

    // At 320 kbit/s, 100 queued blocks (10 s) are too few: a returned header asks for more.
    media.maxQueuedBlocks = MediaHandlerProbe::QueueThresholdFor(fast);
    media.decodeStartAnswer = 0;
    for (int i = 0; i < 100; ++i)
        Data(Block(4096), 1, i == 99);
    ASSERT_EQ(media.mp3Queue.size(), 100u);
    ReturnHeader();
    auto requests = StreamRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].startOffset, 1000u + 100 * 4096);
}

TEST_F(MediaStreamDataTest, BlocksHandedOnTogetherAreTakenInOrderAndAnOldSeriesDropsThemAll) {
    media.decodeStartAnswer = 0; // keep every block queued
    auto message = std::make_unique<MyMediaHandlerMessage_AddMp3Data>(Block(100), 1, true);
    for (std::uint16_t fill : {4096, 4096, 4096})
        message->earlierBlocks.push_back(Block(fill));
    media.Handle(std::move(message));
    ASSERT_EQ(media.mp3Queue.size(), 4u);
    EXPECT_EQ(media.mp3Queue.back()->fill, 100);
    EXPECT_EQ(media.receivedBytes, 1000u + 3 * 4096 + 100);
    EXPECT_EQ(media.requestStatus, MyMediaHandler::RequestStatus_None);
    EXPECT_FALSE(media.retryWaiting) << "a finishing message with data is no early end";

    auto old = std::make_unique<MyMediaHandlerMessage_AddMp3Data>(Block(4096), 0, false);
    old->earlierBlocks.push_back(Block(4096));
    media.Handle(std::move(old));
    EXPECT_EQ(media.mp3Queue.size(), 4u);
}

} // namespace
