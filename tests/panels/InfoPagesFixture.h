#pragma once
// A headless window for the info pages, chat rows to feed them, and a media thread that records the
// messages the pages send it.

#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "media/MyMediaHandlerMessages.h"
#include "records/CatalogueRecords.h"
#include "support/Deadline.h"

#include <mutex>
#include <vector>

namespace infotest {

// A media thread that handles nothing and records the type (and seek fraction) of every message.
class RecordingMedia : public MyMediaHandler {
public:
    explicit RecordingMedia(MyAppContext* context) : MyMediaHandler(context) {}
    ~RecordingMedia() override {
        Stop();
        WaitForEnd(5000);
    }
    void OnThreadStart() override {}
    void OnThreadStop() override {}
    void HandleMessage(MyMessageBase* message) override {
        std::lock_guard<std::mutex> lock(lock_);
        types_.push_back(message->type);
        if (message->type == MediaHandlerMessageType_SetPlayPos)
            seeks_.push_back(static_cast<MyMediaHandlerMessage_SetPlayPos*>(message)->position);
    }
    // Queues a pause as a fence and waits until it was handled, so that everything queued before it
    // has been recorded. Answers the seek fractions seen so far.
    std::vector<float> SeeksAfterFence() {
        Pause();
        const bool fenced = testsupport::WaitFor([&] {
            std::lock_guard<std::mutex> lock(lock_);
            return !types_.empty() && types_.back() == MediaHandlerMessageType_Pause;
        });
        EXPECT_TRUE(fenced) << "the media thread never handled the fence";
        std::lock_guard<std::mutex> lock(lock_);
        types_.clear();
        return std::exchange(seeks_, {});
    }

private:
    std::mutex lock_;
    std::vector<std::int32_t> types_;
    std::vector<float> seeks_;
};

class InfoPagesFixture : public uitest::UiFixture {
protected:
    void StartMedia() {
        media = std::make_unique<RecordingMedia>(&app);
        app.mediaHandler = media.get();
        ASSERT_TRUE(media->Start());
    }
    void TearDown() override {
        app.mediaHandler = nullptr;
        media.reset();
    }
    void Click(int px, int py, int button = 0) {
        native->InjectButton(button, true, px, py);
        native->InjectButton(button, false, px, py);
        Pump();
    }

    MyAppContext app;
    std::unique_ptr<RecordingMedia> media;
};

// A chat row of kind 1 (a message) from `nick` at `time`.
inline StreamChatRow Message(std::int32_t time, std::u16string_view nick, std::u16string_view text) {
    return StreamChatRow(time, StreamChatRowKind_Message, {nick, text});
}

} // namespace infotest
