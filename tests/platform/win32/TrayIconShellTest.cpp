// The notification-area icon on Windows against the shell's tray (Wine's explorer under CI): the icon is
// added, and when the shell restarts (its icons gone, "TaskbarCreated" broadcast to every top-level
// window) the icon is put back and its clicks still reach the program's window.
#include "platform/TrayIcon.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

namespace {

constexpr std::uint32_t kTrayMessage = 1025;

platform::IconImage Icon() {
    platform::IconImage icon;
    icon.width = 2;
    icon.height = 2;
    icon.pixels = {0xFF102030, 0x80405060, 0, 0xFFFFFFFF};
    return icon;
}

TEST(ShellTrayIcon, AShellThatRestartsGetsTheIconBack) {
    auto tray = platform::CreateTrayIcon();
    if (!tray->available())
        GTEST_SKIP() << "no notification area (Shell_TrayWnd) on this desktop";
    platform::MessageQueue window;
    ASSERT_TRUE(tray->Add(Icon(), u"Vantri", &window, kTrayMessage));
    EXPECT_TRUE(
        tray->Balloon(u"Vantri is still here!", u"To quit please right click and choose exit.", 5000));

    // The shell forgets the icon, as a restarted Explorer has none of the old ones.
    HWND hidden = FindWindowW(L"VantriNotifyIcon", nullptr);
    ASSERT_TRUE(hidden) << "the icon's window must be top-level to hear the shell's broadcast";
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hidden;
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(tray->Balloon(u"gone", u"the shell has no such icon", 5000));

    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_TRUE(tray->Balloon(u"back", u"the icon was added again", 5000));

    // Clicks on the icon put back still reach the window.
    SendMessageW(hidden, 0x0400 + 1, 1, WM_LBUTTONDOWN);
    platform::WindowMessage message;
    ASSERT_TRUE(window.Take(message, 0));
    EXPECT_EQ(message.message, kTrayMessage);
    EXPECT_EQ(message.lParam, WM_LBUTTONDOWN);
    tray->Remove();
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &data)) << "removed with the object";
}

} // namespace
