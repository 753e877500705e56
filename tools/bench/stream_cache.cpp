// Stream cache figures, printed: the time from a seek back into bytes already fetched (answered from the
// cache on the disk) to the first buffer of the new position written to the device, against a seek that
// goes to the station server over loopback; and the heap the cache's index takes for a full cache.
//
//   bench_stream_cache
#include "TimingDevice.h"
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "heap/HeapCount.h"
#include "media/MyMediaHandler.h"
#include "media/PlayPosition.h"
#include "net/KeptShow.h"
#include "net/MyNetworkHandler.h"
#include "platform/Audio.h"
#include "platform/Paths.h"
#include "platform/PostTarget.h"
#include "platform/Utf.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr double kShowSeconds = 600;

using benchdevice::TimingDevice;

void PrintMilliseconds(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty() || values.front() < 0) {
        std::printf("%s: no buffer arrived\n", what);
        return;
    }
    std::printf("%s: median %.2f ms, max %.2f ms over %zu runs (goal: under 20 ms)\n", what,
                values[values.size() / 2], values.back(), values.size());
}

void MeasureSeeks(const testsupport::LoopbackStation& station, const std::vector<std::uint8_t>& mp3,
                  const std::u16string& cacheFolder, int rounds) {
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", station.address());
    MyAppContext context;
    platform::MessageQueue window;
    MyCallbacks callbacks(&context);
    context.mainWindowHandle = &window;
    context.callbacks = &callbacks;
    MyNetworkHandler network(&context);
    network.SetStreamCache(std::make_unique<StreamCache>(cacheFolder));
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
    bool stationArrived = false;
    const auto deadline = Clock::now() + 5s;
    while (!stationArrived && Clock::now() < deadline) {
        platform::WindowMessage message;
        if (window.Take(message, 50))
            stationArrived =
                MyCallbacks::Receive(message.wParam)->type == MyCallbacks::MessageType_StationInfo;
    }
    // Milliseconds from a seek to `fraction` to the first buffer written that begins as a decoder started
    // there begins; negative when none came within two seconds.
    auto seek = [&](float fraction) {
        const std::size_t offset = OffsetOfFraction(fraction, station.size);
        const std::size_t end = std::min(mp3.size(), offset + 65536);
        const auto head = testsupport::ReferenceDecode(
            std::vector<std::uint8_t>(mp3.begin() + static_cast<std::ptrdiff_t>(offset),
                                      mp3.begin() + static_cast<std::ptrdiff_t>(end)));
        std::unique_lock guard(lock);
        std::size_t checked = writes.size();
        const auto from = Clock::now();
        media.SetPlayPos(fraction);
        const auto until = Clock::now() + 2s;
        for (;;) {
            for (; checked < writes.size(); ++checked) {
                const auto& write = writes[checked];
                if (write.head.size() >= 16 && std::equal(write.head.begin(), write.head.end(), head.begin()))
                    return std::chrono::duration<double, std::milli>(write.at - from).count();
            }
            if (changed.wait_until(guard, until) == std::cv_status::timeout && checked == writes.size())
                return -1.0;
        }
    };
    std::vector<double> fromServer;
    std::vector<double> fromCache;
    if (!stationArrived) {
        std::fprintf(stderr, "the station did not arrive\n");
    } else {
        media.StartPlayStream(1, 7, 0u);
        for (int round = 0; round < rounds; ++round) {
            // A place not fetched yet, then a seek back to it once the player has moved on.
            const float fraction = 0.05f + 0.9f * static_cast<float>(round) / static_cast<float>(rounds);
            fromServer.push_back(seek(fraction));
            seek(fraction > 0.5f ? 0.02f : 0.98f);
            fromCache.push_back(seek(fraction + 0.0001f));
        }
    }
    network.Stop();
    network.WaitForEnd(5000);
    media.Stop();
    media.WaitForEnd(5000);
    platform::WindowMessage message;
    while (window.Take(message, 0))
        MyCallbacks::Receive(message.wParam);
    PrintMilliseconds("Seek to a place not fetched yet, to its first buffer written (station server)",
                      fromServer);
    PrintMilliseconds("Seek back into bytes already fetched, to its first buffer written (stream cache)",
                      fromCache);
}

// The heap the index of a cache folder holding `pieces` pieces of `pieceBytes` takes once loaded. The
// files are made sparse: the index is built from their names and sizes.
void MeasureIndex(const fs::path& folder, int streams, int piecesPerStream, std::uint32_t pieceBytes) {
    for (int s = 0; s < streams; ++s) {
        const fs::path stream = folder / ("1-" + std::to_string(s) + "-0123456789abcdef");
        fs::create_directories(stream);
        for (int p = 0; p < piecesPerStream; ++p) {
            const fs::path file = stream / (std::to_string(std::uint64_t{pieceBytes} * p) + ".piece");
            std::ofstream(file, std::ios::binary).put('\0');
            fs::resize_file(file, StreamCache::kHeaderBytes + pieceBytes);
        }
    }
    const long long before = benchheap::liveBytes.load();
    StreamCache cache(folder.u16string(), std::uint64_t{1} << 62);
    const std::size_t count = cache.piecesHeld();
    const long long after = benchheap::liveBytes.load();
    std::printf(
        "Index of %zu pieces in %d streams (%.1f GiB of stream bytes): %.1f KiB of heap, %.0f bytes a "
        "piece\n",
        count, streams, static_cast<double>(cache.bytesHeld()) / (1 << 30),
        static_cast<double>(after - before) / 1024, static_cast<double>(after - before) / count);
}

// The heap the index of `shows` kept shows of `piecesPerShow` pieces of 1 MiB takes once loaded: the
// cache's own index and the network thread's entries of the shows (read from their show.txt).
void MeasureKeptIndex(const fs::path& folder, int shows, int piecesPerShow) {
    for (int s = 0; s < shows; ++s) {
        KeptShow show;
        show.station.stationId = 1 + s % 20;
        show.station.name = u"Station of the archive";
        show.station.host = "radio.example.org";
        show.station.basePath = "/station/" + std::to_string(show.station.stationId) + "/";
        show.streamId = 1000 + s;
        show.duration = 3600;
        show.size = std::uint64_t{StreamCache::kMaxPieceBytes} * piecesPerShow;
        show.hasChat = true;
        show.text1 = u"A show title of some length";
        show.text2 = u"Its host";
        show.text3 = u"House";
        const fs::path stream =
            folder / fs::path(StreamCache::StreamName(show.station, show.station.stationId, show.streamId));
        fs::create_directories(stream);
        std::ofstream(stream / "kept", std::ios::binary);
        std::ofstream(stream / "show.txt", std::ios::binary) << show.Encode();
        for (int p = 0; p < piecesPerShow; ++p) {
            const fs::path file =
                stream / (std::to_string(std::uint64_t{StreamCache::kMaxPieceBytes} * p) + ".piece");
            std::ofstream(file, std::ios::binary).put('\0');
            fs::resize_file(file, StreamCache::kHeaderBytes + StreamCache::kMaxPieceBytes);
        }
    }
    const long long before = benchheap::liveBytes.load();
    StreamCache cache(folder.u16string());
    std::map<std::pair<std::int32_t, std::int32_t>, KeptShow> entries;
    for (const std::u16string& stream : cache.KeptStreams()) {
        std::vector<std::uint8_t> bytes;
        if (!cache.GetFile(stream, u"show.txt", bytes))
            continue;
        if (auto show =
                KeptShow::Decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
            entries.emplace(std::make_pair(show->station.stationId, show->streamId), std::move(*show));
    }
    const long long after = benchheap::liveBytes.load();
    std::printf(
        "Index of %zu kept shows (%zu pieces of 1 MiB, %.1f GiB): %.1f KiB of heap, %.0f bytes a show\n",
        entries.size(), cache.piecesHeld(),
        static_cast<double>(cache.piecesHeld()) * StreamCache::kMaxPieceBytes / (1 << 30),
        static_cast<double>(after - before) / 1024,
        static_cast<double>(after - before) / std::max<std::size_t>(1, entries.size()));
}

} // namespace

int main() {
    const fs::path self = Utf16ToUtf8(platform::OwnExecutablePath());
    const std::string fixtures = (self.parent_path() / "bench-fixtures").string();
    const std::string show = testsupport::MakeToneMp3(fixtures, {44100, 2, kShowSeconds, 128});
    if (show.empty()) {
        std::fprintf(stderr, "could not make the show with sox and lame\n");
        return 1;
    }
    const auto mp3 = testsupport::ReadFileBytes(show);
    testsupport::LoopbackStation station(
        testsupport::LoopbackShow{1, 7, show, static_cast<std::uint32_t>(kShowSeconds)});
    if (!station.running()) {
        std::fprintf(stderr, "the station server did not start\n");
        return 1;
    }
    testsupport::ScratchFolder scratch;
    MeasureSeeks(station, mp3, (scratch.path() / "seeks").u16string(), 20);
    // A full cache at the default limit: 2 GiB in windows of 512 KiB.
    MeasureIndex(scratch.path() / "full", 64, 64, 524288);
    // A thousand kept shows of an hour at 128 kbit/s (about 56 MiB each).
    MeasureKeptIndex(scratch.path() / "kept", 1000, 56);
    return 0;
}
