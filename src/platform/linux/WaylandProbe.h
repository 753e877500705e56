#pragma once
// What a Wayland compositor offers, asked over a connection of our own before SDL is given the display:
// SDL 2.26's Wayland driver crashes on a compositor without a seat, so such a compositor is not used.

#include <optional>

struct SDL_Window;

namespace platform::linux_backend {

struct WaylandOffer {
    bool seat = false;   // a wl_seat (keyboard, pointer) is announced
    int outputScale = 1; // the largest wl_output scale, 1 when no output says
};

// Nothing when WAYLAND_DISPLAY names no compositor that answers.
std::optional<WaylandOffer> ProbeWayland();

// Whether the Wayland connection `window` lives on has failed (the compositor went away or ended it for a
// protocol error). SDL 2.26 goes on polling a failed connection without end, where Xlib ends the process.
bool WaylandConnectionFailed(SDL_Window* window);

} // namespace platform::linux_backend
