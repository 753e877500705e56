// Arbitrary stream data through the decoder and the output, with seeks, pauses and returned buffers in
// between. Each step takes one control byte: below 200 a block of (c × 20 + 1) bytes of data follows;
// 200-219 the device hands its oldest buffer back; 220-229 a seek to the next byte / 255; 230-239 pause;
// 240-249 continue; otherwise the request finishes.
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandlerMessages.h"
#include "platform/Audio.h"
#include "platform/MessageBox.h"
#include "records/CatalogueRecords.h"

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

// The media thread, its messages handled on the calling thread, requests dropped, returned headers kept.
class FuzzMedia : public MyMediaHandler {
public:
    explicit FuzzMedia(MyAppContext* context) : MyMediaHandler(context) {
        auto station = std::make_unique<StationInfoData>(1);
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = 1;
        stream->streamId = 1;
        stream->duration = 60;
        stream->size = 1000000;
        station->StoreStream(std::move(stream));
        stationStore[1] = std::move(station);
    }
    using MyMediaHandler::InitAudio;
    using MyMediaHandler::requestTag;
    void Handle(std::unique_ptr<MyMessageBase> message) { HandleMessage(message.get()); }
    std::deque<platform::WaveHeader*> returned;

protected:
    void SendToNetworkThread(std::unique_ptr<MyNetworkHandlerMessage>) override {}
    void WaveOutDone(platform::WaveHeader* header) override { returned.push_back(header); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietBoxes boxes;
    platform::SetMessageBoxSink(&boxes);
    MyAppContext context;
    FuzzMedia media(&context);
    FuzzDevice* device = nullptr;
    media.SetWaveOutOpener([&](platform::WaveOutCallback callback) {
        auto made = std::make_unique<FuzzDevice>(std::move(callback));
        device = made.get();
        return made;
    });
    media.InitAudio();
    media.Handle(std::make_unique<MyMediaHandlerMessage_SetVolume>(1.0f, 0.0f));
    media.Handle(std::make_unique<MyMediaHandlerMessage_StartPlayStream>(1, 1, 0.0f, 0u));

    auto handleReturned = [&] {
        while (!media.returned.empty()) {
            platform::WaveHeader* header = media.returned.front();
            media.returned.pop_front();
            media.Handle(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(header));
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
            media.Handle(std::make_unique<MyMediaHandlerMessage_AddMp3Data>(std::move(block),
                                                                            media.requestTag, false));
        } else if (control < 220) {
            device->HandBack();
        } else if (control < 230) {
            const float position = at < size ? data[at++] / 255.0f : 0.0f;
            media.Handle(std::make_unique<MyMediaHandlerMessage_SetPlayPos>(position));
        } else if (control < 240) {
            media.Handle(std::make_unique<MyMediaHandlerMessage_Pause>());
        } else if (control < 250) {
            media.Handle(std::make_unique<MyMediaHandlerMessage_Continue>());
        } else {
            media.Handle(std::make_unique<MyMediaHandlerMessage_AddMp3Data>(nullptr, media.requestTag, true));
        }
        handleReturned();
    }
    while (device->HandBack())
        handleReturned();
    platform::SetMessageBoxSink(nullptr);
    return 0;
}
