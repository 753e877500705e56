#include "platform/linux/X11Capture.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace platform::linux_backend {

namespace {
// A request on a window that went away must not end the process, as Xlib's default handler would.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}
} // namespace

bool CaptureX11Window(SDL_Window* window, std::vector<std::uint32_t>& pixels, std::int32_t width,
                      std::int32_t height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || width <= 0 || height <= 0 || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return false;
    Display* display = info.info.x11.display;
    const ::Window xwindow = info.info.x11.window;
    XSync(display, False);
    auto* previous = XSetErrorHandler(IgnoreXError);
    XWindowAttributes attributes{};
    bool ok = XGetWindowAttributes(display, xwindow, &attributes) && attributes.map_state == IsViewable;
    XImage* image = ok ? XGetImage(display, xwindow, 0, 0, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), AllPlanes, ZPixmap)
                       : nullptr;
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!image)
        return false;
    pixels.assign(static_cast<std::size_t>(width) * height, 0);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
    XDestroyImage(image);
    return true;
}

} // namespace platform::linux_backend
