#include "platform/TerminationSignals.h"

#include "platform/linux/ForkedChildren.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace platform {

struct TerminationSignals::State {
    std::function<void()> onRequest;
    sigset_t previousMask{};
    std::atomic<bool> stopping{false};
    std::atomic<int> requests{0};
    std::thread thread;
    // Children get the mask from before: a child that shows a box must die of SIGTERM.
    std::unique_ptr<linux_backend::ChildSignalMask> childMask;
};

TerminationSignals::TerminationSignals(std::function<void()> onRequest) : state_(std::make_unique<State>()) {
    state_->onRequest = std::move(onRequest);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &state_->previousMask);
    state_->childMask = std::make_unique<linux_backend::ChildSignalMask>(state_->previousMask);
    State* state = state_.get();
    state_->thread = std::thread([state, set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0)
                continue;
            if (state->stopping)
                return;
            ++state->requests;
            if (state->onRequest)
                state->onRequest();
        }
    });
}

TerminationSignals::~TerminationSignals() {
    state_->stopping = true;
    // Wakes the waiting thread with a signal that only it takes.
    pthread_kill(state_->thread.native_handle(), SIGTERM);
    state_->thread.join();
    state_->childMask.reset();
    pthread_sigmask(SIG_SETMASK, &state_->previousMask, nullptr);
}

int TerminationSignals::requests() const {
    return state_->requests;
}

void EndProcessNow(int exitCode) {
    std::fflush(nullptr);
    _exit(exitCode);
}

} // namespace platform
