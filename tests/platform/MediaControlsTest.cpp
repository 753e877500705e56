// The desktop's media controls on a private session bus, driven and read by playerctl as a desktop
// would: status, metadata, position and volume as published, and every command reaching the window.

#include "platform/MediaControls.h"
#include "platform/DesktopBusProbe.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace testsupport;
using platform::MediaCommand;

namespace {

constexpr std::uint32_t kCommandMessage = 1030;

platform::MediaState Playing() {
    platform::MediaState state;
    state.status = platform::PlaybackStatus::Playing;
    state.trackId = "1_2_3";
    state.artist = u"Artist \u00C4";
    state.title = u"Title";
    state.album = u"Radio One - Friday Mix";
    state.lengthMicroseconds = 3'600'000'000;
    state.positionMicroseconds = 90'500'000;
    state.volume = 0.25;
    state.canGoNext = state.canGoPrevious = state.canSeek = state.canPlay = state.canPause = true;
    return state;
}

class MediaControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started";
        int code = 0;
        RunTool({"sh", "-c", "command -v playerctl"}, &code);
        if (code != 0)
            GTEST_SKIP() << "playerctl is not installed";
        controls = platform::CreateMediaControls(&window, kCommandMessage);
        ASSERT_TRUE(controls->available());
    }
    std::string Playerctl(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"playerctl", "--player=vantri"});
        int code = 0;
        std::string out = RunTool(arguments, &code);
        EXPECT_EQ(code, 0) << out;
        if (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
    // The next command the window receives, with its argument.
    std::pair<MediaCommand, std::intptr_t> NextCommand() {
        platform::WindowMessage message;
        if (!window.Take(message, 5000))
            return {MediaCommand{}, 0};
        EXPECT_EQ(message.message, kCommandMessage);
        return {static_cast<MediaCommand>(message.wParam), message.lParam};
    }

    PrivateSessionBus bus;
    platform::MessageQueue window;
    std::unique_ptr<platform::MediaControls> controls;
};

TEST_F(MediaControlsTest, PlayerctlReadsWhatThePlayerPublished) {
    EXPECT_EQ(Playerctl({"status"}), "Stopped");
    controls->Publish(Playing());
    EXPECT_EQ(Playerctl({"status"}), "Playing");
    EXPECT_EQ(Playerctl({"metadata", "--format",
                         "{{artist}}|{{title}}|{{album}}|{{mpris:length}}|{{mpris:trackid}}"}),
              "Artist \xC3\x84|Title|Radio One - Friday Mix|3600000000|'/org/vantri/track/1_2_3'");
    EXPECT_EQ(Playerctl({"volume"}), "0.250000");

    // Paused, so that playerctl does not advance the position by the time since it read it.
    auto paused = Playing();
    paused.status = platform::PlaybackStatus::Paused;
    controls->Publish(paused);
    EXPECT_EQ(Playerctl({"status"}), "Paused");
    EXPECT_EQ(Playerctl({"position"}), "90.500000");
    paused.trackId.clear();
    controls->Publish(paused);
    EXPECT_EQ(Playerctl({"metadata", "--format", "{{mpris:trackid}}"}),
              "'/org/mpris/MediaPlayer2/TrackList/NoTrack'");
}

TEST_F(MediaControlsTest, EveryPlayerctlCommandReachesTheWindow) {
    controls->Publish(Playing());
    const struct {
        std::vector<std::string> arguments;
        MediaCommand command;
        std::intptr_t argument;
    } cases[] = {
        {{"play-pause"}, MediaCommand::PlayPause, 0},
        {{"play"}, MediaCommand::Play, 0},
        {{"pause"}, MediaCommand::Pause, 0},
        {{"stop"}, MediaCommand::Stop, 0},
        {{"next"}, MediaCommand::Next, 0},
        {{"previous"}, MediaCommand::Previous, 0},
        {{"position", "30"}, MediaCommand::SetPosition, 30'000'000},
        {{"position", "10+"}, MediaCommand::Seek, 10'000'000},
        {{"position", "5-"}, MediaCommand::Seek, -5'000'000},
        {{"volume", "0.5"}, MediaCommand::SetVolume, 500'000},
    };
    for (const auto& c : cases) {
        Playerctl(c.arguments);
        const auto [command, argument] = NextCommand();
        EXPECT_EQ(command, c.command) << c.arguments[0];
        EXPECT_EQ(argument, c.argument) << c.arguments[0];
    }
}

TEST_F(MediaControlsTest, AVolumeThatIsNoFiniteNumberIsRefused) {
    controls->Publish(Playing());
    for (const char* volume : {"nan", "inf", "-inf"}) {
        int code = 0;
        const std::string answer =
            RunTool({"dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.vantri",
                     "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Set",
                     "string:org.mpris.MediaPlayer2.Player", "string:Volume",
                     std::string("variant:double:") + volume},
                    &code);
        EXPECT_NE(code, 0) << volume << ": " << answer;
        EXPECT_NE(answer.find("InvalidArgs"), std::string::npos) << volume << ": " << answer;
    }
    // Nothing reached the window before the next command.
    Playerctl({"volume", "1.5"});
    EXPECT_EQ(NextCommand(), std::make_pair(MediaCommand::SetVolume, std::intptr_t{1'000'000}));
}

TEST_F(MediaControlsTest, PositionRequestsOutsideTheCurrentTrackOrWithoutSeekingAreIgnored) {
    auto state = Playing();
    state.canSeek = false;
    controls->Publish(state);
    // playerctl may refuse these itself; either way nothing must reach the window.
    RunTool({"playerctl", "--player=vantri", "position", "30"});
    RunTool({"playerctl", "--player=vantri", "position", "10+"});
    // Beyond the end of the stream.
    controls->Publish(Playing());
    RunTool({"playerctl", "--player=vantri", "position", "4000"});
    // A command that is answered shows that nothing came before it.
    Playerctl({"next"});
    EXPECT_EQ(NextCommand().first, MediaCommand::Next);
}

TEST_F(MediaControlsTest, ASessionBusThatWentAwayEndsTheControlsWithoutAWait) {
    EXPECT_EQ(Playerctl({"status"}), "Stopped");
    bus.End();
    ASSERT_TRUE(WaitFor([&] { return !controls->available(); }, std::chrono::seconds(10)));
    // Changes now go nowhere, and the controls end at once. They end on a thread of the test's own, so
    // that an end that waits for ever fails the test rather than hanging it.
    controls->Publish(Playing());
    controls->Seeked(5);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread ending([owned = std::move(controls), ended]() mutable {
        owned.reset();
        *ended = true;
    });
    const bool inTime = WaitFor([&] { return ended->load(); }, std::chrono::seconds(10));
    if (inTime)
        ending.join();
    else
        ending.detach();
    EXPECT_TRUE(inTime);
}

TEST_F(MediaControlsTest, WithoutASessionBusThereAreNoControls) {
    ScopedEnvironment none("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    auto unavailable = platform::CreateMediaControls(&window, kCommandMessage);
    EXPECT_FALSE(unavailable->available());
    unavailable->Publish(Playing());
    unavailable->Seeked(5);
}

} // namespace

namespace {

TEST_F(MediaControlsTest, DirectCallsRaiseAndQuitAndChangesAreAnnounced) {
    auto probe = platform::CreateDesktopBusProbe();
    ASSERT_TRUE(probe);
    const std::string service = "org.mpris.MediaPlayer2.vantri";
    const std::string path = "/org/mpris/MediaPlayer2";
    ASSERT_TRUE(probe->Call(service, path, "org.mpris.MediaPlayer2", "Raise"));
    EXPECT_EQ(NextCommand().first, MediaCommand::Raise);
    ASSERT_TRUE(probe->Call(service, path, "org.mpris.MediaPlayer2", "Quit"));
    EXPECT_EQ(NextCommand().first, MediaCommand::Quit);
    EXPECT_EQ(probe->StringProperty(service, path, "org.mpris.MediaPlayer2", "Identity"), "Vantri");
    EXPECT_EQ(probe->StringProperty(service, path, "org.mpris.MediaPlayer2", "DesktopEntry"), "vantri");

    ASSERT_TRUE(probe->WatchProperties(service, path));
    controls->Publish(Playing());
    ASSERT_TRUE(WaitFor([&] { return probe->PropertyChanges().size() == 1; }));
    auto changed = probe->PropertyChanges()[0];
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed, (std::vector<std::string>{"CanGoNext", "CanGoPrevious", "CanPause", "CanPlay",
                                                 "CanSeek", "Metadata", "PlaybackStatus", "Volume"}));
    // The position alone is not announced; the next change comes by itself.
    auto moved = Playing();
    moved.positionMicroseconds += 1'000'000;
    controls->Publish(moved);
    moved.volume = 0.75;
    controls->Publish(moved);
    ASSERT_TRUE(WaitFor([&] { return probe->PropertyChanges().size() == 2; }));
    EXPECT_EQ(probe->PropertyChanges()[1], std::vector<std::string>{"Volume"});
}

} // namespace
