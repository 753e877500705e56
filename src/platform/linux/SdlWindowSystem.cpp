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
#include "platform/linux/RendererPresenter.h"
#include "platform/linux/WaylandProbe.h"
#include "platform/linux/X11Capture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

int VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + (key - SDLK_F1);
    switch (key) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_APPLICATION:
    case SDLK_MENU:
        return VK_APPS;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_LEFTBRACKET:
        return VK_OEM_4;
    case SDLK_BACKSLASH:
        return VK_OEM_5;
    case SDLK_RIGHTBRACKET:
        return VK_OEM_6;
    case SDLK_AUDIOPLAY:
        return VK_MEDIA_PLAY_PAUSE;
    case SDLK_AUDIOSTOP:
        return VK_MEDIA_STOP;
    case SDLK_AUDIONEXT:
        return VK_MEDIA_NEXT_TRACK;
    case SDLK_AUDIOPREV:
        return VK_MEDIA_PREV_TRACK;
    case SDLK_AUDIOREWIND:
        return VK_MEDIA_REWIND;
    case SDLK_AUDIOFASTFORWARD:
        return VK_MEDIA_FAST_FORWARD;
    case SDLK_MINUS:
        return VK_OEM_MINUS;
    case SDLK_EQUALS:
        return VK_OEM_PLUS;
    case SDLK_KP_MINUS:
        return VK_SUBTRACT;
    case SDLK_KP_PLUS:
        return VK_ADD;
    default:
        return 0;
    }
}

std::uintptr_t ModifierFlags() {
    const SDL_Keymod mod = SDL_GetModState();
    return ((mod & KMOD_SHIFT) ? MK_SHIFT : 0) | ((mod & KMOD_CTRL) ? MK_CONTROL : 0);
}

std::uintptr_t ButtonFlags(Uint32 state) {
    return ((state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0) | ((state & SDL_BUTTON_RMASK) ? MK_RBUTTON : 0) |
           ((state & SDL_BUTTON_MMASK) ? MK_MBUTTON : 0) | ModifierFlags();
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

class SdlWindowSystem;

// The largest shift of a new window's client area that is taken for the window manager's frame, pixels.
constexpr std::int32_t kMaxFrameShift = 64;

class SdlWindow : public WindowCore {
public:
    SdlWindow(SdlWindowSystem& system, SDL_Window* window, DeviceScale scale, bool wayland);
    ~SdlWindow() override;

    Uint32 id() const { return id_; }

    DeviceScale scale() const override { return scale_; }
    // Device pixels per unit of SDL's coordinates: 1 on X11, the window's buffer scale on Wayland.
    int Unit() const {
        if (!wayland_ || !window_)
            return 1;
        int w = 0, h = 0, pw = 0, ph = 0;
        SDL_GetWindowSize(window_, &w, &h);
        SDL_GetWindowSizeInPixels(window_, &pw, &ph);
        return w > 0 && pw >= w ? pw / w : 1;
    }
    // The client area's size in device pixels.
    Point DeviceSize() const {
        if (!window_)
            return {0, 0};
        int w = 0, h = 0;
        if (wayland_)
            SDL_GetWindowSizeInPixels(window_, &w, &h);
        else
            SDL_GetWindowSize(window_, &w, &h);
        return {w, h};
    }
    // Logical pixels covering the whole client area.
    Point ClientSize() const override {
        const Point size = DeviceSize();
        return {scale_.ToLogicalEdge(size.x), scale_.ToLogicalEdge(size.y)};
    }
    Rect WindowRect() const override {
        int x = 0, y = 0;
        if (window_)
            SDL_GetWindowPosition(window_, &x, &y);
        x *= Unit();
        y *= Unit();
        const Point size = ClientSize();
        const std::int32_t left = scale_.ToLogicalEdge(x), top = scale_.ToLogicalEdge(y);
        return {left, top, left + size.x, top + size.y};
    }
    Point ScreenToClient(Point screen) const override {
        const Rect r = WindowRect();
        return {screen.x - r.left, screen.y - r.top};
    }
    void SetTitle(const std::u16string& title) override {
        if (window_)
            SDL_SetWindowTitle(window_, Utf16ToUtf8(title).c_str());
    }
    std::u16string Title() const override {
        return window_ ? Utf8ToUtf16(SDL_GetWindowTitle(window_)) : std::u16string();
    }
    void Show(bool show) override {
        if (!window_)
            return;
        if (show)
            SDL_ShowWindow(window_);
        else
            SDL_HideWindow(window_);
    }
    bool visible() const override { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN); }
    void Minimize() override {
        if (window_)
            SDL_MinimizeWindow(window_);
    }
    bool maximized() const override {
        return window_ && (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN |
                                                          SDL_WINDOW_FULLSCREEN_DESKTOP)) != 0;
    }
    SDL_Window* native() const { return window_; }
    void BringToFront() override {
        // Raising maps nothing: a window hidden in the notification area stays hidden.
        if (window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) {
            SDL_RaiseWindow(window_);
            if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED))
                SDL_SetWindowInputFocus(window_);
        }
    }
    void SetMinimumSize(std::int32_t width, std::int32_t height) override {
        if (window_)
            SDL_SetWindowMinimumSize(window_, ToUnits(scale_.ToDevice(width)),
                                     ToUnits(scale_.ToDevice(height)));
    }
    void SetCapture() override {
        WindowCore::SetCapture();
        SDL_CaptureMouse(SDL_TRUE);
    }
    void ReleaseCapture() override {
        WindowCore::ReleaseCapture();
        SDL_CaptureMouse(SDL_FALSE);
    }

    void Present(const PixelView& source, const Rect& rect) override {
        if (!window_)
            return;
        if (wayland_) {
            presenter_.Present(window_, source,
                               Rect{scale_.ToDevice(rect.left), scale_.ToDevice(rect.top),
                                    scale_.ToDevice(rect.right), scale_.ToDevice(rect.bottom)});
            return;
        }
        SDL_Surface* screen = SDL_GetWindowSurface(window_);
        if (!screen)
            return;
        const Rect device{scale_.ToDevice(rect.left), scale_.ToDevice(rect.top), scale_.ToDevice(rect.right),
                          scale_.ToDevice(rect.bottom)};
        const Rect area = IntersectRect(IntersectRect(device, Rect{0, 0, screen->w, screen->h}),
                                        Rect{0, 0, source.width, source.height});
        if (area.empty())
            return;
        if (SDL_MUSTLOCK(screen))
            SDL_LockSurface(screen);
        auto* base = static_cast<unsigned char*>(screen->pixels);
        const Uint32 format = screen->format->format;
        if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
            for (std::int32_t y = area.top; y < area.bottom; ++y)
                std::memcpy(base + static_cast<std::size_t>(y) * screen->pitch + area.left * 4u,
                            source.row(y) + area.left, static_cast<std::size_t>(area.width()) * 4);
        } else {
            for (std::int32_t y = area.top; y < area.bottom; ++y)
                SDL_ConvertPixels(area.width(), 1, SDL_PIXELFORMAT_RGB888, source.row(y) + area.left,
                                  area.width() * 4, format,
                                  base + static_cast<std::size_t>(y) * screen->pitch +
                                      static_cast<std::size_t>(area.left) * screen->format->BytesPerPixel,
                                  screen->pitch);
        }
        if (SDL_MUSTLOCK(screen))
            SDL_UnlockSurface(screen);
        const SDL_Rect update{area.left, area.top, area.width(), area.height()};
        SDL_UpdateWindowSurfaceRects(window_, &update, 1);
    }

    bool ReadScreen(std::vector<std::uint32_t>& pixels, std::int32_t& width, std::int32_t& height) override {
        const Point size = DeviceSize();
        width = size.x;
        height = size.y;
        return linux_backend::CaptureX11Window(window_, pixels, width, height);
    }

    void HandleWindowEvent(const SDL_WindowEvent& e);
    // The position given at creation is the client area's, as every position reported later is. A window
    // manager that put its frame there instead moves the client area by the frame's size when it
    // reparents the window; that first move is put right once (not reported), so that a saved position
    // does not creep from one start to the next. Device pixels.
    void ExpectPosition(Point position) {
        expected_ = position;
        expecting_ = true;
    }
    void HandleMouse(const SDL_Event& e);
    // SDL_TEXTINPUT and SDL_TEXTEDITING: committed text and an input method's composition.
    void HandleText(const SDL_Event& e);
    void SetTextInputArea(const Rect& area) override {
        const std::int32_t left = ToUnits(scale_.ToDevice(area.left)),
                           top = ToUnits(scale_.ToDevice(area.top));
        SDL_Rect r{left, top, ToUnits(scale_.ToDevice(area.right)) - left,
                   ToUnits(scale_.ToDevice(area.bottom)) - top};
        SDL_SetTextInputRect(&r);
    }

protected:
    void CloseNative() override {
        if (window_) {
            presenter_.Close();
            SDL_DestroyWindow(window_);
            window_ = nullptr;
        }
    }

private:
    // SDL's units for device pixels (rounded to the nearest unit).
    int ToUnits(std::int32_t device) const {
        const int unit = Unit();
        return unit == 1 ? device : static_cast<int>(std::lround(static_cast<double>(device) / unit));
    }

    SDL_Window* window_;
    Uint32 id_;
    DeviceScale scale_;
    bool wayland_;
    linux_backend::RendererPresenter presenter_;
    Point lastSize_;
    Point expected_;
    bool expecting_ = false;
    float wheelRest_ = 0; // wheel units not yet delivered
};

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

SdlWindow::~SdlWindow() {
    Destroy();
    static_cast<SdlWindowSystem&>(system_).Forget(this);
}

SdlWindow::SdlWindow(SdlWindowSystem& system, SDL_Window* window, DeviceScale scale, bool wayland)
    : WindowCore(system), window_(window), id_(SDL_GetWindowID(window)), scale_(scale), wayland_(wayland) {
    lastSize_ = ClientSize();
}

void SdlWindow::HandleWindowEvent(const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        Invalidate(ClientRect());
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        const Point size = ClientSize();
        if (size == lastSize_)
            break;
        Rect proposed = WindowRect();
        Send(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<std::intptr_t>(&proposed));
        if (proposed.width() != size.x || proposed.height() != size.y)
            SDL_SetWindowSize(window_, std::max(ToUnits(scale_.ToDevice(std::max(proposed.width(), 1))), 1),
                              std::max(ToUnits(scale_.ToDevice(std::max(proposed.height(), 1))), 1));
        lastSize_ = ClientSize();
        const bool maximized = (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) != 0;
        QueueInput(WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                   MakeSizeLParam(lastSize_.x, lastSize_.y));
        Invalidate(ClientRect());
        break;
    }
    case SDL_WINDOWEVENT_MOVED: {
        if (expecting_) {
            expecting_ = false;
            // A shift right and down by at most a frame's size is the window manager's frame.
            const std::int32_t dx = e.data1 - expected_.x, dy = e.data2 - expected_.y;
            if ((dx != 0 || dy != 0) && dx >= 0 && dy >= 0 && dx <= kMaxFrameShift && dy <= kMaxFrameShift) {
                SDL_SetWindowPosition(window_, expected_.x, expected_.y);
                break;
            }
        }
        Rect proposed = WindowRect();
        Send(WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&proposed));
        QueueInput(WM_MOVE, 0, MakePointLParam(proposed.left, proposed.top));
        break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        QueueInput(WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED: {
        lastSize_ = ClientSize();
        const bool maximized = e.event == SDL_WINDOWEVENT_MAXIMIZED;
        QueueInput(WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                   MakeSizeLParam(lastSize_.x, lastSize_.y));
        Invalidate(ClientRect());
        break;
    }
    case SDL_WINDOWEVENT_CLOSE:
        QueueInput(WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        QueueInput(WM_KILLFOCUS, 0, 0);
        break;
    default:
        break;
    }
}

void SdlWindow::HandleMouse(const SDL_Event& e) {
    const Point size = DeviceSize();
    const int unit = Unit();
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x * unit < size.x && y * unit < size.y; };
    // The logical pixel under a point of SDL's.
    auto logical = [&](int x, int y) {
        return MakePointLParam(scale_.ToLogical(x * unit), scale_.ToLogical(y * unit));
    };
    switch (e.type) {
    case SDL_MOUSEMOTION:
        if (hasCapture() || inside(e.motion.x, e.motion.y))
            QueueInput(WM_MOUSEMOVE, ButtonFlags(e.motion.state), logical(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        std::uint32_t message;
        if (e.button.button == SDL_BUTTON_LEFT)
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e.button.button == SDL_BUTTON_RIGHT)
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        else
            break;
        QueueInput(message, ButtonFlags(SDL_GetMouseState(nullptr, nullptr)),
                   logical(e.button.x, e.button.y));
        break;
    }
    case SDL_MOUSEWHEEL: {
        float notches = e.wheel.preciseY;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        wheelRest_ += notches * WHEEL_DELTA;
        const auto delta = static_cast<std::int32_t>(wheelRest_);
        if (delta == 0)
            break;
        wheelRest_ -= static_cast<float>(delta);
        const Rect r = WindowRect();
        QueueInput(WM_MOUSEWHEEL, MakeWheelWParam(delta, ButtonFlags(SDL_GetMouseState(nullptr, nullptr))),
                   MakePointLParam(r.left + scale_.ToLogical(e.wheel.mouseX * unit),
                                   r.top + scale_.ToLogical(e.wheel.mouseY * unit)));
        break;
    }
    default:
        break;
    }
}

void SdlWindow::HandleText(const SDL_Event& e) {
    if (e.type == SDL_TEXTINPUT) {
        // The input method commits: the composition (if any) ends and its result is typed.
        EndComposition();
        QueueText(Utf8ToUtf16(e.text.text));
        return;
    }
    const std::u16string text = Utf8ToUtf16(e.edit.text);
    if (text.empty()) {
        EndComposition();
        return;
    }
    // SDL counts the caret in characters; the program counts UTF-16 units.
    std::int32_t caret = 0;
    for (std::int32_t characters = 0;
         caret < static_cast<std::int32_t>(text.size()) && characters < e.edit.start; ++characters) {
        const char16_t unit = text[static_cast<std::size_t>(caret)];
        caret +=
            (unit >= 0xD800 && unit < 0xDC00 && caret + 1 < static_cast<std::int32_t>(text.size())) ? 2 : 1;
    }
    UpdateComposition(text, caret);
}

} // namespace

std::unique_ptr<WindowSystem> OpenDesktopWindowSystem() {
    auto system = std::make_unique<SdlWindowSystem>();
    if (!system->Open())
        return nullptr;
    return system;
}

} // namespace platform
