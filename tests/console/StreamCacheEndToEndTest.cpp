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

} // namespace
