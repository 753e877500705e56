// Playback figures, printed: the CPU time vantri-console spends playing ten minutes of a 128 kbit/s show
// through SDL's unthrottled disk driver against libmpg123 decoding the same file alone; its peak resident
// memory against the mpg123 program's; and, in this process, the time from a start and from a seek to the
// first buffer of the new audio written to the device, over loopback.
//
//   bench_playback [path of vantri-console]
#include "TimingDevice.h"
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyMediaHandler.h"
#include "media/PlayPosition.h"
#include "net/MyNetworkHandler.h"
#include "platform/Audio.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/PostTarget.h"
#include "platform/Utf.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kShowSeconds = 600;

// CPU seconds libmpg123 needs to decode `mp3` to 44,100 Hz 16-bit stereo, configured as the player
// configures it, into one quarter-second buffer used over and over.
double DecodeOnlyCpuSeconds(const std::vector<std::uint8_t>& mp3) {
    const double before = platform::ProcessCpuSeconds();
    mpg123_init();
    int error = 0;
    mpg123_pars* pars = mpg123_new_pars(&error);
    mpg123_par(pars, MPG123_ADD_FLAGS, MPG123_GAPLESS, 0);
    mpg123_fmt_none(pars);
    mpg123_fmt(pars, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_handle* handle = mpg123_parnew(pars, nullptr, &error);
    mpg123_delete_pars(pars);
    if (!handle)
        return 0;
    mpg123_open_feed(handle);
    std::vector<std::uint8_t> buffer(44100);
    std::size_t total = 0;
    for (std::size_t offset = 0; offset < mp3.size(); offset += 4096) {
        mpg123_feed(handle, mp3.data() + offset, std::min<std::size_t>(4096, mp3.size() - offset));
        for (;;) {
            std::size_t done = 0;
            const int answer = mpg123_read(handle, buffer.data(), buffer.size(), &done);
            total += done;
            if (answer != MPG123_OK && answer != MPG123_NEW_FORMAT)
                break;
        }
    }
    mpg123_delete(handle);
    const double after = platform::ProcessCpuSeconds();
    if (total == 0)
        std::fprintf(stderr, "decoding gave no audio\n");
    return after - before;
}

using benchdevice::TimingDevice;

struct Latencies {
    std::vector<double> start; // milliseconds
    std::vector<double> seek;
};

// Milliseconds from `from` to the first write at or after index `firstIndex` whose data begins with
// `head`; negative when none came within two seconds.
double WaitForWrite(std::vector<TimingDevice::WriteRecord>& writes, std::mutex& lock,
                    std::condition_variable& changed, std::size_t firstIndex,
                    const std::vector<std::uint8_t>& head, Clock::time_point from) {
    std::unique_lock guard(lock);
    std::size_t checked = firstIndex;
    const auto deadline = Clock::now() + 2s;
    for (;;) {
        for (; checked < writes.size(); ++checked) {
            const auto& write = writes[checked];
            if (write.head.size() >= 16 && std::equal(write.head.begin(), write.head.end(), head.begin()))
                return std::chrono::duration<double, std::milli>(write.at - from).count();
        }
        if (changed.wait_until(guard, deadline) == std::cv_status::timeout && checked == writes.size())
            return -1;
    }
}

Latencies MeasureLatencies(const testsupport::LoopbackStation& station, const std::vector<std::uint8_t>& mp3,
                           int rounds) {
    Latencies result;
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", station.address());
    MyAppContext context;
    platform::MessageQueue window;
    MyCallbacks callbacks(&context);
    context.mainWindowHandle = &window;
    context.callbacks = &callbacks;
    MyNetworkHandler network(&context);
    MyMediaHandler media(&context);
    context.networkHandler = &network;
    context.mediaHandler = &media;
    std::vector<TimingDevice::WriteRecord> writes;
    std::mutex lock;
    std::condition_variable changed;
    media.SetWaveOutOpener(
        [&](platform::WaveOutCallback callback) -> std::unique_ptr<platform::WaveOutDevice> {
            auto inner = platform::OpenSystemWaveOut(std::move(callback));
            if (!inner)
                return nullptr;
            return std::make_unique<TimingDevice>(std::move(inner), &writes, &lock, &changed);
        });
    network.Start();
    media.Start();
    media.SetVolume(1.0f, 0.0f);
    network.GetStationsConnectionData();
    // The station's information must be in the media thread's store before a start can find it.
    bool stationArrived = false;
    const auto deadline = Clock::now() + 5s;
    while (!stationArrived && Clock::now() < deadline) {
        platform::WindowMessage message;
        if (window.Take(message, 50))
            stationArrived =
                MyCallbacks::Receive(message.wParam)->type == MyCallbacks::MessageType_StationInfo;
    }
    if (!stationArrived) {
        std::fprintf(stderr, "the station did not arrive\n");
    } else {
        // The first bytes that a decoder started at `offset` gives.
        auto headAt = [&](std::size_t offset) {
            const std::size_t end = std::min(mp3.size(), offset + 65536);
            return testsupport::ReferenceDecode(
                std::vector<std::uint8_t>(mp3.begin() + static_cast<std::ptrdiff_t>(offset),
                                          mp3.begin() + static_cast<std::ptrdiff_t>(end)));
        };
        const auto startHead = headAt(0);
        for (int round = 0; round < rounds; ++round) {
            std::size_t index;
            {
                std::lock_guard guard(lock);
                index = writes.size();
            }
            const auto from = Clock::now();
            media.StartPlayStream(1, 7 + (round % 2), 0u); // alternate streams: each is a fresh start
            result.start.push_back(WaitForWrite(writes, lock, changed, index, startHead, from));

            const float fraction = 0.25f + 0.5f * static_cast<float>(round) / static_cast<float>(rounds);
            const auto seekHead = headAt(OffsetOfFraction(fraction, station.size));
            {
                std::lock_guard guard(lock);
                index = writes.size();
            }
            const auto seekFrom = Clock::now();
            media.SetPlayPos(fraction);
            result.seek.push_back(WaitForWrite(writes, lock, changed, index, seekHead, seekFrom));
        }
    }
    network.Stop();
    network.WaitForEnd(5000);
    media.Stop();
    media.WaitForEnd(5000);
    platform::WindowMessage message;
    while (window.Take(message, 0))
        MyCallbacks::Receive(message.wParam);
    return result;
}

void PrintMilliseconds(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty() || values.front() < 0) {
        std::printf("%s: no buffer arrived\n", what);
        return;
    }
    std::printf("%s: median %.2f ms, max %.2f ms over %zu runs (goal: under 20 ms)\n", what,
                values[values.size() / 2], values.back(), values.size());
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path self = Utf16ToUtf8(platform::OwnExecutablePath());
    const std::string console =
        argc > 1 ? argv[1] : (self.parent_path().parent_path() / "vantri-console").string();
    const std::string fixtures = (self.parent_path() / "bench-fixtures").string();

    const std::string show = testsupport::MakeToneMp3(fixtures, {44100, 2, kShowSeconds, 128});
    if (show.empty()) {
        std::fprintf(stderr, "could not make the show with sox and lame\n");
        return 1;
    }
    const auto mp3 = testsupport::ReadFileBytes(show);
    // Two streams of the same recording, so that the latency runs can start a different stream each time.
    testsupport::LoopbackStation station(testsupport::LoopbackShow{
        1, 7, show, static_cast<std::uint32_t>(kShowSeconds), 1700000000, false, 2});
    if (!station.running()) {
        std::fprintf(stderr, "the station server did not start\n");
        return 1;
    }

    const auto played = platform::RunChildProcess(
        {console, "--seconds", std::to_string(kShowSeconds - 2), "vantri:stream-1-7"},
        {{"VANTRI_DIRECTORY", station.address()},
         {"SDL_AUDIODRIVER", "disk"},
         {"SDL_DISKAUDIOFILE", "/dev/null"},
         {"SDL_DISKAUDIODELAY", "0"}},
        "/dev/null", true);
    const double decodeOnly = DecodeOnlyCpuSeconds(mp3);
    if (!played.started || played.exitCode != 0) {
        std::fprintf(stderr, "%s did not run (exit code %d)\n", console.c_str(), played.exitCode);
        return 1;
    }
    const double consoleCpu = played.userSeconds + played.systemSeconds;
    std::printf("CPU to play %.0f s of a 128 kbit/s show: vantri-console %.3f s (user %.3f, system %.3f), "
                "libmpg123 alone %.3f s, ratio %.2f (goal: at most 1.3)\n",
                kShowSeconds, consoleCpu, played.userSeconds, played.systemSeconds, decodeOnly,
                decodeOnly > 0 ? consoleCpu / decodeOnly : 0.0);

    const auto reference = platform::RunChildProcess({"mpg123", "-q", "-o", "dummy", show}, {}, "/dev/null");
    if (reference.started && reference.exitCode == 0)
        std::printf("CPU of the mpg123 program decoding the same file to its dummy output: %.3f s\n",
                    reference.userSeconds + reference.systemSeconds);
    if (reference.started && reference.exitCode == 0)
        std::printf(
            "Peak resident memory: vantri-console %ld KiB, mpg123 %ld KiB, ratio %.2f (goal: under 2)\n",
            played.peakResidentKilobytes, reference.peakResidentKilobytes,
            static_cast<double>(played.peakResidentKilobytes) / reference.peakResidentKilobytes);
    else
        std::printf("Peak resident memory: vantri-console %ld KiB; mpg123 did not run\n",
                    played.peakResidentKilobytes);

    const Latencies latencies = MeasureLatencies(station, mp3, 20);
    PrintMilliseconds("StartPlayStream to the first buffer written", latencies.start);
    PrintMilliseconds("Seek to the first buffer of the new position written", latencies.seek);
    return 0;
}
