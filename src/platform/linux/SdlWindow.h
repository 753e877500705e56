#pragma once
// A window of the desktop window system on SDL2: its size, place and pixels in the program's logical
// pixels, and its native events turned into Win32-numbered window messages. SDL's own coordinates are
// device pixels on X11 and points on Wayland, where one point covers the output's buffer scale of device
// pixels.

#include "platform/DeviceScale.h"
#include "platform/Utf.h"
#include "platform/WindowCore.h"
#include "platform/linux/RendererPresenter.h"
#include "platform/linux/X11Capture.h"

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace platform::linux_backend {

// The virtual-key code of an SDL key; 0 for a key the program has no code for.
int VirtualKey(SDL_Keycode key);

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

class SdlWindow : public WindowCore {
public:
    SdlWindow(WindowSystemCore& system, SDL_Window* window, DeviceScale scale, bool wayland);
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

// Tells the window system a window is going, so that no event is routed to it any more.
void ForgetSdlWindow(WindowSystemCore& system, SdlWindow* window);

} // namespace platform::linux_backend
