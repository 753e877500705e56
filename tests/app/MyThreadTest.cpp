#include "app/MyThread.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct NumberedMessage : MyMessageBase {
    NumberedMessage(int sender, int number, bool block = false)
        : MyMessageBase(1), sender(sender), number(number), block(block) {}
    int sender;
    int number;
    bool block;
};

// A worker that records what it handles; a message marked `block` holds its handler until Release().
class RecordingThread : public MyThread {
public:
    ~RecordingThread() override {
        Release();
        Stop();
        WaitForEnd(5000);
    }

    void OnThreadStart() override { started = true; }
    void OnThreadStop() override { stopped = true; }
    void HandleMessage(MyMessageBase* message) override {
        auto* m = static_cast<NumberedMessage*>(message);
        {
            std::lock_guard guard(lock);
            handled.emplace_back(m->sender, m->number);
            if (m->block)
                blocking = true;
        }
        changed.notify_all();
        if (m->block) {
            std::unique_lock wait(lock);
            changed.wait(wait, [&] { return released; });
        }
        if (onHandle)
            onHandle(*m);
    }
    bool HandleWaitHandle(platform::Event* handle) override {
        std::lock_guard guard(lock);
        handled.emplace_back(-1, handle == extra ? 0 : 99);
        return true;
    }

    void Release() {
        std::lock_guard guard(lock);
        released = true;
        changed.notify_all();
    }
    std::vector<std::pair<int, int>> Handled() {
        std::lock_guard guard(lock);
        return handled;
    }
    bool Blocking() {
        std::lock_guard guard(lock);
        return blocking;
    }
    void UseExtraHandle(platform::Event* event) {
        extra = event;
        AddWaitHandle(event);
    }

    std::atomic<bool> started{false};
    std::atomic<bool> stopped{false};
    std::function<void(const NumberedMessage&)> onHandle;
    platform::Event* extra = nullptr;

private:
    std::mutex lock;
    std::condition_variable changed;
    bool released = false;
    bool blocking = false;
    std::vector<std::pair<int, int>> handled;
};

using testsupport::WaitFor;

TEST(MyThread, MessageQueuedBeforeTheFirstWaitIsHandled) {
    RecordingThread worker;
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 1));
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitFor([&] { return worker.Handled().size() == 1; }));
    EXPECT_TRUE(worker.started);
}

TEST(MyThread, KeepsEachSendersOrderAcrossTwoSendingThreads) {
    RecordingThread worker;
    ASSERT_TRUE(worker.Start());
    constexpr int kEach = 2000;
    auto send = [&](int sender) {
        for (int i = 0; i < kEach; ++i)
            worker.QueueMessage(std::make_unique<NumberedMessage>(sender, i));
    };
    std::thread a(send, 1), b(send, 2);
    a.join();
    b.join();
    ASSERT_TRUE(WaitFor([&] { return worker.Handled().size() == 2 * kEach; }));
    std::map<int, int> next;
    for (auto [sender, number] : worker.Handled()) {
        ASSERT_EQ(number, next[sender]) << "sender " << sender;
        ++next[sender];
    }
}

TEST(MyThread, MessagesQueuedDuringADrainAreHandledInTheSameDrainBeforeAStop) {
    RecordingThread worker;
    ASSERT_TRUE(worker.Start());
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 1, true));
    ASSERT_TRUE(WaitFor([&] { return worker.Blocking(); }));
    // Two senders queue while the handler runs, then a stop is asked for: the drain still handles both,
    // since one wake-up empties the queue; the stop then wins at the next wait.
    std::thread([&] { worker.QueueMessage(std::make_unique<NumberedMessage>(1, 2)); }).join();
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 3));
    worker.Stop();
    worker.Release();
    ASSERT_TRUE(worker.WaitForEnd(5000));
    EXPECT_EQ(worker.Handled(), (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {0, 3}}));
    EXPECT_TRUE(worker.stopped);
}

TEST(MyThread, MessageQueuedByItsOwnHandlerComesAfterTheCurrentOne) {
    RecordingThread worker;
    worker.onHandle = [&](const NumberedMessage& m) {
        if (m.number == 1)
            worker.QueueMessage(std::make_unique<NumberedMessage>(0, 3));
    };
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 1));
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 2));
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitFor([&] { return worker.Handled().size() == 3; }));
    EXPECT_EQ(worker.Handled(), (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 3}}));
}

TEST(MyThread, AWakeUpThatFindsTheQueueEmptyDoesNothing) {
    RecordingThread worker;
    ASSERT_TRUE(worker.Start());
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 1, true));
    ASSERT_TRUE(WaitFor([&] { return worker.Blocking(); }));
    // This message sets the event again; the running drain takes it, so the next wake-up finds nothing.
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 2));
    worker.Release();
    ASSERT_TRUE(WaitFor([&] { return worker.Handled().size() == 2; }));
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 3));
    ASSERT_TRUE(WaitFor([&] { return worker.Handled().size() == 3; }));
    EXPECT_EQ(worker.Handled().back(), std::make_pair(0, 3));
}

TEST(MyThread, StopWinsOverQueuedMessages) {
    RecordingThread worker;
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 1));
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 2));
    worker.Stop();
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(worker.WaitForEnd(5000));
    EXPECT_TRUE(worker.Handled().empty());
    EXPECT_TRUE(worker.started);
    EXPECT_TRUE(worker.stopped);
}

TEST(MyThread, MessagesWinOverExtraWaitHandles) {
    platform::Event extra;
    RecordingThread worker;
    worker.UseExtraHandle(&extra);
    extra.Set();
    worker.QueueMessage(std::make_unique<NumberedMessage>(0, 1));
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitFor([&] { return worker.Handled().size() == 2; }));
    EXPECT_EQ(worker.Handled(), (std::vector<std::pair<int, int>>{{0, 1}, {-1, 0}}));
}

} // namespace
