#pragma once
// The media thread's play state, its stream-data request state and the play events it reports.

#include <cstdint>

enum PlayState : std::int32_t {
    PlayState_Stopped = 0, // nothing started yet (and, briefly, inside a start)
    PlayState_Playing = 1, // returned headers lead to more decoding
    PlayState_Paused = 2,  // the device is paused with its buffers held
};

enum RequestStatus : std::int32_t {
    RequestStatus_None = 0,
    RequestStatus_Mp3RequestPending = 1, // a stream-data request is outstanding
};

enum PlayEvent : std::int32_t {
    PlayEvent_Playing = 0,
    PlayEvent_Stopped = 1, // known to the main window; the media thread never reports it
    PlayEvent_Paused = 2,
};
