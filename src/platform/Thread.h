#pragma once
// Worker threads. A Thread object exists before its thread runs, so the body may use it at once
// (the media thread raises its own priority through it).

#include <functional>
#include <memory>

namespace platform {

class Thread {
public:
    Thread();
    ~Thread(); // detaches a thread that is still running; process exit reclaims it
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts `body` on a new thread; false when the system refused one.
    bool Start(std::function<void()> body);
    bool started() const;

    // Waits at most `milliseconds` for the thread to end; true when it has ended.
    bool Join(int milliseconds);

    // Raises the thread to the highest priority an ordinary process may take. Keeps the default silently
    // where the system does not allow it. Call from the thread itself.
    void SetTimeCriticalPriority();

    // A number naming the calling thread, for assertions that code runs on its owning thread.
    static unsigned long CurrentId();
    unsigned long id() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace platform
