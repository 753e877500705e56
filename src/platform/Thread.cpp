#include "platform/Thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

// The thread's life is the standard library's on every system; only the priority and the system's
// thread id come from the backends.
namespace platform {

struct Thread::State {
    std::mutex lock;
    std::condition_variable endedSignal;
    bool ended = false;
    unsigned long id = 0;
    std::thread thread;
};

Thread::Thread() : state_(std::make_shared<State>()) {}

// A thread that has ended is joined; one still running is detached while it cannot end, since its last
// step takes the lock held here. Detaching a thread as it ends loses or crashes threads with MinGW's
// pthreads layer, so nothing in the program detaches a std::thread any other way.
Thread::~Thread() {
    if (state_->thread.joinable()) {
        std::unique_lock lock(state_->lock);
        if (state_->ended) {
            lock.unlock();
            state_->thread.join();
        } else {
            state_->thread.detach();
        }
    }
}

bool Thread::Start(std::function<void()> body) {
    if (state_->thread.joinable())
        return false;
    std::shared_ptr<State> state = state_;
    std::unique_lock lock(state->lock); // the id is written before the body can ask for it
    try {
        state->thread = std::thread([state, body = std::move(body)] {
            {
                std::lock_guard guard(state->lock);
                state->id = Thread::CurrentId();
            }
            body();
            std::lock_guard guard(state->lock);
            state->ended = true;
            state->endedSignal.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool Thread::started() const {
    return state_->thread.joinable();
}

bool Thread::Join(int milliseconds) {
    std::unique_lock lock(state_->lock);
    if (!state_->thread.joinable())
        return state_->ended;
    if (!state_->endedSignal.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                      [&] { return state_->ended; }))
        return false;
    lock.unlock();
    state_->thread.join();
    return true;
}

unsigned long Thread::id() const {
    std::lock_guard guard(state_->lock);
    return state_->id;
}

} // namespace platform
