#pragma once
// A playback under test: the scripted device, a window queue that collects the callbacks, and a network
// sender that records the requests. Headers the device hands back wait in `returned` until the test lets
// the playback handle them, as the media thread would handle their messages.

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyPlayback.h"
#include "net/CatalogueRecords.h"
#include "net/MyNetworkHandlerMessages.h"
#include "platform/PostTarget.h"
#include "support/Mp3Fixtures.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedAudioDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mediatest {

inline std::string FixtureDirectory() {
    return std::string(VANTRI_BINARY_DIR) + "/fixtures";
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

class PlaybackTest : public ::testing::Test {
protected:
    PlaybackTest() {
        context.mainWindowHandle = &window;
        stream.stationId = 1;
        stream.streamId = 2;
        stream.duration = 3600;
        stream.size = 57600000;
        other.stationId = 1;
        other.streamId = 3;
        other.duration = 1800;
        other.size = 28800000;
    }

    // Callbacks nobody looked at are released with the window queue's messages.
    ~PlaybackTest() override { Callbacks(); }

    void Open() {
        ASSERT_TRUE(playback.InitAudio(audio.Opener(), [this](platform::WaveHeader* header) {
            if (onReturn) {
                onReturn(header);
                return;
            }
            std::lock_guard guard(returnedLock);
            returned.push_back(header);
        }));
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

    // The callbacks posted since the last call, as text: "PlayEvent 0", "PlayPos 0.5", "StreamInfo".
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
    std::vector<std::unique_ptr<MyMessageBase>> sent;
    std::mutex returnedLock;
    std::vector<platform::WaveHeader*> returned;
    std::function<void(platform::WaveHeader*)> onReturn;
    std::vector<float> positions;
    StreamInfoData stream;
    StreamInfoData other;
    MyPlayback playback{
        &callbacks, [this](std::unique_ptr<MyMessageBase> message) { sent.push_back(std::move(message)); }};
};

} // namespace mediatest
