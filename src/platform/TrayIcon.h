#pragma once
// The program's icon in the desktop's notification area, with its balloon. User-interface thread only.
//
// Clicks on the icon reach the window given to Add as a posted message `callbackMessage` (1025) whose
// lParam is WM_LBUTTONDOWN (513) for the primary click (show the window) or WM_RBUTTONDOWN (516) for
// the secondary click or context menu (the tray menu), as Shell_NotifyIconW reports them on Windows.
// Where the desktop has no notification area, `available()` is false, Add fails and nothing is shown;
// the program must then never hide its window where the user cannot find it again.

#include "platform/PostTarget.h"
#include "platform/Window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // Whether the desktop shows notification-area icons now.
    virtual bool available() const = 0;
    // NIM_ADD: shows `icon` (kept by the caller until Remove) with `tip`; false when it cannot be shown.
    virtual bool Add(const IconImage& icon, const std::u16string& tip, PostTarget* window,
                     std::uint32_t callbackMessage) = 0;
    // NIM_MODIFY with NIF_INFO: a balloon (desktop notification) for `timeoutMilliseconds`.
    virtual bool Balloon(const std::u16string& title, const std::u16string& text,
                         std::uint32_t timeoutMilliseconds) = 0;
    // NIM_DELETE. Harmless when not added.
    virtual void Remove() = 0;
};

// The desktop's notification area; an object whose `available()` is false where there is none.
std::unique_ptr<TrayIcon> CreateTrayIcon();

} // namespace platform
