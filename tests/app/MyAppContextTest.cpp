// The context's shared fields: a link is read and changed as a whole, and the window handle is withdrawn
// only between posts.
#include "app/MyAppContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(MyLink, AReaderNeverSeesHalfOfOneLinkAndHalfOfAnother) {
    MyLink link;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (std::int32_t n = 1; !stop; n = n % 100000 + 1)
            link.Set(n, n, n);
    });
    int torn = 0;
    for (int i = 0; i < 200000; ++i) {
        const MyLinkValue value = link.Get();
        torn += value.stationId == value.streamId && value.streamId == value.seconds ? 0 : 1;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

TEST(MyLink, TakingForAStationClearsOnlyThatLink) {
    MyLink link;
    EXPECT_FALSE(link.TakeForStation(0));
    link.Set(3, 4, 5);
    EXPECT_FALSE(link.TakeForStation(2));
    EXPECT_EQ(link.Get(), (MyLinkValue{3, 4, 5}));
    EXPECT_EQ(link.TakeForStation(3), (MyLinkValue{3, 4, 5}));
    EXPECT_TRUE(link.empty());
    // A link written after the take is not wiped by it.
    link.Set(3, 9, 1);
    EXPECT_EQ(link.Get(), (MyLinkValue{3, 9, 1}));
    EXPECT_FALSE(link.SetIfNoStation({1, 1, 1}));
    link.Clear();
    EXPECT_TRUE(link.SetIfNoStation({1, 2, 3}));
    EXPECT_EQ(link.Get(), (MyLinkValue{1, 2, 3}));
}

class CountingTarget : public platform::PostTarget {
public:
    bool Post(const platform::WindowMessage&) override {
        ++posts;
        return true;
    }
    std::atomic<int> posts{0};
};

TEST(MyMainWindowHandle, OnceClearedNoPostReachesTheOldWindow) {
    MyMainWindowHandle handle;
    EXPECT_FALSE(handle.Post({1024, 0, 0}));
    auto target = std::make_unique<CountingTarget>();
    handle = target.get();
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop)
            handle.Post({1024, 0, 0});
    });
    while (target->posts < 100)
        std::this_thread::yield();
    handle = nullptr;
    const int atClear = target->posts;
    target.reset(); // a post still reaching it would touch freed memory (the sanitizer build sees it)
    stop = true;
    worker.join();
    EXPECT_GE(atClear, 100);
}

} // namespace
