// The console front end with the user's stream cache, end to end: once a show has played a while, its
// station server is stopped, and a seek back into the bytes already fetched still plays, exactly the
// decoded PCM of the server's bytes from there, since they come from the cache on the disk.
#include "console/MyConsoleSession.h"
#include "media/PlayPosition.h"
#include "net/MyNetworkHandler.h"
#include "platform/Terminal.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>

namespace {

using namespace std::chrono_literals;

constexpr std::size_t PcmBytes(double seconds) {
    return static_cast<std::size_t>(seconds * 44100) * 4;
}

TEST(StreamCacheEndToEnd, ASeekBackPlaysTheCachedBytesWithTheStationServerStopped) {
    constexpr std::uint32_t showSeconds = 40;
    const std::string path = testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures",
                                                      {44100, 2, static_cast<double>(showSeconds), 128});
    ASSERT_FALSE(path.empty());
    const auto mp3 = testsupport::ReadFileBytes(path);
    auto station =
        std::make_unique<testsupport::LoopbackStation>(testsupport::LoopbackShow{1, 7, path, showSeconds});
    ASSERT_TRUE(station->running());
    const std::uint64_t size = station->size;

    testsupport::ScratchFolder scratch;
    const std::string capture = (scratch.path() / "played.raw").string();
    testsupport::ScopedEnvironment cache("XDG_CACHE_HOME", (scratch.path() / "cache").string());
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", station->address());
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "disk");
    testsupport::ScopedEnvironment file("SDL_DISKAUDIOFILE", capture);
    // About nine times real time, so that the seek lands well inside the show.
    testsupport::ScopedEnvironment delay("SDL_DISKAUDIODELAY", "20");

    std::string error;
    std::vector<std::string_view> arguments{"--events", "vantri:stream-1-7"};
    auto options = ParseConsoleOptions(arguments, error);
    ASSERT_TRUE(options) << error;
    auto session = std::make_unique<MyConsoleSession>(
        *options, [](const std::string&) {}, false);
    ASSERT_TRUE(session->Start());
    auto pumpUntil = [&](auto condition) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            session->Pump(10);
        }
        return true;
    };
    ASSERT_TRUE(pumpUntil([&] { return session->console().tracker().playSecond >= 14; }));
    ASSERT_NE(session->network().streamCache(), nullptr);
    ASSERT_TRUE(std::filesystem::exists(scratch.path() / "cache" / "Vantri" / "streams"));

    station.reset();
    const std::int32_t seekSecond = session->console().tracker().playSecond - 10;
    ASSERT_GT(seekSecond, 0);
    session->HandleKey(platform::TerminalKey_Left);
    ASSERT_TRUE(pumpUntil([&] {
        const std::int32_t at = session->console().tracker().playSecond;
        return at >= seekSecond + 3 && at < seekSecond + 8;
    }));
    session.reset();
    const auto played = testsupport::WithoutSilentFrames(testsupport::ReadFileBytes(capture));

    const float fraction = static_cast<float>(static_cast<double>(seekSecond) / showSeconds);
    const auto expected =
        testsupport::WithoutSilentFrames(testsupport::ReferenceDecode(mp3, OffsetOfFraction(fraction, size)));
    auto start = std::search(played.begin(), played.end(), expected.begin(), expected.begin() + 4096);
    ASSERT_NE(start, played.end()) << "the seek's sound was played";
    const std::size_t rest = static_cast<std::size_t>(played.end() - start);
    EXPECT_GE(rest, PcmBytes(2.0));
    ASSERT_LE(rest, expected.size());
    EXPECT_TRUE(std::equal(start, played.end(), expected.begin()));
}

// Keeps the show through the console's network thread, then plays it in a new session with its server
// (the directory's too) stopped: the station, the track list, the chat and every byte come from the copy.
TEST(StreamCacheEndToEnd, AKeptShowPlaysAndSeeksWithItsServersStopped) {
    constexpr std::uint32_t showSeconds = 30;
    const std::string path = testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures",
                                                      {44100, 2, static_cast<double>(showSeconds), 128});
    ASSERT_FALSE(path.empty());
    const auto mp3 = testsupport::ReadFileBytes(path);
    auto station =
        std::make_unique<testsupport::LoopbackStation>(testsupport::LoopbackShow{1, 7, path, showSeconds});
    ASSERT_TRUE(station->running());
    const std::uint64_t size = station->size;
    const std::string address = station->address();

    testsupport::ScratchFolder scratch;
    const std::string capture = (scratch.path() / "played.raw").string();
    const std::filesystem::path streams = scratch.path() / "cache" / "Vantri" / "streams";
    testsupport::ScopedEnvironment cache("XDG_CACHE_HOME", (scratch.path() / "cache").string());
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", address);
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "disk");
    testsupport::ScopedEnvironment file("SDL_DISKAUDIOFILE", capture);
    testsupport::ScopedEnvironment delay("SDL_DISKAUDIODELAY", "20");
    std::mutex lock;
    std::vector<std::string> lines;
    auto session = [&](std::vector<std::string_view> arguments) {
        std::string error;
        auto options = ParseConsoleOptions(arguments, error);
        EXPECT_TRUE(options) << error;
        auto made = std::make_unique<MyConsoleSession>(
            *options,
            [&](const std::string& line) {
                std::lock_guard guard(lock);
                lines.push_back(line);
            },
            false);
        EXPECT_TRUE(made->Start());
        return made;
    };
    auto pumpUntil = [](MyConsoleSession& running, auto condition) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            running.Pump(10);
        }
        return true;
    };
    auto hasLine = [&](const std::string& line) {
        std::lock_guard guard(lock);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    // Whole once the chat, the last part kept, is in.
    auto keptWhole = [&] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(streams, error))
            if (std::filesystem::exists(entry.path() / "chat.records"))
                return true;
        return false;
    };
    {
        auto first = session({"--events", "--seconds", "1", "vantri:stream-1-7"});
        ASSERT_TRUE(pumpUntil(*first, [&] { return hasLine("StreamInfo 1 7 2"); }));
        StreamInfoData show;
        show.stationId = 1;
        show.streamId = 7;
        show.startTime = 1700000000;
        show.duration = showSeconds;
        show.size = size;
        show.streamType = 1;
        show.hasChat = true;
        show.text1 = u"Tone show";
        first->network().KeepShow(show, u"Loopback FM");
        ASSERT_TRUE(pumpUntil(*first, keptWhole));
    }
    station.reset();
    std::filesystem::remove(capture);
    {
        std::lock_guard guard(lock);
        lines.clear();
    }

    auto offline = session({"--events", "vantri:track-1-7-5"});
    ASSERT_TRUE(pumpUntil(*offline, [&] { return offline->console().tracker().playSecond >= 12; }));
    EXPECT_TRUE(hasLine("StationInfo 1 Loopback FM"));
    EXPECT_TRUE(hasLine("StreamInfo 1 7 2")) << "the kept track list";
    EXPECT_TRUE(hasLine("StreamChat 1 7 2")) << "the kept chat";
    const std::int32_t seekSecond = offline->console().tracker().playSecond - 10;
    offline->HandleKey(platform::TerminalKey_Left);
    ASSERT_TRUE(pumpUntil(*offline, [&] {
        const std::int32_t at = offline->console().tracker().playSecond;
        return at >= seekSecond + 3 && at < seekSecond + 8;
    }));
    offline.reset();
    const auto played = testsupport::WithoutSilentFrames(testsupport::ReadFileBytes(capture));

    // The start at 5 seconds, then the seek back: each the exact decoded sound of the server's bytes.
    const auto fromStart = testsupport::WithoutSilentFrames(
        testsupport::ReferenceDecode(mp3, StartOffsetOf(-1.0f, 5, showSeconds, size)));
    ASSERT_GE(played.size(), PcmBytes(4.0));
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + PcmBytes(2.0), fromStart.begin()));
    const float fraction = static_cast<float>(static_cast<double>(seekSecond) / showSeconds);
    const auto fromSeek =
        testsupport::WithoutSilentFrames(testsupport::ReferenceDecode(mp3, OffsetOfFraction(fraction, size)));
    auto start =
        std::search(played.begin() + PcmBytes(2.0), played.end(), fromSeek.begin(), fromSeek.begin() + 4096);
    ASSERT_NE(start, played.end()) << "the seek's sound was played";
    const std::size_t rest = static_cast<std::size_t>(played.end() - start);
    EXPECT_GE(rest, PcmBytes(2.0));
    ASSERT_LE(rest, fromSeek.size());
    EXPECT_TRUE(std::equal(start, played.end(), fromSeek.begin()));
}

} // namespace
