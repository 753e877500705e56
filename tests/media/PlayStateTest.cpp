// The play-state machine, requests of a start or seek, volume and mute, driven with the scripted device.
#include "PlaybackFixture.h"

namespace {

using mediatest::PlaybackTest;
using testsupport::AudioCallKind;

class PlayStateTest : public PlaybackTest {
protected:
    void SetUp() override { Open(); }
};

TEST_F(PlayStateTest, AStartFromStoppedPlaysWithoutDeviceCalls) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    EXPECT_EQ(playback.playState(), PlayState_Playing);
    EXPECT_EQ(audio.summary(), "");
    EXPECT_EQ(PlayEvents(), std::vector<std::string>{"PlayEvent 0"});
    EXPECT_EQ(playback.currentStream(), &stream);
}

TEST_F(PlayStateTest, AnyStartOrSeekWhilePlayingResetsAndReportsPlaying) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Callbacks();
    audio.ClearCalls();
    playback.Seek(0.5f);
    EXPECT_EQ(audio.summary(), "Reset");
    EXPECT_EQ(Callbacks(), (std::vector<std::string>{"PlayEvent 0", "PlayPos"}));
    EXPECT_FLOAT_EQ(positions.back(), 0.5f);
    playback.StartPlayAt(&other, 0.0f, 0);
    EXPECT_EQ(audio.summary(), "Reset Reset");
    EXPECT_EQ(PlayEvents(), std::vector<std::string>{"PlayEvent 0"});
    EXPECT_EQ(playback.playState(), PlayState_Playing);
    EXPECT_EQ(playback.currentStream(), &other);
}

TEST_F(PlayStateTest, StartingAnotherStreamWhilePausedResetsAndPlays) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    playback.Pause();
    Callbacks();
    audio.ClearCalls();
    playback.StartPlayAt(&other, 0.0f, 0);
    EXPECT_EQ(audio.summary(), "Reset");
    EXPECT_FALSE(audio.paused()); // a reset ends the pause
    EXPECT_EQ(playback.playState(), PlayState_Playing);
    EXPECT_EQ(PlayEvents(), std::vector<std::string>{"PlayEvent 0"});
}

TEST_F(PlayStateTest, ASeekOrRestartOfTheCurrentStreamWhilePausedStaysPaused) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    playback.Pause();
    Callbacks();
    audio.ClearCalls();
    playback.Seek(0.25f);
    EXPECT_EQ(audio.summary(), "Reset Pause");
    EXPECT_TRUE(audio.paused());
    EXPECT_EQ(playback.playState(), PlayState_Paused);
    EXPECT_EQ(Callbacks(), std::vector<std::string>{"PlayPos"}); // no play event
    EXPECT_FLOAT_EQ(positions.back(), 0.25f);

    audio.ClearCalls();
    playback.StartPlayAt(&stream, -1.0f, 60);
    EXPECT_EQ(audio.summary(), "Reset Pause");
    EXPECT_EQ(PlayEvents(), std::vector<std::string>{});
}

TEST_F(PlayStateTest, PauseAndContinueEachReportOnceWhenRepeated) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    Callbacks();
    audio.ClearCalls();
    playback.Pause();
    playback.Pause();
    EXPECT_EQ(PlayEvents(), std::vector<std::string>{"PlayEvent 2"});
    EXPECT_EQ(audio.summary(), "Pause");
    playback.Continue();
    playback.Continue();
    EXPECT_EQ(PlayEvents(), std::vector<std::string>{"PlayEvent 0"});
    EXPECT_EQ(audio.summary(), "Pause Restart");
    EXPECT_EQ(playback.playState(), PlayState_Playing);
}

TEST_F(PlayStateTest, PauseAndContinueBeforeAnyStartDoNothing) {
    playback.Pause();
    playback.Continue();
    EXPECT_EQ(playback.playState(), PlayState_Stopped);
    EXPECT_EQ(audio.summary(), "");
    EXPECT_TRUE(Callbacks().empty());
    playback.Seek(0.5f); // no current stream: ignored
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(Callbacks().empty());
}

TEST_F(PlayStateTest, ContinueWhilePlayingAndPauseWhilePausedChangeNothing) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    playback.Continue();
    EXPECT_EQ(playback.playState(), PlayState_Playing);
    playback.Pause();
    Callbacks();
    audio.ClearCalls();
    playback.Pause();
    EXPECT_EQ(playback.playState(), PlayState_Paused);
    EXPECT_EQ(audio.summary(), "");
    EXPECT_TRUE(Callbacks().empty());
}

TEST_F(PlayStateTest, AStartAtSecondsAsksForTheBytesOfThatTime) {
    playback.StartPlayAt(&stream, -1.0f, 600);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]->stationId, 1);
    EXPECT_EQ(requests[0]->streamId, 2);
    EXPECT_EQ(requests[0]->requestNumber, 1);
    EXPECT_EQ(requests[0]->startOffset, 9600000u);
    EXPECT_EQ(requests[0]->length, 524288);
    EXPECT_EQ(playback.receivedBytes(), 9600000u);
    EXPECT_EQ(playback.fedBytes(), 9600000u);
    EXPECT_EQ(playback.requestStatus(), MyMediaHandler::RequestStatus_Mp3RequestPending);
}

TEST_F(PlayStateTest, ASeekToTheEndAsksFromTheSizeInANewSeries) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    playback.Seek(1.0f);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]->startOffset, 0u);
    EXPECT_EQ(requests[1]->startOffset, 57600000u);
    EXPECT_EQ(requests[1]->requestNumber, 2);
    EXPECT_TRUE(playback.needDecodeStart());
}

TEST_F(PlayStateTest, AStartBySecondsOfAStreamWithoutDurationBeginsAtTheStart) {
    stream.duration = 0;
    playback.StartPlayAt(&stream, -1.0f, 600);
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0]->startOffset, 0u);
}

TEST_F(PlayStateTest, VolumeChangesWhileMutedAreOnlyStored) {
    EXPECT_EQ(audio.volume(), 0u); // silent until the first volume change
    playback.SetMute(true);
    EXPECT_EQ(audio.volume(), 0u);
    audio.ClearCalls();
    playback.SetVolume(0.4f, 0.0f);
    EXPECT_EQ(audio.summary(), "");
    playback.SetMute(false);
    EXPECT_EQ(audio.volume(), (26214u << 16) | 26214u);
    playback.SetVolume(1.0f, -0.5f);
    EXPECT_EQ(audio.volume(), (32767u << 16) | 65535u);
    playback.SetMute(true);
    EXPECT_EQ(audio.volume(), 0u);
}

TEST_F(PlayStateTest, AFailedResetIsReportedAndTheStartGoesOn) {
    playback.StartPlayAt(&stream, 0.0f, 0);
    audio.failReset = true;
    playback.Seek(0.5f);
    EXPECT_EQ(boxes.utf8(), std::vector<std::string>{"waveOutReset FAILED!"});
    EXPECT_EQ(playback.playState(), PlayState_Playing);
    EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(PlaybackTest, WithoutADeviceStartsAreReportedAndVolumeIsOnlyStored) {
    audio.failOpen = true;
    EXPECT_FALSE(playback.InitAudio(audio.Opener()));
    playback.StartPlayAt(&stream, 0.0f, 0);
    EXPECT_EQ(boxes.utf8(), std::vector<std::string>{"WaveOutHandle == NULL!"});
    EXPECT_EQ(boxes.captions(), std::vector<std::u16string>{u"Error!"});
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(playback.playState(), PlayState_Stopped);
    playback.SetVolume(0.5f, 0.0f);
    playback.SetMute(true);
    EXPECT_TRUE(playback.muted());
    EXPECT_FLOAT_EQ(playback.volume(), 0.5f);
}

TEST_F(PlaybackTest, EveryStartWithoutADeviceIsReportedAsAPlaybackFailureAfterItsBox) {
    audio.failOpen = true;
    EXPECT_FALSE(playback.InitAudio(audio.Opener()));
    playback.StartPlayAt(&stream, 0.0f, 0);
    playback.StartPlayAt(&other, 0.5f, 0);
    EXPECT_EQ(boxes.count(), 2u);
    EXPECT_EQ(Callbacks(), (std::vector<std::string>{"PlaybackFailure 1", "PlaybackFailure 1"}));
}

} // namespace
