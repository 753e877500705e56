// The console front end: its command line, and how it turns callbacks into lines and keys into requests.
#include "console/ConsoleOptions.h"
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "console/MyConsole.h"
#include "platform/Terminal.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;

std::optional<ConsoleOptions> Parse(std::vector<std::string_view> arguments, std::string* error = nullptr) {
    std::string ignored;
    return ParseConsoleOptions(arguments, error ? *error : ignored);
}

TEST(ConsoleOptions, ReadsEventsSecondsAndAnyLinkForm) {
    auto options = Parse({"--events", "--seconds", "2.5", "vantri:track-1-2-w4"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->events);
    EXPECT_DOUBLE_EQ(*options->seconds, 2.5);
    EXPECT_EQ(*options->link, (ParsedLink{1, 2, 3600}));
    EXPECT_EQ(*Parse({"http://example.org/stream-5-7"})->link, (ParsedLink{5, 7, 0}));
    EXPECT_EQ(*Parse({"station:3"})->link, (ParsedLink{3, 0, 0}));
    options = Parse({});
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->link || options->events || options->seconds);
}

TEST(ConsoleOptions, RefusesWhatItCannotUse) {
    std::string error;
    EXPECT_FALSE(Parse({"--seconds"}, &error));
    EXPECT_NE(error.find("--seconds"), std::string::npos);
    EXPECT_FALSE(Parse({"--seconds", "-1"}));
    EXPECT_FALSE(Parse({"--seconds", "5s"}));
    EXPECT_FALSE(Parse({"--seconds", "nan"}));
    EXPECT_FALSE(Parse({"--loud"}));
    EXPECT_FALSE(Parse({"vantri:track-1-2"}, &error)); // a track link needs three numbers
    EXPECT_NE(error.find("not a link"), std::string::npos);
    EXPECT_FALSE(Parse({"stream-1-2", "stream-3-4"}));
}

class RecordingMedia : public ConsoleMediaControl {
public:
    void StartPlayStream(std::int32_t stationId, std::int32_t streamId, std::uint32_t seconds) override {
        calls.push_back("start " + std::to_string(stationId) + " " + std::to_string(streamId) + " " +
                        std::to_string(seconds));
    }
    void SetPlayPos(float position) override {
        char text[32];
        std::snprintf(text, sizeof text, "seek %.4f", position);
        calls.push_back(text);
    }
    void Pause() override { calls.push_back("pause"); }
    void Continue() override { calls.push_back("continue"); }
    std::vector<std::string> calls;
};

class ConsoleTest : public ::testing::Test {
protected:
    void Make(std::vector<std::string_view> arguments, bool colour = false) {
        auto options = Parse(arguments);
        ASSERT_TRUE(options);
        console = std::make_unique<MyConsole>(
            &context, *options, &media, [this](const std::string& line) { lines.push_back(line); }, colour);
        auto station = std::make_unique<StationInfoData>(1);
        station->name = u"Radio Ö";
        for (int id : {2, 3}) {
            auto stream = std::make_unique<StreamInfoData>();
            stream->stationId = 1;
            stream->streamId = id;
            stream->duration = 1000;
            stream->size = 16000000;
            stream->startTime = id == 2 ? 1700000000 : 1600000000;
            stream->text1 = u"Show " + std::u16string(1, static_cast<char16_t>(u'0' + id));
            station->StoreStream(std::move(stream));
        }
        this->station = std::move(station);
        tracks = {TrackInfo{0, 0, 0, false, u"Intro", u"Host"},
                  TrackInfo{100, 0, 0, false, u"Song", u"Band"}};
        rows.emplace_back(5, StreamChatRowKind_Message, std::vector<std::u16string_view>{u"A", u"hi"});
        rows.emplace_back(12, StreamChatRowKind_Join, std::vector<std::u16string_view>{u"B"});
    }

    template <typename Message, typename... Args> void Send(Args... args) {
        console->HandleCallback(std::make_unique<Message>(args...), now);
    }
    const StreamInfoData* Stream(int id) { return station->streams.at(id).get(); }
    void Position(float seconds) {
        Send<MyCallbacks::MyMainWindowMessage_PlayPosCallback>(seconds / 1000.0f);
    }

    // The station arrives, the console starts the stream, and the media thread answers as it would.
    void StartPlaying(int streamId) {
        Send<MyCallbacks::MyMainWindowMessage_StationInfoCallback>(station.get());
        Send<MyCallbacks::MyMainWindowMessage_StreamInfoCallback>(station.get(), Stream(streamId),
                                                                  static_cast<const TrackInfoList*>(&tracks));
        Send<MyCallbacks::MyMainWindowMessage_StreamChatCallback>(
            Stream(streamId), static_cast<const StreamChatRowList*>(&rows));
        Send<MyCallbacks::MyMainWindowMessage_PlayEventCallback>(0);
    }

    MyAppContext context;
    RecordingMedia media;
    std::vector<std::string> lines;
    std::unique_ptr<MyConsole> console;
    std::unique_ptr<StationInfoData> station;
    TrackInfoList tracks;
    StreamChatRowList rows;
    MyConsole::Clock::time_point now = MyConsole::Clock::now();
};

TEST_F(ConsoleTest, EventsModePrintsOneLinePerCallback) {
    Make({"--events", "vantri:track-1-3-1C"});
    StartPlaying(3);
    Send<MyCallbacks::MyMainWindowMessage_PlayPosCallback>(0.25f);
    Send<MyCallbacks::MyMainWindowMessage_StreamInfoCallback>(station.get(), Stream(3), nullptr);
    Send<MyCallbacks::MyMainWindowMessage_NewApplicationVersionCallback>(20u);
    console->ErrorBox(u"receiveBufferPos >= sizeof(receiveBuffer)!\r\n\r\n(file: NetworkPackets, row: 12)");
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "StationInfo 1 Radio Ö",
                  "StreamInfo 1 3 2",
                  "StreamChat 1 3 2",
                  "PlayEvent 0",
                  "PlayPos 0.250000",
                  "StreamInfo 1 3 none",
                  "NewApplicationVersion 20",
                  "ErrorBox receiveBufferPos >= sizeof(receiveBuffer)!\\n\\n(file: NetworkPackets, row: 12)",
              }));
    EXPECT_EQ(media.calls, std::vector<std::string>{"start 1 3 74"});
    EXPECT_TRUE(context.startLink.empty());
}

TEST_F(ConsoleTest, ShowsNowPlayingThenTracksAndChatLinesAsPlaybackReachesThem) {
    Make({"stream-1-2"});
    StartPlaying(2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Now playing: Radio Ö - 2023-11-1", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" - Show 2 (0:16:40)"), std::string::npos);
    lines.clear();
    Position(4);
    EXPECT_EQ(lines, std::vector<std::string>{"Track 0:00:00  Intro - Host"});
    lines.clear();
    Position(6);
    Position(7);
    EXPECT_EQ(lines, std::vector<std::string>{"[0:00:05] <A> hi"});
    lines.clear();
    Position(101);
    EXPECT_EQ(lines,
              std::vector<std::string>{"Track 0:01:40  Song - Band"}); // the join at 12 s is far behind
    lines.clear();
    Position(3); // back before both rows: they show again when reached
    Position(13);
    EXPECT_EQ(lines, (std::vector<std::string>{"Track 0:00:00  Intro - Host", "[0:00:05] <A> hi",
                                               "[0:00:12] B has joined"}));
}

TEST_F(ConsoleTest, ChatLinesAreColouredOnATerminal) {
    Make({"stream-1-2"}, true);
    StartPlaying(2);
    lines.clear();
    Position(13);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "\x1b[38;2;255;255;0m[0:00:05] <A> hi\x1b[0m");
    EXPECT_EQ(lines[2], "\x1b[38;2;0;255;0m[0:00:12] B has joined\x1b[0m");
}

TEST_F(ConsoleTest, WithoutALinkTheNewestStreamPlaysOnceStationsStopArriving) {
    Make({});
    Send<MyCallbacks::MyMainWindowMessage_StationInfoCallback>(station.get());
    console->Tick(now + 100ms);
    EXPECT_TRUE(media.calls.empty());
    console->Tick(now + MyConsole::kStationQuietTime);
    EXPECT_EQ(media.calls, std::vector<std::string>{"start 1 2 0"});
    console->Tick(now + 10s);
    EXPECT_EQ(media.calls.size(), 1u);
}

TEST_F(ConsoleTest, WithoutAnyStationTheRunEndsAsFailed) {
    Make({"--events"});
    console->Tick(now);
    console->Tick(now + MyConsole::kDirectoryTimeout - 1ms);
    EXPECT_FALSE(console->finished());
    console->Tick(now + MyConsole::kDirectoryTimeout);
    EXPECT_TRUE(console->finished() && console->failed());
    EXPECT_EQ(lines, std::vector<std::string>{"ErrorBox no station information arrived"});
}

TEST_F(ConsoleTest, AStationLinkPlaysThatStationsNewestStream) {
    Make({"vantri:station-1"});
    Send<MyCallbacks::MyMainWindowMessage_StationInfoCallback>(station.get());
    EXPECT_EQ(media.calls, std::vector<std::string>{"start 1 2 0"});
}

TEST_F(ConsoleTest, KeysPauseContinueSeekAndJumpTracks) {
    Make({"stream-1-2"});
    StartPlaying(2);
    Position(50);
    media.calls.clear();
    console->HandleKey(' ');
    Send<MyCallbacks::MyMainWindowMessage_PlayEventCallback>(2);
    console->HandleKey(' ');
    console->HandleKey(platform::TerminalKey_Right);
    console->HandleKey(platform::TerminalKey_Left);
    console->HandleKey('n');
    console->HandleKey('p');
    EXPECT_EQ(media.calls, (std::vector<std::string>{"pause", "continue", "seek 0.0600", "seek 0.0400",
                                                     "seek 0.1000", "seek 0.0000"}));
    Position(5);
    media.calls.clear();
    console->HandleKey(platform::TerminalKey_Left); // not before the start
    EXPECT_EQ(media.calls, std::vector<std::string>{"seek 0.0000"});
    EXPECT_FALSE(console->finished());
    console->HandleKey('q');
    EXPECT_TRUE(console->finished());
}

TEST_F(ConsoleTest, SecondsEndThePlayOnceThePositionIsThatFarPastTheStart) {
    Make({"--seconds", "3", "vantri:track-1-2-A"}); // starts at 10 s
    StartPlaying(2);
    Position(12.5f);
    EXPECT_FALSE(console->finished());
    Position(13.01f);
    EXPECT_TRUE(console->finished());
}

TEST_F(ConsoleTest, AnswersForAnotherStreamAreOnlyPrinted) {
    Make({"--events", "stream-1-2"});
    StartPlaying(2);
    Send<MyCallbacks::MyMainWindowMessage_StreamChatCallback>(Stream(3), nullptr);
    Position(6);
    EXPECT_EQ(console->tracker().chatIndex, 0); // the chat rows of stream 2 stay
}

} // namespace
