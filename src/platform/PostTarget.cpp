#include "platform/PostTarget.h"

#include <chrono>

namespace platform {

bool MessageQueue::Post(const WindowMessage& message) {
    void (*wakeUp)(void*);
    void* argument;
    {
        std::lock_guard guard(lock_);
        messages_.push_back(message);
        wakeUp = wakeUp_;
        argument = wakeUpArgument_;
    }
    arrived_.notify_one();
    if (wakeUp)
        wakeUp(argument);
    return true;
}

bool MessageQueue::Take(WindowMessage& out, int milliseconds) {
    std::unique_lock lock(lock_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return !messages_.empty(); }))
        return false;
    out = messages_.front();
    messages_.pop_front();
    return true;
}

void MessageQueue::SetWakeUp(void (*wakeUp)(void*), void* argument) {
    std::lock_guard guard(lock_);
    wakeUp_ = wakeUp;
    wakeUpArgument_ = argument;
}

} // namespace platform
