#include "platform/HeadlessWindowSystem.h"
#include "platform/UiThreadMessageBoxes.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform;

namespace {

// A procedure that records messages and counts discarded ones.
struct Recording : WindowProcedure {
    std::intptr_t WindowProc(Window& window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
        log.push_back(message);
        if (message == WM_USER)
            values.push_back(wParam);
        return window.DefWindowProc(message, wParam, lParam);
    }
    void DiscardPostedMessage(const WindowMessage& message) override { discarded.push_back(message.wParam); }
    std::vector<std::uint32_t> log;
    std::vector<std::uintptr_t> values;
    std::vector<std::uintptr_t> discarded;
};

class WindowLoop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(system.RegisterWindowClass(u"Loop", nullptr));
        EXPECT_FALSE(system.RegisterWindowClass(u"Loop", nullptr)) << "a class registers once";
        WindowParams params{u"Loop", u"Title", nullptr, 10, 20, 64, 48};
        window = system.CreateHeadlessWindow(params);
        ASSERT_TRUE(window);
        window->SetProcedure(&procedure);
    }
    void Pump() {
        Message m;
        while (system.PeekMessage(m) && m.message != WM_QUIT)
            system.DispatchMessage(m);
    }
    HeadlessWindowSystem system;
    Recording procedure;
    std::unique_ptr<HeadlessWindow> window;
};

TEST_F(WindowLoop, UnregisteredClassMakesNoWindow) {
    EXPECT_FALSE(system.CreateNativeWindow(WindowParams{u"Other", u"", nullptr, 0, 0, 10, 10}));
}

TEST_F(WindowLoop, PostedMessagesComeBeforeInputAndPaintComesLast) {
    window->Invalidate(Rect{0, 0, 5, 5});
    window->InjectMouseMove(3, 3);
    window->Post({WM_USER, 7, 0});
    Pump();
    EXPECT_EQ(procedure.log, (std::vector<std::uint32_t>{WM_USER, WM_MOUSEMOVE, WM_PAINT}));
    Message m;
    EXPECT_FALSE(system.PeekMessage(m)) << "the default processing validated the window";
}

TEST_F(WindowLoop, PostsFromManyThreadsKeepEachSendersOrder) {
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                window->Post({WM_USER, static_cast<std::uintptr_t>(t * 1000 + i), 0});
        });
    Message m;
    ASSERT_TRUE(testsupport::WaitFor([&] {
        while (system.PeekMessage(m))
            system.DispatchMessage(m);
        return procedure.values.size() == 800;
    }));
    for (auto& s : senders)
        s.join();
    std::vector<int> last(4, -1);
    for (std::uintptr_t v : procedure.values) {
        const int t = static_cast<int>(v / 1000), i = static_cast<int>(v % 1000);
        EXPECT_EQ(i, last[t] + 1);
        last[t] = i;
    }
}

TEST_F(WindowLoop, GetMessageWakesForAPostFromAnotherThread) {
    std::thread poster([&] { window->Post({WM_USER, 42, 0}); });
    Message m;
    ASSERT_TRUE(system.GetMessage(m));
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(m.wParam, 42u);
    poster.join();
}

TEST_F(WindowLoop, QuitEndsTheLoopAndOvertakesPaint) {
    window->Invalidate(Rect{0, 0, 64, 48});
    Message m;
    ASSERT_TRUE(system.PeekPaintMessage(m));
    EXPECT_EQ(m.message, WM_PAINT);
    system.PostQuitMessage(3);
    ASSERT_TRUE(system.PeekPaintMessage(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(system.GetMessage(m));
    EXPECT_EQ(system.exitCode(), 3);
}

TEST_F(WindowLoop, DestroyDiscardsQueuedPostsAndRefusesNewOnes) {
    window->Post({WM_USER, 1, 0});
    window->Post({WM_USER, 2, 0});
    window->InjectMouseMove(1, 1);
    window->Destroy();
    EXPECT_EQ(procedure.log, (std::vector<std::uint32_t>{WM_DESTROY}));
    EXPECT_EQ(procedure.discarded, (std::vector<std::uintptr_t>{1, 2}));
    EXPECT_FALSE(window->Post({WM_USER, 3, 0}));
    Pump();
    EXPECT_EQ(procedure.log.size(), 1u) << "no input for a destroyed window";
    window->Destroy();
    EXPECT_EQ(procedure.log.size(), 1u);
}

TEST_F(WindowLoop, CloseByDefaultDestroysTheWindow) {
    window->InjectClose();
    Pump();
    EXPECT_EQ(procedure.log, (std::vector<std::uint32_t>{WM_CLOSE, WM_DESTROY}));
    EXPECT_TRUE(window->destroyed());
}

TEST_F(WindowLoop, InvalidAreaIsTheBoundingBoxClippedToTheClient) {
    window->Invalidate(Rect{-10, 5, 3, 8});
    window->Invalidate(Rect{40, 30, 100, 100});
    EXPECT_EQ(window->BeginPaint(), (Rect{0, 5, 64, 48}));
    EXPECT_EQ(window->BeginPaint(), Rect{});
}

TEST_F(WindowLoop, MouseMessagesPackCoordinatesAsWin32Does) {
    struct Packing : WindowProcedure {
        std::intptr_t WindowProc(Window& w, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) override {
            if (message == WM_LBUTTONUP || message == WM_MOUSEWHEEL) {
                lows.push_back(LowWord(lParam));
                highs.push_back(SignedHighWord(lParam));
                wParams.push_back(wParam);
            }
            return w.DefWindowProc(message, wParam, lParam);
        }
        std::vector<std::uint32_t> lows;
        std::vector<std::int32_t> highs;
        std::vector<std::uintptr_t> wParams;
    } packing;
    window->SetProcedure(&packing);
    window->SetCapture();
    window->InjectButton(0, false, -3, 5);
    window->InjectWheel(4, 6, -120);
    Pump();
    ASSERT_EQ(packing.lows.size(), 2u);
    EXPECT_EQ(packing.lows[0], 65533u); // -3 as an unsigned half
    EXPECT_EQ(packing.highs[0], 5);
    EXPECT_EQ(packing.lows[1], 14u); // screen x: 10 + 4
    EXPECT_EQ(packing.highs[1], 26);
    EXPECT_EQ(HighWord(packing.wParams[1]), 65416u);
    EXPECT_EQ(window->ScreenToClient(Point{14, 26}), (Point{4, 6}));
}

TEST_F(WindowLoop, SizingMayBeCorrectedByTheHandler) {
    struct Sizing : WindowProcedure {
        std::intptr_t WindowProc(Window& w, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) override {
            if (message == WM_SIZING) {
                auto* r = reinterpret_cast<Rect*>(lParam);
                if (r->width() < 100)
                    r->right = r->left + 100;
            }
            if (message == WM_SIZE)
                sizes.push_back({static_cast<std::int32_t>(LowWord(lParam)),
                                 static_cast<std::int32_t>(HighWord(lParam))});
            return w.DefWindowProc(message, wParam, lParam);
        }
        std::vector<Point> sizes;
    } sizing;
    window->SetProcedure(&sizing);
    window->InjectResize(50, 70);
    Pump();
    ASSERT_EQ(sizing.sizes.size(), 1u);
    EXPECT_EQ(sizing.sizes[0], (Point{100, 70}));
    EXPECT_EQ(window->ClientSize(), (Point{100, 70}));
}

TEST(UiThreadMessageBoxes, WorkerThreadsDoNotWaitForTheBox) {
    std::mutex lock;
    std::vector<std::u16string> shown;
    std::atomic<int> wakes{0};
    UiThreadMessageBoxes boxes(
        [&](const std::u16string& text, const std::u16string&, MessageBoxButtons) {
            std::lock_guard guard(lock);
            shown.push_back(text);
            return MessageBoxResult::Ok;
        },
        [&] { ++wakes; });
    std::atomic<bool> returned{false};
    MessageBoxResult answer = MessageBoxResult::Yes;
    std::thread worker([&] {
        boxes.Show(u"first", u"Error!", MessageBoxButtons::Ok);
        answer = boxes.Show(u"second?", u"Question", MessageBoxButtons::YesNo);
        returned = true;
    });
    worker.join();
    // The worker came back although nothing has shown its boxes yet.
    EXPECT_TRUE(returned);
    EXPECT_EQ(answer, MessageBoxResult::No);
    EXPECT_EQ(wakes, 2);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(boxes.pending(), 2u);
    boxes.ShowPending();
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"first", u"second?"}));
    // On the user-interface thread a box is shown at once.
    boxes.Show(u"third", u"Error!", MessageBoxButtons::Ok);
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(boxes.pending(), 0u);
}

// A decoder failing on every block asks for the same two boxes hundreds of times: each is shown once
// while it is open, and again only after it was closed.
TEST(UiThreadMessageBoxes, ABoxAlreadyQueuedOrOpenIsNotShownAgain) {
    std::vector<std::u16string> shown;
    UiThreadMessageBoxes* self = nullptr;
    UiThreadMessageBoxes boxes(
        [&](const std::u16string& text, const std::u16string&, MessageBoxButtons) {
            shown.push_back(text);
            // While this one is open, the same text from a worker is dropped, another is queued.
            std::thread([&] {
                self->Show(text, u"Error!", MessageBoxButtons::Ok);
                self->Show(u"other", u"Error!", MessageBoxButtons::Ok);
            }).join();
            return MessageBoxResult::Ok;
        },
        nullptr);
    self = &boxes;
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            boxes.Show(u"mpg123_decode != MPG123_NEW_FORMAT!", u"Error!", MessageBoxButtons::Ok);
            boxes.Show(u"Mp3DecodeStart FAILED!", u"Error!", MessageBoxButtons::Ok);
        }
    });
    worker.join();
    EXPECT_EQ(boxes.pending(), 2u);
    boxes.ShowPending();
    ASSERT_EQ(shown.size(), 2u);
    // "other" was queued once while the first box was open, and not again while still queued.
    EXPECT_EQ(boxes.pending(), 1u);
    // Closed boxes can be shown again.
    std::thread([&] { boxes.Show(u"Mp3DecodeStart FAILED!", u"Error!", MessageBoxButtons::Ok); }).join();
    EXPECT_EQ(boxes.pending(), 2u);
}

// Boxes opened without waiting (modeless) stay open for this purpose until the window layer says closed.
TEST(UiThreadMessageBoxes, ABoxOpenedWithoutWaitingCountsAsOpenUntilClosed) {
    int opened = 0;
    UiThreadMessageBoxes boxes(
        [](const std::u16string&, const std::u16string&, MessageBoxButtons) { return MessageBoxResult::Ok; },
        nullptr,
        [&](const std::u16string&, const std::u16string&, MessageBoxButtons) {
            ++opened;
            return MessageBoxResult::Ok;
        });
    auto fromWorker = [&] {
        std::thread([&] { boxes.Show(u"mpg123_read2 FAILED!", u"Error!", MessageBoxButtons::Ok); }).join();
    };
    fromWorker();
    boxes.ShowPending();
    fromWorker(); // still open on the screen
    boxes.ShowPending();
    EXPECT_EQ(opened, 1);
    boxes.Closed(u"mpg123_read2 FAILED!", u"Error!");
    fromWorker();
    boxes.ShowPending();
    EXPECT_EQ(opened, 2);
}

} // namespace
