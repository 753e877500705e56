#pragma once
// The media thread's playback side under test, its messages handled on the test thread: the scripted
// device, a window queue that collects the callbacks, and the requests to the network thread recorded.
// Headers the device hands back wait in `returned` until the test lets the thread handle their messages.

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandlerMessages.h"
#include "platform/PostTarget.h"
#include "records/CatalogueRecords.h"
#include "support/Mp3Fixtures.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedAudioDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mediatest {

// The folder the tests' generated sound files are kept in, made when missing (a fresh build has none).
inline std::string FixtureDirectory() {
    const std::string folder = std::string(VANTRI_BINARY_DIR) + "/fixtures";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

inline std::unique_ptr<Mp3DataBlock> BlockOf(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    auto block = std::make_unique<Mp3DataBlock>();
    const std::size_t count =
        offset < bytes.size() ? std::min(Mp3DataBlock::kCapacity, bytes.size() - offset) : 0;
    if (count)
        std::memcpy(block->data, bytes.data() + offset, count);
    block->fill = static_cast<std::uint16_t>(count);
    return block;
}

// A media thread with its state opened up, whose requests and device returns the test sees.
class PlaybackProbe : public MyMediaHandler {
public:
    using MyMediaHandler::MyMediaHandler;

    using MyMediaHandler::currentStream;
    using MyMediaHandler::DecodeAndSubmit;
    using MyMediaHandler::fedBytes;
    using MyMediaHandler::headersInFlight;
    using MyMediaHandler::InitAudio;
    using MyMediaHandler::leveller;
    using MyMediaHandler::mp3Queue;
    using MyMediaHandler::muted;
    using MyMediaHandler::needDecodeStart;
    using MyMediaHandler::playState;
    using MyMediaHandler::receivedBytes;
    using MyMediaHandler::requestStatus;
    using MyMediaHandler::requestTag;
    using MyMediaHandler::speedTenths;
    using MyMediaHandler::stationStore;
    using MyMediaHandler::stretcher;
    using MyMediaHandler::volume;
    using MyMediaHandler::waveOut;

    std::function<void(std::unique_ptr<MyNetworkHandlerMessage>)> onSend;
    std::function<void(platform::WaveHeader*)> onWaveOutDone;

protected:
    void SendToNetworkThread(std::unique_ptr<MyNetworkHandlerMessage> message) override {
        onSend(std::move(message));
    }
    void WaveOutDone(platform::WaveHeader* header) override { onWaveOutDone(header); }
};

// The playback side's operations as messages handled at once.
class PlaybackDriver {
public:
    explicit PlaybackDriver(PlaybackProbe& media) : media_(media) {}

    bool InitAudio(platform::WaveOutOpener opener) {
        media_.SetWaveOutOpener(std::move(opener));
        return media_.InitAudio();
    }
    void StartPlayAt(const StreamInfoData* stream, float startFraction, std::uint32_t startSeconds) {
        Handle(std::make_unique<MyMediaHandlerMessage_StartPlayStream>(stream->stationId, stream->streamId,
                                                                       startFraction, startSeconds));
    }
    void Seek(float position) { Handle(std::make_unique<MyMediaHandlerMessage_SetPlayPos>(position)); }
    void Pause() { Handle(std::make_unique<MyMediaHandlerMessage_Pause>()); }
    void Continue() { Handle(std::make_unique<MyMediaHandlerMessage_Continue>()); }
    void SetVolume(float volume, float balance) {
        Handle(std::make_unique<MyMediaHandlerMessage_SetVolume>(volume, balance));
    }
    void SetMute(bool muted) { Handle(std::make_unique<MyMediaHandlerMessage_SetMute>(muted)); }
    void SetPlaySpeed(std::int32_t tenths) {
        Handle(std::make_unique<MyMediaHandlerMessage_SetPlaySpeed>(tenths));
    }
    void ReturnUsedWaveHeader(platform::WaveHeader* header) {
        Handle(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(header));
    }
    void AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag, bool requestFinished) {
        Handle(std::make_unique<MyMediaHandlerMessage_AddMp3Data>(std::move(block), tag, requestFinished));
    }
    void CloseAudio() { media_.OnThreadStop(); }

    PlayState playState() const { return media_.playState; }
    const StreamInfoData* currentStream() const { return media_.currentStream; }
    std::int32_t requestTag() const { return media_.requestTag; }
    MyMediaHandler::Mp3RequestStatus requestStatus() const { return media_.requestStatus; }
    bool needDecodeStart() const { return media_.needDecodeStart; }
    std::uint64_t receivedBytes() const { return media_.receivedBytes; }
    std::uint64_t fedBytes() const { return media_.fedBytes; }
    std::size_t queuedBlocks() const { return media_.mp3Queue.size(); }
    const MyWaveOutput& output() const { return media_.waveOut; }
    std::int32_t headersInFlight() const { return media_.headersInFlight; }
    bool deviceOpen() const { return media_.waveOut.isOpen(); }
    float volume() const { return media_.volume; }
    bool muted() const { return media_.muted; }

private:
    void Handle(std::unique_ptr<MyMessageBase> message) { media_.HandleMessage(message.get()); }

    PlaybackProbe& media_;
};

class PlaybackTest : public ::testing::Test {
protected:
    PlaybackTest() {
        context.mainWindowHandle = &window;
        context.callbacks = &callbacks;
        media.onSend = [this](std::unique_ptr<MyNetworkHandlerMessage> message) {
            sent.push_back(std::move(message));
        };
        media.onWaveOutDone = [this](platform::WaveHeader* header) {
            if (onReturn) {
                onReturn(header);
                return;
            }
            std::lock_guard guard(returnedLock);
            returned.push_back(header);
        };
    }

    // Station 1 with streams 2 (3600 s, 57,600,000 bytes) and 3 (1800 s, 28,800,000 bytes).
    static bool FillStore(PlaybackProbe& media) {
        auto station = std::make_unique<StationInfoData>(1);
        station->StoreStream(MakeStream(2, 3600, 57600000));
        station->StoreStream(MakeStream(3, 1800, 28800000));
        media.stationStore[1] = std::move(station);
        return true;
    }

    static std::unique_ptr<StreamInfoData> MakeStream(std::int32_t id, std::uint32_t duration,
                                                      std::uint64_t size) {
        auto made = std::make_unique<StreamInfoData>();
        made->stationId = 1;
        made->streamId = id;
        made->duration = duration;
        made->size = size;
        return made;
    }

    // Callbacks nobody looked at are released with the window queue's messages.
    ~PlaybackTest() override { Callbacks(); }

    void Open() {
        ASSERT_TRUE(playback.InitAudio(audio.Opener()));
        audio.ClearCalls();
    }

    // Lets the playback handle every header handed back so far, in order.
    void HandleReturned() {
        for (;;) {
            platform::WaveHeader* header = nullptr;
            {
                std::lock_guard guard(returnedLock);
                if (returned.empty())
                    return;
                header = returned.front();
                returned.erase(returned.begin());
            }
            playback.ReturnUsedWaveHeader(header);
        }
    }

    // Plays buffers until the device holds none.
    void PlayOut() {
        HandleReturned();
        while (audio.CompleteNext())
            HandleReturned();
    }

    // Feeds `count` blocks of `bytes` from `offset` (all that is left when count is 0) as the network
    // thread would, and finishes the request with the last one.
    std::size_t Feed(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t count = 0,
                     bool finish = true) {
        std::size_t fed = 0;
        while (offset < bytes.size() && (count == 0 || fed < count)) {
            const bool last =
                finish && (offset + Mp3DataBlock::kCapacity >= bytes.size() || (count && fed + 1 == count));
            playback.AddMp3Data(BlockOf(bytes, offset), playback.requestTag(), last);
            offset += Mp3DataBlock::kCapacity;
            ++fed;
        }
        return offset;
    }

    // The callbacks posted since the last call, as text: "PlayEvent 0", "PlayPos", "PlaybackFailure 1",
    // "type 2".
    std::vector<std::string> Callbacks() {
        std::vector<std::string> texts;
        platform::WindowMessage message;
        while (window.Take(message, 0)) {
            auto received = MyCallbacks::Receive(message.wParam);
            switch (received->type) {
            case MyCallbacks::MessageType_PlayEvent:
                texts.push_back(
                    "PlayEvent " +
                    std::to_string(
                        static_cast<MyCallbacks::MyMainWindowMessage_PlayEventCallback&>(*received).event));
                break;
            case MyCallbacks::MessageType_PlayPos:
                positions.push_back(
                    static_cast<MyCallbacks::MyMainWindowMessage_PlayPosCallback&>(*received).position);
                texts.push_back("PlayPos");
                break;
            case MyCallbacks::MessageType_PlaybackFailure:
                texts.push_back(
                    "PlaybackFailure " +
                    std::to_string(
                        static_cast<MyCallbacks::MyMainWindowMessage_PlaybackFailureCallback&>(*received)
                            .failure));
                break;
            default:
                texts.push_back("type " + std::to_string(received->type));
            }
        }
        return texts;
    }

    // Play events only.
    std::vector<std::string> PlayEvents() {
        std::vector<std::string> events;
        for (const std::string& text : Callbacks())
            if (text.rfind("PlayEvent", 0) == 0)
                events.push_back(text);
        return events;
    }

    std::vector<MyNetworkHandlerMessage_GetStreamData*> Requests() {
        std::vector<MyNetworkHandlerMessage_GetStreamData*> requests;
        for (auto& message : sent)
            if (message->type == NetworkHandlerMessageType_GetStreamData)
                requests.push_back(static_cast<MyNetworkHandlerMessage_GetStreamData*>(message.get()));
        return requests;
    }

    testsupport::RecordingMessageBoxes boxes;
    MyAppContext context;
    platform::MessageQueue window;
    MyCallbacks callbacks{&context};
    testsupport::ScriptedAudio audio;
    std::vector<std::unique_ptr<MyNetworkHandlerMessage>> sent;
    std::mutex returnedLock;
    std::vector<platform::WaveHeader*> returned;
    std::function<void(platform::WaveHeader*)> onReturn;
    std::vector<float> positions;
    PlaybackProbe media{&context};
    PlaybackDriver playback{media};
    bool storeFilled = FillStore(media);
    StreamInfoData& stream = *media.stationStore.at(1)->streams.at(2);
    StreamInfoData& other = *media.stationStore.at(1)->streams.at(3);
};

} // namespace mediatest
