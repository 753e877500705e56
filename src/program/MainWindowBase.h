#pragma once
// The program's owner window: the native window of class "VantriV1" with the MainWindow control tree.
// Beyond the owner window's messages it handles the notification icon's clicks, a second instance's
// command line, closing (which may only hide or minimise), and the menu and accelerator commands. It
// keeps the saved window rectangle up to date and publishes its handle to the worker threads for as
// long as it can take their messages. User-interface thread only.

#include "program/MainWindow.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyResourceTables.h"

#include <memory>
#include <string>
#include <string_view>

struct MyAppContext;
class MySettings;

class MainWindowBase : public MyOwnerWindowBase {
public:
    // The class name a second instance looks for.
    static constexpr std::u16string_view kClassName = u"VantriV1";
    // The smallest size a user may drag the window to, pixels.
    static constexpr std::int32_t kMinimumWidth = 750;
    static constexpr std::int32_t kMinimumHeight = 550;
    // A saved rectangle smaller than this at start is replaced by the default one.
    static constexpr std::int32_t kStartMinimumWidth = 800;
    static constexpr std::int32_t kStartMinimumHeight = 600;
    // A second instance's command line, posted by the single-instance channel: lParam owns a
    // std::string.
    static constexpr std::uint32_t kInstanceMessage = 1026; // WM_USER + 2
    // The desktop's high-contrast setting changed (posted by the watch's thread).
    static constexpr std::uint32_t kContrastMessage = 1029; // WM_USER + 5

    // The WM_COPYDATA record a second instance's link arrives in.
    struct CopyData {
        std::uintptr_t dwData = 0;
        std::uint32_t cbData = 0;
        const char* lpData = nullptr;
    };

    MainWindowBase() = default;
    // Withdraws the handle from the worker threads before anything of the window goes.
    ~MainWindowBase() override;

    // The application start: the title, the rectangle from the settings, the native window, the
    // MainWindow tree, the handlers and the accelerator table. False when the native window could not be
    // made. `trayBackend` stands for the notification area (null: the desktop's).
    bool StartApplication(platform::WindowSystem* system, MyAppContext* context,
                          std::unique_ptr<platform::TrayIcon> trayBackend = nullptr);

    void OnDestroy() override;
    void OnMoving(RECT& rect) override;
    void OnSizing(RECT& rect, std::uintptr_t edge) override;
    void HandleCallbackMessage(std::unique_ptr<MyOwnerWindowMessageBase> message) override;
    void DiscardPostedMessage(const platform::WindowMessage& message) override;

    // The minimum-size rule: keeps the edge opposite the dragged one where it is.
    static void ApplyMinimumSize(RECT& rect, std::uintptr_t edge);
    // The rectangle the window starts with: the saved one, or the default when it is too small.
    static RECT StartRectangle(const MySettings& settings);

    // A second instance's command line: brings the window to the front, then "kill" ends the program and
    // any other text goes to the link handler.
    void HandleInstanceMessage(std::string_view commandLine);

    MyAppContext* appContext = nullptr;
    MainWindow* mainWindow = nullptr;
    // Table 115; the context points to it.
    std::vector<MyAccelerator> accelerators;
    // Follows the desktop's high-contrast setting while the environment does not decide it; null where
    // it cannot be followed.
    std::unique_ptr<platform::DesktopContrastWatch> contrastWatch;

private:
    std::intptr_t HandleTrayIcon(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    std::intptr_t HandleCopyData(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    std::intptr_t HandleClose(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    std::intptr_t HandleCommand(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    std::intptr_t HandleInstance(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    std::intptr_t HandleMediaControls(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    std::intptr_t HandleContrast(std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    // Copies the window's rectangle into the settings and saves them, unless the window manager chose
    // its size (maximised, full screen).
    void SaveRectangle(const RECT& rect);
};
