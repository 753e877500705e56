// The desktop window system on SDL2 (Wayland driver where a compositor with a seat answers, else x11):
// native events become Win32-numbered window messages, posts from other threads wake SDL's event wait,
// and painting transfers only the invalid rectangle of the window surface (X11) or of a streaming
// texture the size of the window's pixels (Wayland). The program's coordinates are logical pixels:
// every one it sees is divided by the device scale chosen when the system opens, and every one it gives
// is multiplied by it. SDL's own coordinates are device pixels on X11 and points on Wayland, where one
// point covers the output's buffer scale of device pixels.

#include "platform/DeviceScale.h"
#include "platform/Environment.h"
#include "platform/Utf.h"
#include "platform/WindowCore.h"
#include "platform/linux/ForkedChildren.h"
#include "platform/linux/SdlWindow.h"
#include "platform/linux/WaylandProbe.h"
#include "platform/linux/X11Capture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

using linux_backend::SdlWindow;
using linux_backend::SurfaceDeleter;
using linux_backend::VirtualKey;

class SdlWindowSystem : public WindowSystemCore {
public:
    SdlWindowSystem() = default;
    ~SdlWindowSystem() override {
        UninstallMessageBoxSink();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool Open() {
        // A click that activates the window is also a click, as on Windows.
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        // The window surface is the X server's own image, not a texture: no OpenGL is loaded for it.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        // SIGINT and SIGTERM belong to the program (platform/TerminationSignals.h), and closing the last
        // window is the program's decision, so SDL makes no quit events of its own.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        if (!InitVideo())
            return false;
        wayland_ = std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0;
        if (wayland_)
            unit_ = std::max(offer_ ? offer_->outputScale : 1, 1);
        // On Wayland the output's scale is the desktop's; X11's Xft.dpi is not asked.
        scale_ = DesktopDeviceScale(wayland_ ? std::optional<double>(unit_) : std::nullopt);
        wakeEvent_ = SDL_RegisterEvents(1);
        return wakeEvent_ != static_cast<Uint32>(-1);
    }

    std::unique_ptr<Window> CreateNativeWindow(const WindowParams& params) override {
        if (!IsClassRegistered(params.className))
            return nullptr;
        // On Wayland the window's pixels are its buffer's (crisp at any buffer scale), and a popup is a
        // borderless toplevel of its own, placed by the compositor: SDL 2.26 makes an xdg popup of a popup
        // menu window without the parent the protocol needs, which ends the connection.
        Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
        if (params.popup && wayland_)
            flags = SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS;
        else if (params.popup)
            flags = SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                    SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_POPUP_MENU;
        if (wayland_)
            flags |= SDL_WINDOW_ALLOW_HIGHDPI;
        const Point position{scale_.ToDevice(params.x), scale_.ToDevice(params.y)};
        SDL_Window* native =
            SDL_CreateWindow(Utf16ToUtf8(params.title).c_str(), ToUnits(position.x), ToUnits(position.y),
                             std::max(ToUnits(scale_.ToDevice(std::max(params.width, 1))), 1),
                             std::max(ToUnits(scale_.ToDevice(std::max(params.height, 1))), 1), flags);
        if (!native)
            return nullptr;
        if (params.popup) {
            // A menu takes the keys at once, so that a click elsewhere takes the focus away and closes it.
            SDL_RaiseWindow(native);
            SDL_SetWindowInputFocus(native);
            auto window = std::make_unique<SdlWindow>(*this, native, scale_, wayland_);
            windows_.push_back(window.get());
            return window;
        }
        const IconImage* icon = params.icon ? params.icon : ClassIcon(params.className);
        if (icon && icon->width > 0 && icon->height > 0 &&
            icon->pixels.size() == static_cast<std::size_t>(icon->width) * icon->height) {
            std::unique_ptr<SDL_Surface, SurfaceDeleter> surface(SDL_CreateRGBSurfaceWithFormatFrom(
                const_cast<std::uint32_t*>(icon->pixels.data()), icon->width, icon->height, 32,
                icon->width * 4, SDL_PIXELFORMAT_ARGB8888));
            if (surface)
                SDL_SetWindowIcon(native, surface.get());
        }
        auto window = std::make_unique<SdlWindow>(*this, native, scale_, wayland_);
        // A Wayland compositor places windows itself and puts no frame around the position.
        if (!wayland_)
            window->ExpectPosition(position);
        windows_.push_back(window.get());
        return window;
    }

    void Forget(SdlWindow* window) {
        windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    }

    bool SetClipboardText(const std::u16string& text) override {
        return SDL_SetClipboardText(Utf16ToUtf8(text).c_str()) == 0;
    }
    bool GetClipboardText(std::u16string& text) override {
        if (!SDL_HasClipboardText())
            return false;
        char* utf8 = SDL_GetClipboardText();
        if (!utf8)
            return false;
        text = Utf8ToUtf16(utf8);
        SDL_free(utf8);
        return true;
    }
    Rect WorkArea(Point logicalPoint) const override {
        const Point screenPoint{ToUnits(scale_.ToDevice(logicalPoint.x)),
                                ToUnits(scale_.ToDevice(logicalPoint.y))};
        const int count = SDL_GetNumVideoDisplays();
        int chosen = 0;
        long long best = -1;
        for (int i = 0; i < count; ++i) {
            SDL_Rect r;
            if (SDL_GetDisplayBounds(i, &r) != 0)
                continue;
            // Distance from the point to the display's bounds; 0 when inside.
            const long long dx =
                screenPoint.x < r.x ? r.x - screenPoint.x : std::max(0, screenPoint.x - (r.x + r.w - 1));
            const long long dy =
                screenPoint.y < r.y ? r.y - screenPoint.y : std::max(0, screenPoint.y - (r.y + r.h - 1));
            const long long distance = dx * dx + dy * dy;
            if (best < 0 || distance < best) {
                best = distance;
                chosen = i;
            }
        }
        SDL_Rect area;
        if (SDL_GetDisplayUsableBounds(chosen, &area) != 0 && SDL_GetDisplayBounds(chosen, &area) != 0)
            area = SDL_Rect{0, 0, ToUnits(scale_.ToDevice(1024)), ToUnits(scale_.ToDevice(768))};
        return {scale_.ToLogicalEdge(area.x * unit_), scale_.ToLogicalEdge(area.y * unit_),
                scale_.ToLogicalEdge((area.x + area.w) * unit_),
                scale_.ToLogicalEdge((area.y + area.h) * unit_)};
    }
    Point CursorPosition() const override {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        return {scale_.ToLogical(x * unit_), scale_.ToLogical(y * unit_)};
    }
    bool IsKeyDown(int virtualKey) const override {
        // SDL's own state is that after every event pumped so far; a key message handled now may have
        // come long before the modifiers were let go.
        const std::int32_t held =
            retrievedModifiers() >= 0 ? retrievedModifiers() : Modifiers(SDL_GetModState());
        switch (virtualKey) {
        case VK_CONTROL:
            return (held & MK_CONTROL) != 0;
        case VK_SHIFT:
            return (held & MK_SHIFT) != 0;
        case VK_MENU:
            return (held & kModifierAlt) != 0;
        default:
            break;
        }
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        for (int scancode = 0; scancode < count; ++scancode) {
            if (state[scancode] &&
                VirtualKey(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode))) == virtualKey)
                return true;
        }
        return false;
    }
    bool OpenWebLink(const std::u16string& address) override {
        return SDL_OpenURL(Utf16ToUtf8(address).c_str()) == 0;
    }
    void Wake() override {
        SDL_Event e{};
        e.type = wakeEvent_;
        SDL_PushEvent(&e);
    }

protected:
    void PumpNative(bool wait) override {
        SDL_Event e;
        if (wait) {
            if (!SDL_WaitEvent(&e))
                return;
            Handle(e);
        }
        while (SDL_PollEvent(&e))
            Handle(e);
        // A lost compositor ends the program as a lost X server does, but through its own shutdown.
        if (wayland_ && !connectionLost_ && !windows_.empty() &&
            linux_backend::WaylandConnectionFailed(windows_.front()->native())) {
            connectionLost_ = true;
            std::fputs("vantri: the connection to the Wayland compositor failed\n", stderr);
            PostQuitMessage(1);
        }
    }
    BoxRunner PrepareMessageBox(const std::u16string& text, const std::u16string& caption,
                                MessageBoxButtons buttons, Window* owner) override {
        SDL_Window* parent = owner ? static_cast<SdlWindow*>(owner)->native() : nullptr;
        // SDL shows the box from a process of its own with its own display connection, so the helper
        // thread touches none of this thread's SDL state.
        return [message = Utf16ToUtf8(text), title = Utf16ToUtf8(caption), buttons, parent] {
            SDL_MessageBoxButtonData choices[2];
            int count = 0;
            if (buttons == MessageBoxButtons::YesNo) {
                choices[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"};
                choices[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"};
            } else {
                choices[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT |
                                        SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                    1, "OK"};
            }
            const Uint32 kind =
                buttons == MessageBoxButtons::YesNo ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_ERROR;
            const SDL_MessageBoxData data{kind | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
                                          parent,
                                          title.c_str(),
                                          message.c_str(),
                                          count,
                                          choices,
                                          nullptr};
            int chosen = -1;
            // SDL's box process ends with this thread, at the latest when the program ends.
            const linux_backend::ChildEndsWithParent endsWithProgram;
            if (SDL_ShowMessageBox(&data, &chosen) != 0)
                return buttons == MessageBoxButtons::YesNo ? MessageBoxResult::No : MessageBoxResult::Ok;
            if (buttons == MessageBoxButtons::YesNo)
                return chosen == 1 ? MessageBoxResult::Yes : MessageBoxResult::No;
            return MessageBoxResult::Ok;
        };
    }

private:
    // Chooses the driver and starts SDL's video: the user's SDL_VIDEODRIVER as it is; else Wayland when
    // WAYLAND_DISPLAY names a compositor with a seat and SDL's Wayland driver opens there, else x11.
    bool InitVideo() {
        const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
        const bool askWayland =
            chosen ? std::strcmp(chosen, "wayland") == 0 : GetEnv("WAYLAND_DISPLAY").has_value();
        if (askWayland)
            offer_ = linux_backend::ProbeWayland();
        if (askWayland && offer_ && !offer_->seat) {
            // SDL 2.26's Wayland driver ends the process on a compositor without a seat.
            std::fputs("vantri: the Wayland compositor offers no seat (keyboard, pointer)\n", stderr);
            if (chosen)
                return false;
        }
        if (chosen)
            return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        if (askWayland && offer_ && offer_->seat) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
                return true;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    // SDL's units (device pixels over the output's buffer scale) for device pixels.
    int ToUnits(std::int32_t device) const {
        return unit_ == 1 ? device : static_cast<int>(std::lround(static_cast<double>(device) / unit_));
    }

    SdlWindow* Find(Uint32 id) {
        for (SdlWindow* w : windows_) {
            if (w->id() == id)
                return w;
        }
        return nullptr;
    }

    void Handle(const SDL_Event& e) {
        switch (e.type) {
        case SDL_WINDOWEVENT:
            if (SdlWindow* w = Find(e.window.windowID))
                w->HandleWindowEvent(e.window);
            break;
        case SDL_MOUSEMOTION:
            if (SdlWindow* w = Find(e.motion.windowID))
                w->HandleMouse(e);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (SdlWindow* w = Find(e.button.windowID))
                w->HandleMouse(e);
            break;
        case SDL_MOUSEWHEEL:
            if (SdlWindow* w = Find(e.wheel.windowID))
                w->HandleMouse(e);
            break;
        case SDL_TEXTINPUT:
            if (SdlWindow* w = Find(e.text.windowID))
                w->HandleText(e);
            break;
        case SDL_TEXTEDITING:
            if (SdlWindow* w = Find(e.edit.windowID))
                w->HandleText(e);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (SdlWindow* w = Find(e.key.windowID)) {
                const int vk = VirtualKey(e.key.keysym.sym);
                if (vk != 0)
                    QueueKey(w, vk, e.type == SDL_KEYDOWN, e.key.repeat != 0,
                             Modifiers(static_cast<SDL_Keymod>(e.key.keysym.mod)));
            }
            break;
        default:
            break; // SDL_QUIT is ignored: closing arrives per window as WM_CLOSE
        }
    }

    void QueueKey(SdlWindow* w, int vk, bool down, bool repeat, std::int32_t modifiers) {
        const std::intptr_t lParam =
            down ? (repeat ? 0x40000001 : 1) : static_cast<std::intptr_t>(0xC0000001u);
        QueueInput(
            Message{w, down ? WM_KEYDOWN : WM_KEYUP, static_cast<std::uintptr_t>(vk), lParam, modifiers});
    }
    static std::int32_t Modifiers(SDL_Keymod mod) {
        return ((mod & KMOD_SHIFT) ? static_cast<std::int32_t>(MK_SHIFT) : 0) |
               ((mod & KMOD_CTRL) ? static_cast<std::int32_t>(MK_CONTROL) : 0) |
               ((mod & KMOD_ALT) ? kModifierAlt : 0);
    }

    Uint32 wakeEvent_ = 0;
    DeviceScale scale_;
    bool wayland_ = false;
    bool connectionLost_ = false;
    int unit_ = 1; // device pixels per SDL unit before a window says otherwise
    std::optional<linux_backend::WaylandOffer> offer_;
    std::vector<SdlWindow*> windows_;
};

} // namespace

namespace linux_backend {

void ForgetSdlWindow(WindowSystemCore& system, SdlWindow* window) {
    static_cast<SdlWindowSystem&>(system).Forget(window);
}

} // namespace linux_backend

std::unique_ptr<WindowSystem> OpenDesktopWindowSystem() {
    auto system = std::make_unique<SdlWindowSystem>();
    if (!system->Open())
        return nullptr;
    return system;
}

} // namespace platform
