// A twenty-minute show played at full speed through a proxy that breaks the stream-data connections
// every few seconds (resets, early closes, stalls, late first bytes, trickles) and fails name lookups,
// with two seeks on the way. What the device played must be the recording's decode, section by section:
// nothing lost, nothing played twice, nothing of the old position after a seek, and the run ends.
#include "console/MyConsoleSession.h"
#include "media/MyMediaHandler.h"
#include "media/PlayPosition.h"
#include "net/MyNetworkHandler.h"
#include "platform/Terminal.h"
#include "support/FaultProxy.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kShowSeconds = 20 * 60;

constexpr std::size_t Frames(double seconds) {
    return static_cast<std::size_t>(seconds * 44100);
}

// PCM as 32-bit stereo frames without the silent ones (both samples 0), which a starved device writes.
// Done on whole frames, since hundreds of megabytes go through here, also in unoptimised sanitizer builds.
std::vector<std::uint32_t> AudibleFrames(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::uint32_t> frames(pcm.size() / 4);
    if (frames.empty())
        return frames;
    std::memcpy(frames.data(), pcm.data(), frames.size() * 4);
    std::uint32_t* const first = frames.data();
    std::uint32_t* kept = first;
    for (const std::uint32_t *p = first, *end = first + frames.size(); p != end; ++p)
        if (*p != 0)
            *kept++ = *p;
    frames.resize(static_cast<std::size_t>(kept - first));
    return frames;
}

// Where `needle` (its first `count` frames) first occurs in `frames` from `from` on; frames.size() if
// nowhere.
std::size_t Find(const std::vector<std::uint32_t>& frames, std::size_t from,
                 const std::vector<std::uint32_t>& needle, std::size_t count) {
    if (needle.size() < count || frames.size() < count)
        return frames.size();
    const std::uint32_t* data = frames.data();
    for (std::size_t i = from; i + count <= frames.size(); ++i)
        if (data[i] == needle[0] && std::memcmp(data + i, needle.data(), count * 4) == 0)
            return i;
    return frames.size();
}

TEST(SoakTest, ATwentyMinuteShowPlaysExactlyThroughFaultsEveryFewSeconds) {
    const auto started = std::chrono::steady_clock::now();
    const std::string path = testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures",
                                                      {44100, 2, static_cast<double>(kShowSeconds), 128});
    ASSERT_FALSE(path.empty());
    const auto mp3 = testsupport::ReadFileBytes(path);

    testsupport::FaultPlan plan;
    plan.seed = 14;
    plan.faultShare = 0.7;
    // The first windows meet one fault of every kind, in order; later ones are drawn.
    plan.script = {testsupport::Fault::Reset, testsupport::Fault::CloseEarly, testsupport::Fault::Stall,
                   testsupport::Fault::DelayFirstByte, testsupport::Fault::Trickle};
    plan.failLookupsFrom = 8; // the catalogue's lookups come first and go through
    plan.failLookupsEvery = 5;
    testsupport::FaultProxy proxy(plan);
    ASSERT_TRUE(proxy.listening());
    testsupport::LoopbackShow show{1, 7, path, kShowSeconds};
    show.publicPort = proxy.port(); // station requests go through the proxy as well
    testsupport::LoopbackStation station(show);
    ASSERT_TRUE(station.running());
    proxy.SetUpstream(station.port());

    const std::string capture = std::string(VANTRI_BINARY_DIR) + "/soak.raw";
    std::filesystem::remove(capture);
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", proxy.address());
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "disk");
    testsupport::ScopedEnvironment file("SDL_DISKAUDIOFILE", capture);
    testsupport::ScopedEnvironment delay("SDL_DISKAUDIODELAY", "0");

    std::string error;
    const std::vector<std::string_view> arguments{"vantri:stream-1-7"};
    auto options = ParseConsoleOptions(arguments, error);
    ASSERT_TRUE(options) << error;
    std::size_t errorLines = 0;
    auto session = std::make_unique<MyConsoleSession>(
        *options, [&](const std::string& line) { errorLines += line.rfind("Error: ", 0) == 0 ? 1 : 0; },
        false);
    session->network().SetResolver(proxy.resolver());
    MyNetworkHandler::Timeouts timeouts;
    timeouts.connect = 2000ms;
    timeouts.streamIdle = 1500ms; // longer stalls end the exchange, shorter ones are waited out
    timeouts.catalogueIdle = 10000ms;
    session->network().SetTimeouts(timeouts);
    const auto playStarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(session->Start());

    const auto deadline = std::chrono::steady_clock::now() + 4min;
    auto pumpUntil = [&](auto condition) {
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            session->Pump(10);
        }
        return true;
    };
    std::vector<std::size_t> seekOffsets;
    for (std::int32_t at : {300, 700}) {
        ASSERT_TRUE(pumpUntil([&] { return session->console().tracker().playSecond >= at; })) << at;
        const std::int32_t target = session->console().tracker().playSecond + MyConsole::kSeekStepSeconds;
        session->HandleKey(platform::TerminalKey_Right);
        seekOffsets.push_back(
            OffsetOfFraction(static_cast<float>(static_cast<double>(target) / kShowSeconds), station.size));
    }
    ASSERT_TRUE(pumpUntil([&] { return session->finished(); })) << "the run ends";
    EXPECT_FALSE(session->failed());
    const std::uint32_t retries = session->media().retriesMade();
    session.reset();
    const double playing =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - playStarted).count();

    const auto played = AudibleFrames(testsupport::ReadFileBytes(capture));
    std::filesystem::remove(capture);
    std::vector<std::vector<std::uint32_t>> sections;
    sections.push_back(AudibleFrames(testsupport::ReferenceDecode(mp3, 0)));
    for (std::size_t offset : seekOffsets)
        sections.push_back(AudibleFrames(testsupport::ReferenceDecode(mp3, offset)));

    // Each section begins where its seek's first bytes decode to and follows the decode exactly.
    bool equal = true;
    std::size_t at = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        std::size_t end = played.size();
        if (i + 1 < sections.size()) {
            end = Find(played, at, sections[i + 1], 1024);
            ASSERT_NE(end, played.size()) << "section " << i + 1 << " was played";
        }
        const std::size_t length = end - at;
        ASSERT_LE(length, sections[i].size()) << i;
        const bool same = length == 0 || std::memcmp(played.data() + at, sections[i].data(), length * 4) == 0;
        EXPECT_TRUE(same) << "section " << i;
        equal = equal && same;
        if (i + 1 == sections.size()) // played to the end, but for the device's last buffers
            EXPECT_GE(length + Frames(2.0), sections[i].size());
        else
            EXPECT_GE(length, Frames(200)) << i;
        at = end;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "soak: %zu stream connections, %zu faults injected (%zu resets, %zu early closes, %zu stalls, "
        "%zu late first bytes, %zu trickles, %zu failed lookups), %u retries, %zu error lines, PCM "
        "equal: %s, playing %.1f s, wall time %.1f s\n",
        proxy.streamConnections(), proxy.faultsInjected(), proxy.faults(testsupport::Fault::Reset),
        proxy.faults(testsupport::Fault::CloseEarly), proxy.faults(testsupport::Fault::Stall),
        proxy.faults(testsupport::Fault::DelayFirstByte), proxy.faults(testsupport::Fault::Trickle),
        proxy.failedLookups(), retries, errorLines, equal ? "yes" : "no", playing, wall);
    EXPECT_GE(proxy.faultsInjected(), 20u);
    EXPECT_GE(retries, 1u);
}

} // namespace
