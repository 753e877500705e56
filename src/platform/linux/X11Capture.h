#pragma once
// Reads a window's client area back from the X server (the Linux backend's screenshot).

#include <cstdint>
#include <vector>

struct SDL_Window;

namespace platform::linux_backend {

// 0x00RRGGBB pixels, top row first; false when the window is not an X11 window or not viewable.
bool CaptureX11Window(SDL_Window* window, std::vector<std::uint32_t>& pixels, std::int32_t width,
                      std::int32_t height);

} // namespace platform::linux_backend
