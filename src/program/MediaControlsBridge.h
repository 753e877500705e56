#pragma once
// Keeps the desktop's media controls (MPRIS) in step with the main window, and turns their commands into
// the window's own actions: play/pause and stop as the media keys do, next and previous track, seeking
// through the position slider's path, volume through the volume slider's path (so the settings follow),
// raise and quit as the notification icon and its menu do. User-interface thread only.

#include "platform/MediaControls.h"

#include <cstdint>
#include <memory>

class MainWindow;

class MediaControlsBridge {
public:
    // The window message the controls post their commands as (WM_USER + 3).
    static constexpr std::uint32_t kCommandMessage = 1027;

    // `controls` null: the desktop's own, posting to the main window's native window.
    MediaControlsBridge(MainWindow& window, std::unique_ptr<platform::MediaControls> controls = nullptr);

    // Publishes the window's state now; the desktop hears only of what changed.
    void Update();
    // One command message.
    void HandleCommand(std::uintptr_t wParam, std::intptr_t lParam);

    // What the window shows, as the desktop's controls describe it.
    static platform::MediaState StateOf(const MainWindow& window);

private:
    MainWindow& window_;
    std::unique_ptr<platform::MediaControls> controls_;
    platform::MediaState published_;
};
