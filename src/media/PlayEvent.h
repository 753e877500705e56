#pragma once
// The play events the media thread reports to the main window.

#include <cstdint>

enum PlayEvent : std::int32_t {
    PlayEvent_Playing = 0,
    PlayEvent_Stopped = 1, // known to the main window; the media thread never reports it
    PlayEvent_Paused = 2,
};
