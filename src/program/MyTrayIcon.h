#pragma once
// The program's icon in the notification area (id 1, icon 108 at 16 by 16 pixels), with its balloon.
// Clicks reach the main window as message 1025 with lParam WM_LBUTTONDOWN or WM_RBUTTONDOWN. Where the
// desktop has no notification area nothing is added and `shown()` stays false. User-interface thread.

#include "platform/TrayIcon.h"
#include "platform/Window.h"

#include <cstdint>
#include <map>
#include <memory>

class MyTrayIcon {
public:
    static constexpr std::uint32_t kCallbackMessage = 1025; // WM_USER + 1
    static constexpr int kIconId = 1;

    // `backend` stands for the notification area (null: the desktop's).
    MyTrayIcon(void* instance, platform::PostTarget* window,
               std::unique_ptr<platform::TrayIcon> backend = nullptr);
    ~MyTrayIcon();
    MyTrayIcon(const MyTrayIcon&) = delete;
    MyTrayIcon& operator=(const MyTrayIcon&) = delete;

    bool LoadIcon1();
    bool MakeRecord1();
    bool Add();
    // "Vantri is still here!" for 5000 ms; false when it cannot be shown.
    bool Balloon();
    void Remove();

    // Whether the icon is in the notification area now.
    bool shown() const { return added_ && backend_->available(); }
    platform::TrayIcon& backend() { return *backend_; }

    void* instance;
    platform::PostTarget* window;
    std::uint32_t callbackMessage = kCallbackMessage;
    std::map<int, platform::IconImage> icons;
    std::map<int, bool> records; // id 1 once the icon is ready to be added

private:
    std::unique_ptr<platform::TrayIcon> backend_;
    bool added_ = false;
};
