#pragma once
// The play events and playback failures the media thread reports to the main window.

#include <cstdint>

enum PlayEvent : std::int32_t {
    PlayEvent_Playing = 0,
    PlayEvent_Stopped = 1, // known to the main window; the media thread never reports it
    PlayEvent_Paused = 2,
};

// Why playback of the current stream cannot go on. Each is reported right after the error box that tells
// the user, so that a front end can act on it without reading the box's text.
enum PlaybackFailure : std::int32_t {
    PlaybackFailure_DecoderStart = 0,  // no decoder could be started on the stream's data
    PlaybackFailure_NoAudioDevice = 1, // no audio device is open, so nothing can be played
};
