#pragma once
// Where worker threads post messages for the user-interface thread: the native window's message queue.
// A PostTarget stands for a window handle; Post may be called from any thread, never blocks on the
// receiver, and keeps posting order.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace platform {

struct WindowMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class PostTarget {
public:
    virtual ~PostTarget() = default;
    // Answers false when the message could not be queued; the sender then still owns what wParam points to.
    virtual bool Post(const WindowMessage& message) = 0;
};

// A thread-safe first-in-first-out queue of window messages. Without a window it is the whole target;
// the window layer drains it into its message loop.
class MessageQueue : public PostTarget {
public:
    bool Post(const WindowMessage& message) override;
    // Takes the oldest message, waiting at most `milliseconds` (0: do not wait); false when none came.
    bool Take(WindowMessage& out, int milliseconds);
    // Called after each Post, on the posting thread, e.g. to wake a window's message loop.
    void SetWakeUp(void (*wakeUp)(void*), void* argument);

private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<WindowMessage> messages_;
    void (*wakeUp_)(void*) = nullptr;
    void* wakeUpArgument_ = nullptr;
};

} // namespace platform
