#include "program/MediaControlsBridge.h"

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "media/MyMediaHandler.h"
#include "panels/MyPlayControlPanel.h"
#include "platform/Utf.h"
#include "platform/WindowMessages.h"
#include "program/Commands.h"
#include "program/MainWindow.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr double kMicroseconds = 1e6;
// A position that moves further than this between two updates jumped (a seek or a new stream).
constexpr std::int64_t kJumpMicroseconds = 3'000'000;

std::int64_t StreamLength(const MainWindow& w) {
    return w.currentStream ? static_cast<std::int64_t>(w.currentStream->duration) * 1'000'000 : 0;
}

} // namespace

MediaControlsBridge::MediaControlsBridge(MainWindow& window,
                                         std::unique_ptr<platform::MediaControls> controls)
    : window_(window), controls_(std::move(controls)) {
    if (!controls_ && window.window)
        controls_ = platform::CreateMediaControls(window.window, kCommandMessage);
    Update();
}

platform::MediaState MediaControlsBridge::StateOf(const MainWindow& w) {
    platform::MediaState state;
    state.status = w.playState == 1   ? platform::PlaybackStatus::Playing
                   : w.playState == 2 ? platform::PlaybackStatus::Paused
                                      : platform::PlaybackStatus::Stopped;
    const MySettings* settings = w.appContext ? w.appContext->settings : nullptr;
    state.volume = settings ? settings->volume : MySettings::kDefaultVolume;
    if (!w.currentStream)
        return state;
    const StreamInfoData& stream = *w.currentStream;
    const std::u16string station = w.currentStation ? w.currentStation->name : std::u16string();
    state.trackId = std::to_string(w.stationId) + "_" + std::to_string(w.streamId);
    state.album = station.empty() ? stream.text1 : station + u" - " + stream.text1;
    if (w.trackList && w.trackIndex >= 0 && static_cast<std::size_t>(w.trackIndex) < w.trackList->size()) {
        const TrackInfo& track = (*w.trackList)[static_cast<std::size_t>(w.trackIndex)];
        state.trackId += "_" + std::to_string(w.trackIndex);
        state.artist = track.text1;
        state.title = track.text2;
    } else {
        state.artist = station;
        state.title = stream.text1;
    }
    state.lengthMicroseconds = StreamLength(w);
    state.positionMicroseconds = static_cast<std::int64_t>(
        std::llround(static_cast<double>(w.playPosition) * state.lengthMicroseconds));
    state.canGoNext = state.canGoPrevious = state.canSeek = true;
    state.canPlay = state.canPause = true;
    return state;
}

void MediaControlsBridge::Update() {
    if (!controls_ || !controls_->available())
        return;
    platform::MediaState state = StateOf(window_);
    if (state == published_)
        return;
    const bool jumped =
        state.trackId.empty() == published_.trackId.empty() &&
        std::llabs(state.positionMicroseconds - published_.positionMicroseconds) > kJumpMicroseconds;
    controls_->Publish(state);
    if (jumped)
        controls_->Seeked(state.positionMicroseconds);
    published_ = std::move(state);
}

void MediaControlsBridge::HandleCommand(std::uintptr_t wParam, std::intptr_t lParam) {
    MainWindow& w = window_;
    MyMediaHandler* media = w.appContext ? w.appContext->mediaHandler : nullptr;
    const std::int64_t length = StreamLength(w);
    switch (static_cast<platform::MediaCommand>(wParam)) {
    case platform::MediaCommand::PlayPause:
        w.HandleCommand(kCommand_MediaPlayPause);
        break;
    case platform::MediaCommand::Play:
        if (media && w.playState == 2)
            media->Continue();
        break;
    case platform::MediaCommand::Pause:
        if (media && w.playState == 1)
            media->Pause();
        break;
    case platform::MediaCommand::Stop:
        w.HandleCommand(kCommand_MediaStop);
        break;
    case platform::MediaCommand::Next:
        w.HandleCommand(kCommand_MediaNext);
        break;
    case platform::MediaCommand::Previous:
        w.HandleCommand(kCommand_MediaPrevious);
        break;
    case platform::MediaCommand::Seek:
        // Relative, as the media keys that seek send it: through the skip path, so that presses in quick
        // succession add up.
        w.SeekBy(static_cast<double>(lParam) / kMicroseconds);
        break;
    case platform::MediaCommand::SetPosition: {
        if (length <= 0)
            break;
        const double fraction =
            std::clamp(static_cast<double>(lParam) / static_cast<double>(length), 0.0, 1.0);
        w.OnPositionReleased(static_cast<float>(fraction));
        break;
    }
    case platform::MediaCommand::SetVolume: {
        const float volume = std::clamp(static_cast<float>(lParam / kMicroseconds), 0.0f, 1.0f);
        if (w.playControlPanel && w.playControlPanel->volumeBar)
            w.playControlPanel->volumeBar->SetVolumeValue(volume);
        w.OnVolumeChanged(volume);
        break;
    }
    case platform::MediaCommand::Raise:
        if (w.window) {
            w.window->Show(true);
            w.window->BringToFront();
        }
        break;
    case platform::MediaCommand::Quit:
        if (w.window)
            w.window->Post({platform::WM_COMMAND, kCommand_Exit, 0});
        break;
    }
    Update();
}
