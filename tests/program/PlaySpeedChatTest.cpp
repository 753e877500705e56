// The chat replay at twice the speed: the real media thread's playback side plays a show on the scripted
// device, and its positions drive the main window, which reaches each chat row when the show's second of
// the row is played, after half that time of sound.
#include "ProgramFixture.h"

#include "media/PlaybackFixture.h"
#include "media/TimeStretcher.h"
#include "platform/PostTarget.h"

namespace programtest {
namespace {

constexpr double kBytesPerSecond = 44100.0 * 4;

class PlaySpeedChatTest : public ProgramFixture {
protected:
    PlaySpeedChatTest() {
        mediaContext.mainWindowHandle = &mediaWindow;
        mediaContext.callbacks = &mediaCallbacks;
        probe.onSend = [](std::unique_ptr<MyNetworkHandlerMessage>) {};
        probe.onWaveOutDone = [this](platform::WaveHeader* header) { returned.push_back(header); };
    }

    // Bytes of sound the device has played: the buffers it handed back, in writing order.
    std::size_t HeardBytes() const {
        const auto writes = audio.calls(testsupport::AudioCallKind::Write);
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < writes.size() - audio.queued(); ++i)
            bytes += writes[i].value;
        return bytes;
    }

    // The media thread's positions, handed to the window as its callback messages would be.
    void DeliverPositions() {
        platform::WindowMessage message;
        while (mediaWindow.Take(message, 0)) {
            auto received = MyCallbacks::Receive(message.wParam);
            if (received->type == MyCallbacks::MessageType_PlayPos)
                main().OnPlayPos(
                    static_cast<MyCallbacks::MyMainWindowMessage_PlayPosCallback&>(*received).position);
        }
    }

    MyAppContext mediaContext;
    platform::MessageQueue mediaWindow;
    MyCallbacks mediaCallbacks{&mediaContext};
    testsupport::ScriptedAudio audio;
    std::vector<platform::WaveHeader*> returned;
    mediatest::PlaybackProbe probe{&mediaContext};
    mediatest::PlaybackDriver driver{probe};
};

TEST_F(PlaySpeedChatTest, AtTwiceTheSpeedEachChatRowComesAtItsShowSecondAfterHalfItsTime) {
    if (!TimeStretcher::Available())
        GTEST_SKIP() << "built without librubberband: the speed stays 1x";
    const std::string path =
        testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {44100, 2, 60.0, 128});
    ASSERT_FALSE(path.empty()) << "sox or lame failed";
    const std::vector<std::uint8_t> mp3 = testsupport::ReadFileBytes(path);

    auto station = std::make_unique<StationInfoData>(1);
    auto made = std::make_unique<StreamInfoData>();
    made->stationId = 1;
    made->streamId = 7;
    made->duration = 60;
    made->size = mp3.size();
    made->hasChat = true;
    auto tracks = std::make_unique<TrackInfoList>();
    tracks->push_back(TrackInfo{});
    made->SetTrackList(std::move(tracks));
    auto rows = std::make_unique<StreamChatRowList>();
    for (std::int32_t second : {10, 30, 50})
        rows->emplace_back(second, 1, std::vector<std::u16string_view>{u"anna", u"hello"});
    made->SetChatRows(std::move(rows));
    station->StoreStream(std::move(made));
    const StationInfoData* stationRecord = station.get();
    probe.stationStore[1] = std::move(station);
    const StreamInfoData* stream = stationRecord->streams.at(7).get();

    Start();
    main().PlayLink(1, 7, 0);
    main().OnStreamInfo(stationRecord, stream, stream->trackList());
    main().OnStreamChat(stream, stream->chatRows());
    main().SetPlaySpeed(20);
    EXPECT_EQ(media.WaitForLines(2).back(), "SetPlaySpeed 20");

    ASSERT_TRUE(driver.InitAudio(audio.Opener()));
    driver.SetPlaySpeed(20);
    driver.StartPlayAt(stream, 0.0f, 0);
    for (std::size_t offset = 0; offset < mp3.size(); offset += Mp3DataBlock::kCapacity)
        driver.AddMp3Data(mediatest::BlockOf(mp3, offset), driver.requestTag(),
                          offset + Mp3DataBlock::kCapacity >= mp3.size());

    // Seconds of sound played when the window first showed each chat row.
    std::vector<double> reachedAt;
    std::int32_t lastIndex = main().chatIndex;
    while (audio.CompleteNext()) {
        for (platform::WaveHeader* header : std::exchange(returned, {}))
            driver.ReturnUsedWaveHeader(header);
        DeliverPositions();
        if (main().chatIndex != lastIndex) {
            lastIndex = main().chatIndex;
            reachedAt.push_back(static_cast<double>(HeardBytes()) / kBytesPerSecond);
        }
    }
    ASSERT_EQ(reachedAt.size(), 3u);
    // A position comes with each block fed, about four a second of the show: two a second of sound.
    EXPECT_NEAR(reachedAt[0], 5.0, 0.6);
    EXPECT_NEAR(reachedAt[1], 15.0, 0.6);
    EXPECT_NEAR(reachedAt[2], 25.0, 0.6);
    EXPECT_EQ(main().chatIndex, 2);
}

} // namespace
} // namespace programtest
