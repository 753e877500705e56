#pragma once
// Waiting on a condition with a deadline: tests never sleep to synchronise.

#include <chrono>
#include <thread>

namespace testsupport {

// Polls `condition` until it holds or `timeout` passes; answers whether it held.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace testsupport
