#pragma once
// The desktop's media controls and the keyboard's media keys (Linux: MPRIS 2 on the session bus as
// org.mpris.MediaPlayer2.vantri). The program publishes what is playing; the desktop's commands come
// back as window messages.
//
// Threads: Publish and Seeked are called on the user-interface thread only. The backend answers the
// desktop on a thread of its own, from the last published state, so the desktop never waits for the
// user-interface thread. Commands are posted to the window given to Create as message `commandMessage`
// with wParam a MediaCommand and lParam its argument (below); the window handles them like its own
// buttons and then publishes the new state. Nothing is posted after the object is destroyed.

#include "platform/PostTarget.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class PlaybackStatus { Stopped, Playing, Paused };

struct MediaState {
    PlaybackStatus status = PlaybackStatus::Stopped;
    // The current track: ids that make it unique (its object path is built from them), its texts and the
    // length of the whole stream. No track when trackId is empty.
    std::string trackId;   // letters, digits and '_' only
    std::u16string artist; // the track's artist
    std::u16string title;  // the track's title
    std::u16string album;  // the station and the show
    std::int64_t lengthMicroseconds = 0;
    std::int64_t positionMicroseconds = 0; // where playback is now
    double volume = 1;                     // 0 to 1
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canSeek = false;
    bool canPlay = false;
    bool canPause = false;

    bool operator==(const MediaState&) const = default;
};

// What the desktop asked for: the wParam of each command message.
enum class MediaCommand : std::uintptr_t {
    PlayPause = 1,
    Play = 2,
    Pause = 3,
    Stop = 4,
    Next = 5,
    Previous = 6,
    Seek = 7,        // lParam: microseconds to move by (negative: back)
    SetPosition = 8, // lParam: the position in microseconds (only for the current track)
    SetVolume = 9,   // lParam: the volume in millionths (0 to 1000000)
    Raise = 10,      // show the window and bring it to the front
    Quit = 11,       // end the program
};

class MediaControls {
public:
    virtual ~MediaControls() = default;
    // Whether the desktop can see the controls (a session bus was reached and the name taken).
    virtual bool available() const = 0;
    // Publishes `state`; the desktop is told of every property that changed. A change of position alone
    // is not announced (the desktop asks when it wants it).
    virtual void Publish(const MediaState& state) = 0;
    // Tells the desktop that playback jumped to `positionMicroseconds` (after a seek or a track change).
    virtual void Seeked(std::int64_t positionMicroseconds) = 0;
};

// The controls for `window`. An object whose available() is false when there is no session bus.
std::unique_ptr<MediaControls> CreateMediaControls(PostTarget* window, std::uint32_t commandMessage);

} // namespace platform
