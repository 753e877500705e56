#include "app/MyThread.h"

MyThread::MyThread() = default;
MyThread::~MyThread() = default;

bool MyThread::HandleWaitHandle(platform::Event*) { return true; }
bool MyThread::HandleWaitHandle2(platform::Event*) { return true; }

void MyThread::QueueMessage(std::unique_ptr<MyMessageBase> message) {
    if (!message)
        return;
    {
        std::lock_guard guard(queueLock_);
        messageQueue_.push_back(std::move(message));
    }
    messageEvent_.Set();
}

bool MyThread::Start() {
    return threadHandle_.Start([this] { RunThread(); });
}

void MyThread::Stop() { stopEvent_.Set(); }

bool MyThread::WaitForEnd(int milliseconds) { return threadHandle_.Join(milliseconds); }

int MyThread::RunThread() {
    OnThreadStart();
    std::vector<platform::Event*> waitArray;
    for (;;) {
        // Rebuilt before every wait: stop first, then messages, then the extra handles in order.
        waitArray.clear();
        waitArray.push_back(&stopEvent_);
        waitArray.push_back(&messageEvent_);
        waitArray.insert(waitArray.end(), extraWaitHandles_.begin(), extraWaitHandles_.end());
        int result = platform::WaitForAny(waitArray);
        if (result == 1) {
            DrainQueue();
        } else if (result >= 2 && static_cast<std::size_t>(result - 2) < extraWaitHandles_.size()) {
            HandleWaitHandle(extraWaitHandles_[result - 2]);
        } else {
            break; // the stop event, a failed wait, or an index outside the array
        }
    }
    OnThreadStop();
    return 0;
}

void MyThread::DrainQueue() {
    std::unique_lock queue(queueLock_);
    while (!messageQueue_.empty()) {
        std::unique_ptr<MyMessageBase> message = std::move(messageQueue_.front());
        messageQueue_.pop_front();
        queue.unlock();
        {
            std::lock_guard handling(handlingLock_);
            HandleMessage(message.get());
        }
        message.reset();
        queue.lock();
    }
}

void MyThread::AddWaitHandle(platform::Event* handle) { extraWaitHandles_.push_back(handle); }

bool MyThread::RemoveWaitHandle(platform::Event* handle) {
    for (auto it = extraWaitHandles_.begin(); it != extraWaitHandles_.end(); ++it) {
        if (*it == handle) {
            extraWaitHandles_.erase(it);
            return true;
        }
    }
    return false;
}
