// Arbitrary stream data through the decoder and the output, with seeks, pauses and returned buffers in
// between. Each step takes one control byte: below 200 a block of (c × 20 + 1) bytes of data follows;
// 200-219 the device hands its oldest buffer back; 220-229 a seek to the next byte / 255; 230-239 pause;
// 240-249 continue; otherwise the request finishes.
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyPlayback.h"
#include "net/CatalogueRecords.h"
#include "platform/Audio.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace {

class QuietBoxes : public platform::MessageBoxSink {
public:
    platform::MessageBoxResult Show(const std::u16string&, const std::u16string&,
                                    platform::MessageBoxButtons) override {
        return platform::MessageBoxResult::Ok;
    }
};

// Plays nothing; hands buffers back when told, and all of them on a reset.
class FuzzDevice : public platform::WaveOutDevice {
public:
    explicit FuzzDevice(platform::WaveOutCallback callback) : callback_(std::move(callback)) {}
    bool Prepare(platform::WaveHeader* header) override {
        header->flags |= platform::WaveHeaderFlag_Prepared;
        return header->bufferLength % 4 == 0;
    }
    bool Write(platform::WaveHeader* header) override {
        header->flags |= platform::WaveHeaderFlag_InQueue;
        queue_.push_back(header);
        return true;
    }
    bool Unprepare(platform::WaveHeader* header) override {
        header->flags &= ~platform::WaveHeaderFlag_Prepared;
        return true;
    }
    bool Reset() override {
        while (HandBack()) {
        }
        return true;
    }
    bool Pause() override { return true; }
    bool Restart() override { return true; }
    bool SetVolume(std::uint32_t) override { return true; }
    void Close() override { queue_.clear(); }
    bool HandBack() {
        if (queue_.empty())
            return false;
        platform::WaveHeader* header = queue_.front();
        queue_.pop_front();
        header->flags &= ~platform::WaveHeaderFlag_InQueue;
        callback_(header);
        return true;
    }

private:
    platform::WaveOutCallback callback_;
    std::deque<platform::WaveHeader*> queue_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietBoxes boxes;
    platform::SetMessageBoxSink(&boxes);
    MyAppContext context;
    MyCallbacks callbacks(&context);
    MyPlayback playback(&callbacks, [](std::unique_ptr<MyMessageBase>) {});
    FuzzDevice* device = nullptr;
    std::deque<platform::WaveHeader*> returned;
    playback.InitAudio(
        [&](platform::WaveOutCallback callback) {
            auto made = std::make_unique<FuzzDevice>(std::move(callback));
            device = made.get();
            return made;
        },
        [&](platform::WaveHeader* header) { returned.push_back(header); });
    StreamInfoData stream;
    stream.stationId = 1;
    stream.streamId = 1;
    stream.duration = 60;
    stream.size = 1000000;
    playback.StartPlayAt(&stream, 0.0f, 0);

    auto handleReturned = [&] {
        while (!returned.empty()) {
            platform::WaveHeader* header = returned.front();
            returned.pop_front();
            playback.ReturnUsedWaveHeader(header);
        }
    };
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control < 200) {
            auto block = std::make_unique<Mp3DataBlock>();
            const std::size_t count = std::min<std::size_t>(control * 20u + 1u, size - at);
            std::memcpy(block->data, data + at, count);
            block->fill = static_cast<std::uint16_t>(count);
            at += count;
            playback.AddMp3Data(std::move(block), playback.requestTag(), false);
        } else if (control < 220) {
            device->HandBack();
        } else if (control < 230) {
            const float position = at < size ? data[at++] / 255.0f : 0.0f;
            playback.Seek(position);
        } else if (control < 240) {
            playback.Pause();
        } else if (control < 250) {
            playback.Continue();
        } else {
            playback.AddMp3Data(nullptr, playback.requestTag(), true);
        }
        handleReturned();
    }
    while (device->HandBack())
        handleReturned();
    platform::SetMessageBoxSink(nullptr);
    return 0;
}
