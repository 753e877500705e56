#pragma once
// A media thread whose requests to the network thread are captured and whose decoder side is scripted,
// with its state opened up for assertions. Messages can be handled directly on the test thread
// (Handle) or through the running thread (Start plus the sending operations).

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandlerMessages.h"
#include "platform/PostTarget.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace testsupport {

class MediaHandlerProbe : public MyMediaHandler {
public:
    using MyMediaHandler::MyMediaHandler;
    // The thread calls the overrides below, so it must end before they go.
    ~MediaHandlerProbe() override {
        Stop();
        WaitForEnd(5000);
    }

    using MyMediaHandler::currentStream;
    using MyMediaHandler::FindStation;
    using MyMediaHandler::FindStream;
    using MyMediaHandler::HandleWaitHandle;
    using MyMediaHandler::headersInFlight;
    using MyMediaHandler::maxQueuedBlocks;
    using MyMediaHandler::mp3Queue;
    using MyMediaHandler::needDecodeStart;
    using MyMediaHandler::playState;
    using MyMediaHandler::QueueThresholdFor;
    using MyMediaHandler::receivedBytes;
    using MyMediaHandler::requestStatus;
    using MyMediaHandler::requestTag;
    using MyMediaHandler::retryTimer;
    using MyMediaHandler::retryWaiting;
    using MyMediaHandler::stationStore;

    void Handle(std::unique_ptr<MyMessageBase> message) { HandleMessage(message.get()); }
    // Waits (up to `timeout`) for the retry pause to run out and lets the thread handle it; false when
    // it did not run out in time.
    bool RunOutRetryPause(int timeout = 10000) {
        if (!platform::WaitForEvent(retryTimer.event(), timeout))
            return false;
        HandleWaitHandle(&retryTimer.event());
        return true;
    }

    // Requests sent to the network thread, oldest first; safe to call while the thread runs.
    std::vector<std::unique_ptr<MyNetworkHandlerMessage>> TakeSent() {
        std::lock_guard guard(lock_);
        return std::move(sent_);
    }
    std::size_t sentCount() {
        std::lock_guard guard(lock_);
        return sent_.size();
    }

    // The answer the scripted decoder start gives, and how often each decoder hook ran.
    std::atomic<int> decodeStartAnswer{1};
    std::atomic<int> decodeStarts{0};
    std::atomic<int> decodes{0};

protected:
    void SendToNetworkThread(std::unique_ptr<MyNetworkHandlerMessage> message) override {
        std::lock_guard guard(lock_);
        sent_.push_back(std::move(message));
    }
    int Mp3DecodeStart() override {
        ++decodeStarts;
        return decodeStartAnswer;
    }
    bool DecodeAndSubmit() override {
        ++decodes;
        return true;
    }

private:
    std::mutex lock_;
    std::vector<std::unique_ptr<MyNetworkHandlerMessage>> sent_;
};

// The context a media thread needs: callbacks posted into a plain message queue.
struct MediaContext {
    MediaContext() {
        context.callbacks = &callbacks;
        context.mainWindowHandle = &window;
    }
    // Callbacks nobody took are released with the window.
    ~MediaContext() { TakeCallbacks(); }
    // Every callback posted so far, oldest first; waits up to `milliseconds` for the first one.
    std::vector<std::unique_ptr<MyOwnerWindowMessageBase>> TakeCallbacks(int milliseconds = 0) {
        std::vector<std::unique_ptr<MyOwnerWindowMessageBase>> out;
        platform::WindowMessage message;
        while (window.Take(message, out.empty() ? milliseconds : 0))
            out.push_back(MyCallbacks::Receive(message.wParam));
        return out;
    }

    MyAppContext context;
    MyCallbacks callbacks{&context};
    platform::MessageQueue window;
};

} // namespace testsupport
