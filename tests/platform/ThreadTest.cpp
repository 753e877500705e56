// Worker threads' lives: a thread object may go at any moment of its thread's start, run or end. Starting
// many short threads and letting each go at once is where a thread library that frees a thread's record
// while the thread starts or ends loses threads or crashes (MinGW's pthreads layer did, under Wine).

#include "platform/Thread.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace testsupport;

namespace {

constexpr int kThreads = 2000;

TEST(Thread, ThreadsLetGoAsSoonAsTheyStartAllRunToTheirEnd) {
    auto ran = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < kThreads; ++i) {
        platform::Thread thread;
        ASSERT_TRUE(thread.Start([ran] { ++*ran; }));
    }
    EXPECT_TRUE(WaitFor([&] { return *ran == kThreads; }, std::chrono::seconds(60))) << *ran;
}

TEST(Thread, ThreadsJoinedOrLetGoAroundTheirEndAllRunToTheirEnd) {
    auto ran = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < kThreads; ++i) {
        platform::Thread thread;
        ASSERT_TRUE(thread.Start([ran] { ++*ran; }));
        // Half are waited for a moment (often ending meanwhile), then either joined or let go.
        if (i % 2 == 0)
            thread.Join(0);
    }
    EXPECT_TRUE(WaitFor([&] { return *ran == kThreads; }, std::chrono::seconds(60))) << *ran;
}

TEST(Thread, JoinWaitsForTheEndAndAnswersWhetherItCame) {
    std::atomic<bool> release{false};
    platform::Thread thread;
    ASSERT_TRUE(thread.Start([&] {
        while (!release)
            std::this_thread::yield();
    }));
    EXPECT_FALSE(thread.Join(20));
    release = true;
    EXPECT_TRUE(thread.Join(10000));
    EXPECT_TRUE(thread.Join(0)); // already joined: still ended
}

} // namespace
