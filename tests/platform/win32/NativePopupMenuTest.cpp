// The system's own popup menus on Windows (TrackPopupMenu with the program's menu resources, linked into
// this test program as into the program). A second thread plays the user: it waits for the menu window to
// appear and sends it keys, as the keyboard would reach the menu's own loop.
#include "platform/Window.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <windows.h>
// The platform layer's names, not the system's macros.
#undef DefWindowProc
#undef PeekMessage
#undef DispatchMessage

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;

namespace {

constexpr std::uint32_t kMarker = WM_USER + 7;

struct Recording : WindowProcedure {
    std::intptr_t WindowProc(Window& window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
        if (message == WM_COMMAND)
            commands.push_back(static_cast<std::uint16_t>(wParam & 0xFFFF));
        if (message == kMarker)
            markers.fetch_add(1);
        return window.DefWindowProc(message, wParam, lParam);
    }
    std::vector<std::uint16_t> commands;
    std::atomic<int> markers{0};
};

// The open popup menu's window (class "#32768"), once it is on screen.
HWND WaitForMenuWindow() {
    HWND menu = nullptr;
    testsupport::WaitFor([&] {
        menu = FindWindowW(L"#32768", nullptr);
        return menu && IsWindowVisible(menu);
    });
    return menu;
}

void PressKey(HWND menu, WPARAM key) {
    PostMessageW(menu, WM_KEYDOWN, key, 1);
    PostMessageW(menu, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

class NativePopupMenu : public ::testing::Test {
protected:
    void SetUp() override {
        system = OpenDesktopWindowSystem();
        ASSERT_TRUE(system) << "no display";
        if (!system->IsClassRegistered(u"MenuOwner")) {
            ASSERT_TRUE(system->RegisterWindowClass(u"MenuOwner", nullptr));
        }
        window = system->CreateNativeWindow(
            WindowParams{u"MenuOwner", u"Menu owner", nullptr, 100, 100, 320, 240});
        ASSERT_TRUE(window);
        window->SetProcedure(&procedure);
        const Rect r = window->WindowRect();
        at = Point{r.left + 40, r.top + 200};
    }
    void TearDown() override {
        if (window)
            window->SetProcedure(nullptr);
    }
    // Hands out everything the program's loop would find now, the commands the menu posted among it.
    void Drain() {
        Message m;
        while (system->PeekMessage(m) && m.message != WM_QUIT)
            system->DispatchMessage(m);
    }

    std::unique_ptr<WindowSystem> system;
    std::unique_ptr<Window> window;
    Recording procedure;
    Point at;
};

TEST_F(NativePopupMenu, TheChosenItemReachesTheOwnerAsACommand) {
    std::thread user([] {
        HWND menu = WaitForMenuWindow();
        ASSERT_TRUE(menu) << "the menu never appeared";
        PressKey(menu, VK_DOWN); // "Show Vantri"
        PressKey(menu, VK_DOWN); // "Exit Vantri"
        PressKey(menu, VK_RETURN);
    });
    const bool shown = system->TrackNativePopupMenu(*window, 109, at, true);
    user.join();
    ASSERT_TRUE(shown);
    Drain();
    EXPECT_EQ(procedure.commands, (std::vector<std::uint16_t>{40002}));
}

TEST_F(NativePopupMenu, EscapeClosesItWithoutACommandAndOtherMenusOpenAfterwards) {
    std::thread user([] {
        HWND menu = WaitForMenuWindow();
        ASSERT_TRUE(menu);
        PressKey(menu, VK_DOWN);
        PressKey(menu, VK_ESCAPE);
    });
    ASSERT_TRUE(system->TrackNativePopupMenu(*window, 113, at, false));
    user.join();
    Drain();
    EXPECT_TRUE(procedure.commands.empty());

    // The chat menu after it: its fifth entry past the separator is "Reset chat sync".
    std::thread again([] {
        HWND menu = WaitForMenuWindow();
        ASSERT_TRUE(menu);
        PressKey(menu, VK_UP); // from nothing highlighted, up wraps to the last item
        PressKey(menu, VK_RETURN);
    });
    ASSERT_TRUE(system->TrackNativePopupMenu(*window, 116, at, false));
    again.join();
    Drain();
    EXPECT_EQ(procedure.commands, (std::vector<std::uint16_t>{40107})); // the chat menu's last item
}

TEST_F(NativePopupMenu, PostedMessagesAreHandledWhileTheMenuIsOpen) {
    std::atomic<bool> handledWhileOpen{false};
    std::thread user([&] {
        HWND menu = WaitForMenuWindow();
        ASSERT_TRUE(menu);
        window->Post({kMarker, 0, 0}); // as the network or media thread posts
        handledWhileOpen = testsupport::WaitFor([&] { return procedure.markers.load() > 0; });
        PressKey(menu, VK_ESCAPE);
    });
    ASSERT_TRUE(system->TrackNativePopupMenu(*window, 114, at, false));
    user.join();
    EXPECT_TRUE(handledWhileOpen) << "the program's messages waited for the menu to close";
}

TEST_F(NativePopupMenu, AMenuTheProgramDoesNotHaveIsNotShown) {
    EXPECT_FALSE(system->TrackNativePopupMenu(*window, 4242, at, false));
}

} // namespace
