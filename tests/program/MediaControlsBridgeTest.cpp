// The main window as the desktop's media controls see it: status, the current track as metadata, the
// position and volume, only real changes published, jumps announced; and the desktop's volume and
// position commands taking the window's own paths.

#include "program/MediaControlsBridge.h"
#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "program/MainWindow.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

using platform::MediaCommand;
using platform::PlaybackStatus;

namespace {

// Records what the bridge publishes.
class RecordingControls : public platform::MediaControls {
public:
    bool available() const override { return true; }
    void Publish(const platform::MediaState& state) override { published.push_back(state); }
    void Seeked(std::int64_t position) override { seeked.push_back(position); }

    std::vector<platform::MediaState> published;
    std::vector<std::int64_t> seeked;
};

class MediaControlsBridgeTest : public ::testing::Test {
protected:
    MediaControlsBridgeTest() : settings(scratch.text()), window(&context) {
        context.settings = &settings;
        settings.volume = 0.5f;
        station.name = u"Radio One";
        stream.stationId = 1;
        stream.streamId = 2;
        stream.duration = 600;
        stream.text1 = u"Friday Mix";
        tracks = std::make_unique<TrackInfoList>();
        tracks->push_back({0, 0, 0, false, u"DJ", u"Welcome"});
        tracks->push_back({60, 0, 0, false, u"Artist A", u"First Song"});
        auto controls = std::make_unique<RecordingControls>();
        recording = controls.get();
        bridge = std::make_unique<MediaControlsBridge>(window, std::move(controls));
    }
    void Play(std::int32_t trackIndex, float position) {
        window.stationId = 1;
        window.streamId = 2;
        window.currentStation = &station;
        window.currentStream = &stream;
        window.trackList = std::make_unique<TrackInfoList>(*tracks);
        window.trackIndex = trackIndex;
        window.playPosition = position;
        window.playState = 1;
    }

    testsupport::ScratchFolder scratch;
    MyAppContext context;
    MySettings settings;
    MainWindow window;
    StationInfoData station{1};
    StreamInfoData stream;
    std::unique_ptr<TrackInfoList> tracks;
    RecordingControls* recording = nullptr;
    std::unique_ptr<MediaControlsBridge> bridge;
};

TEST_F(MediaControlsBridgeTest, NothingPlayingIsStoppedWithoutATrack) {
    ASSERT_EQ(recording->published.size(), 1u);
    const auto& state = recording->published[0];
    EXPECT_EQ(state.status, PlaybackStatus::Stopped);
    EXPECT_TRUE(state.trackId.empty());
    EXPECT_FALSE(state.canSeek);
    EXPECT_FLOAT_EQ(static_cast<float>(state.volume), 0.5f);
}

TEST_F(MediaControlsBridgeTest, TheCurrentTrackIsTheMetadataAndOnlyChangesArePublished) {
    Play(1, 0.25f);
    bridge->Update();
    ASSERT_EQ(recording->published.size(), 2u);
    const auto state = recording->published[1];
    EXPECT_EQ(state.status, PlaybackStatus::Playing);
    EXPECT_EQ(state.trackId, "1_2_1");
    EXPECT_EQ(state.artist, u"Artist A");
    EXPECT_EQ(state.title, u"First Song");
    EXPECT_EQ(state.album, u"Radio One - Friday Mix");
    EXPECT_EQ(state.lengthMicroseconds, 600'000'000);
    EXPECT_EQ(state.positionMicroseconds, 150'000'000);
    EXPECT_TRUE(state.canGoNext && state.canGoPrevious && state.canSeek);

    bridge->Update();
    EXPECT_EQ(recording->published.size(), 2u);

    // A second later: published, no jump. A minute later: a jump the desktop hears of.
    window.playPosition = 0.25f + 1.0f / 600;
    bridge->Update();
    EXPECT_TRUE(recording->seeked.empty());
    window.playPosition = 0.5f;
    bridge->Update();
    EXPECT_EQ(recording->seeked, std::vector<std::int64_t>{300'000'000});

    window.playState = 2;
    bridge->Update();
    EXPECT_EQ(recording->published.back().status, PlaybackStatus::Paused);
}

TEST_F(MediaControlsBridgeTest, BeforeTheFirstTrackTheShowIsTheTitle) {
    Play(-1, 0.0f);
    bridge->Update();
    const auto& state = recording->published.back();
    EXPECT_EQ(state.trackId, "1_2");
    EXPECT_EQ(state.artist, u"Radio One");
    EXPECT_EQ(state.title, u"Friday Mix");
}

TEST_F(MediaControlsBridgeTest, TheDesktopsVolumeIsTheSettingsVolume) {
    bridge->HandleCommand(static_cast<std::uintptr_t>(MediaCommand::SetVolume), 250'000);
    EXPECT_FLOAT_EQ(settings.volume, 0.25f);
    EXPECT_FLOAT_EQ(static_cast<float>(recording->published.back().volume), 0.25f);
    MySettings reloaded(scratch.text());
    EXPECT_FLOAT_EQ(reloaded.volume, 0.25f);
    bridge->HandleCommand(static_cast<std::uintptr_t>(MediaCommand::SetVolume), 5'000'000);
    EXPECT_FLOAT_EQ(settings.volume, 1.0f);
}

} // namespace
