// Cost of one message through QueueMessage to a handler on another thread, with both threads busy: one
// thread queues as fast as it can while the worker drains and handles.

#include "app/MyThread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

constexpr std::size_t kMessages = 2'000'000;
constexpr int kRounds = 5;

struct CountMessage : MyMessageBase {
    explicit CountMessage(std::uint64_t value) : MyMessageBase(1), value(value) {}
    std::uint64_t value;
};

class Counter : public MyThread {
public:
    ~Counter() override {
        Stop();
        WaitForEnd(5000);
    }
    void HandleMessage(MyMessageBase* message) override {
        sum += static_cast<CountMessage*>(message)->value;
        if (++handled == kMessages) {
            std::lock_guard guard(lock);
            finished = true;
            done.notify_all();
        }
    }
    void WaitAll() {
        std::unique_lock guard(lock);
        done.wait(guard, [&] { return finished; });
    }
    std::uint64_t sum = 0;

private:
    std::size_t handled = 0;
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
};

} // namespace

int main() {
    std::vector<double> perMessage;
    for (int round = 0; round < kRounds; ++round) {
        Counter counter;
        counter.Start();
        auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < kMessages; ++i)
            counter.QueueMessage(std::make_unique<CountMessage>(i));
        counter.WaitAll();
        auto elapsed =
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        perMessage.push_back(elapsed / kMessages);
    }
    std::sort(perMessage.begin(), perMessage.end());
    std::printf("%zu messages per round, %d rounds\n", kMessages, kRounds);
    std::printf(
        "QueueMessage to a handler on another thread: median %.0f ns/message (best %.0f, worst %.0f)\n",
        perMessage[kRounds / 2], perMessage.front(), perMessage.back());
    return 0;
}
