// Playback speed figures, printed: the CPU time the media thread's playback side spends playing ten minutes
// of a 128 kbit/s stereo show (pink noise, as hard on the stretcher as music) at 1x, where the decoded PCM
// goes to the device as it is, and at 1.5x and 2x through the stretcher; per minute of the show and per
// second of listening, and as a ratio to 1x. The playback side runs on this thread against a device that
// hands every buffer back at once, so nothing waits and only the work is counted.
//
//   bench_play_speed [seconds of show, default 600]
#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "platform/ChildProcess.h"
#include "support/Mp3Fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Keeps the written headers until the benchmark hands them back.
class InstantDevice : public platform::WaveOutDevice {
public:
    explicit InstantDevice(std::deque<platform::WaveHeader*>& queue) : queue_(queue) {}
    bool Prepare(platform::WaveHeader* header) override {
        header->flags = platform::WaveHeaderFlag_Prepared;
        return true;
    }
    bool Write(platform::WaveHeader* header) override {
        header->flags = (header->flags & ~platform::WaveHeaderFlag_Done) | platform::WaveHeaderFlag_InQueue;
        queue_.push_back(header);
        return true;
    }
    bool Unprepare(platform::WaveHeader* header) override {
        header->flags &= ~platform::WaveHeaderFlag_Prepared;
        return true;
    }
    bool Reset() override { return true; }
    bool Pause() override { return true; }
    bool Restart() override { return true; }
    bool SetVolume(std::uint32_t) override { return true; }
    void Close() override {}

private:
    std::deque<platform::WaveHeader*>& queue_;
};

// The playback side driven message by message on this thread.
class BenchMedia : public MyMediaHandler {
public:
    using MyMediaHandler::MyMediaHandler;

    // Plays `mp3` whole at `tenths`; answers the CPU seconds it took and the seconds of sound made.
    std::pair<double, double> Play(const std::vector<std::uint8_t>& mp3, std::uint32_t seconds,
                                   std::int32_t tenths) {
        SetWaveOutOpener(
            [this](platform::WaveOutCallback) { return std::make_unique<InstantDevice>(written); });
        InitAudio();
        auto station = std::make_unique<StationInfoData>(1);
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = 1;
        stream->streamId = tenths;
        stream->duration = seconds;
        stream->size = mp3.size();
        station->StoreStream(std::move(stream));
        stationStore[1] = std::move(station);

        const double before = platform::ProcessCpuSeconds();
        Handle(std::make_unique<MyMediaHandlerMessage_SetPlaySpeed>(tenths));
        Handle(std::make_unique<MyMediaHandlerMessage_StartPlayStream>(1, tenths, 0.0f, 0u));
        double soundBytes = 0;
        for (std::size_t offset = 0; offset < mp3.size(); offset += Mp3DataBlock::kCapacity) {
            auto block = std::make_unique<Mp3DataBlock>();
            const std::size_t n = std::min(Mp3DataBlock::kCapacity, mp3.size() - offset);
            std::memcpy(block->data, mp3.data() + offset, n);
            block->fill = static_cast<std::uint16_t>(n);
            Handle(std::make_unique<MyMediaHandlerMessage_AddMp3Data>(std::move(block), requestTag,
                                                                      offset + n >= mp3.size()));
            // The device plays whatever it holds once the queue is long enough to keep it busy.
            while (!written.empty() && mp3Queue.size() < 8) {
                platform::WaveHeader* header = written.front();
                written.pop_front();
                soundBytes += header->bufferLength;
                header->flags =
                    (header->flags & ~platform::WaveHeaderFlag_InQueue) | platform::WaveHeaderFlag_Done;
                Handle(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(header));
            }
        }
        while (!written.empty()) {
            platform::WaveHeader* header = written.front();
            written.pop_front();
            soundBytes += header->bufferLength;
            header->flags =
                (header->flags & ~platform::WaveHeaderFlag_InQueue) | platform::WaveHeaderFlag_Done;
            Handle(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(header));
        }
        const double cpu = platform::ProcessCpuSeconds() - before;
        OnThreadStop();
        return {cpu, soundBytes / (44100.0 * 4)};
    }

protected:
    void SendToNetworkThread(std::unique_ptr<MyNetworkHandlerMessage>) override {}
    void WaveOutDone(platform::WaveHeader*) override {}

private:
    void Handle(std::unique_ptr<MyMessageBase> message) { HandleMessage(message.get()); }

    std::deque<platform::WaveHeader*> written;
};

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    const std::string folder = (std::filesystem::temp_directory_path() / "vantri-bench-fixtures").string();
    std::filesystem::create_directories(folder);
    const std::string path = testsupport::MakeNoiseMp3(folder, {44100, 2, seconds, 128});
    if (path.empty()) {
        std::fprintf(stderr, "sox or lame failed\n");
        return 1;
    }
    const std::vector<std::uint8_t> mp3 = testsupport::ReadFileBytes(path);
    std::printf("show: %.0f s of stereo pink noise at 128 kbit/s, %zu bytes\n", seconds, mp3.size());
    std::printf("%-6s %8s %16s %16s %14s %16s\n", "speed", "CPU s", "CPU ms/show-min", "CPU ms/listen-s",
                "vs 1x, show", "vs 1x, listening");
    double base = 0;
    double basePerSound = 0;
    for (std::int32_t tenths : {10, 15, 20}) {
        MyAppContext context;
        BenchMedia media(&context);
        Mp3DecoderLibraryInit();
        const auto [cpu, sound] = media.Play(mp3, static_cast<std::uint32_t>(seconds), tenths);
        const double perSound = sound > 0 ? cpu / sound : 0.0;
        if (tenths == 10) {
            base = cpu;
            basePerSound = perSound;
        }
        std::printf("%4.1fx  %8.3f %16.2f %16.3f %13.2fx %15.2fx\n", tenths / 10.0, cpu,
                    cpu * 1000 / (seconds / 60), perSound * 1000, base > 0 ? cpu / base : 0.0,
                    basePerSound > 0 ? perSound / basePerSound : 0.0);
    }
    return 0;
}
