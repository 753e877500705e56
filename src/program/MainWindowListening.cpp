// The main window's listening controls: skips in the show playing, its playback speed, the sleep timer
// and loudness levelling.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "media/MyMediaHandler.h"
#include "panels/MyPlayControlPanel.h"
#include "program/Commands.h"
#include "program/MainWindow.h"
#include "ui/MyPopupMenu.h"

#include <algorithm>
#include <cmath>

namespace {

// The speed menu, opened by a click on the speed shown in the play panel.
constexpr std::int32_t kSpeedMenu = 117;

} // namespace

void MainWindow::SeekBy(double seconds) {
    if (!currentStream || currentStream->duration == 0 || !std::isfinite(seconds))
        return;
    const double duration = currentStream->duration;
    const double target = std::clamp(static_cast<double>(playPosition) * duration + seconds, 0.0, duration);
    const float fraction = static_cast<float>(target / duration);
    if (appContext->mediaHandler)
        appContext->mediaHandler->SetPlayPos(fraction);
    playPosition = fraction;
    if (playControlPanel && playControlPanel->posBar && !playControlPanel->posBar->dragging)
        playControlPanel->posBar->SetPosition(fraction);
}

void MainWindow::SetPlaySpeed(std::int32_t tenths) {
    tenths = std::clamp(tenths, MyPlaySpeeds::kMinTenths, MyPlaySpeeds::kMaxTenths);
    // Before any show was chosen there is no show to keep it for; it still applies to what plays.
    if (stationId != 0 || streamId != 0)
        playSpeeds.Set(stationId, streamId, tenths);
    if (tenths != playSpeed) {
        playSpeed = tenths;
        if (appContext->mediaHandler)
            appContext->mediaHandler->SetPlaySpeed(tenths);
    }
    ShowPlaySpeed();
}

void MainWindow::ApplyShowSpeed() {
    const std::int32_t tenths = playSpeeds.Get(stationId, streamId);
    if (tenths != playSpeed) {
        playSpeed = tenths;
        if (appContext->mediaHandler)
            appContext->mediaHandler->SetPlaySpeed(tenths);
    }
    ShowPlaySpeed();
}

void MainWindow::ShowPlaySpeed() {
    if (playControlPanel && playControlPanel->speedTextBar)
        playControlPanel->speedTextBar->SetTextBarText(FormatPlaySpeed(playSpeed), true);
}

void MainWindow::OnSpeedClicked(std::int32_t) {
    if (!window || !instance)
        return;
    const POINT cursor = PopupMenuPoint(windowContext);
    OpenPopupMenu(windowContext, kSpeedMenu, cursor, MyPopupMenuAlign_Bottom);
}

void MainWindow::SleepCommand(std::uint32_t command) {
    if (command == kCommand_SleepNext) {
        // Off, 15, 30, 60 minutes, the end of the track, off again.
        if (!sleepTimer.running())
            command = kCommand_Sleep15;
        else if (sleepTimer.mode() == MySleepTimer::Mode_EndOfTrack)
            command = kCommand_SleepOff;
        else if (sleepTimer.minutes() <= 15)
            command = kCommand_Sleep30;
        else if (sleepTimer.minutes() <= 30)
            command = kCommand_Sleep60;
        else
            command = kCommand_SleepEndOfTrack;
    }
    switch (command) {
    case kCommand_Sleep15:
        sleepTimer.StartMinutes(15);
        break;
    case kCommand_Sleep30:
        sleepTimer.StartMinutes(30);
        break;
    case kCommand_Sleep60:
        sleepTimer.StartMinutes(60);
        break;
    case kCommand_SleepEndOfTrack:
        sleepTimer.StartEndOfTrack();
        sleepTrack = TrackAroundPosition();
        break;
    default:
        sleepTimer.Stop();
        break;
    }
    // A new choice starts from the full volume; the next position carries on from there.
    SendSleepGain(1.0f);
    StepSleepTimer();
}

std::pair<double, double> MainWindow::TrackAroundPosition() const {
    if (!currentStream)
        return {0, 0};
    const double duration = currentStream->duration;
    std::pair<double, double> track{0, duration};
    if (const auto found = FindTrackAt(PlaySecondOf(playPosition, currentStream->duration))) {
        track.first = found->start;
        if (found->nextStart > found->start)
            track.second = std::min(duration, static_cast<double>(found->nextStart));
    }
    return track;
}

void MainWindow::StepSleepTimer() {
    if (!sleepTimer.running())
        return;
    const double now = currentStream ? static_cast<double>(playPosition) * currentStream->duration : 0.0;
    // A seek out of the track waited for waits for the end of the track it went to.
    if (sleepTimer.mode() == MySleepTimer::Mode_EndOfTrack &&
        (now < sleepTrack.first - 1 || now > sleepTrack.second + 1))
        sleepTrack = TrackAroundPosition();
    const double toEnd = sleepTrack.second - now;
    const MySleepTimer::Step step = sleepTimer.Advance(sleepClock(), playState == 1, toEnd, playSpeed / 10.0);
    if (!step.pause) {
        SendSleepGain(step.gain);
        return;
    }
    // Time is up: pause, keep the place for the next listen, and give the volume back while paused.
    if (appContext->mediaHandler)
        appContext->mediaHandler->Pause();
    if (MySettings* settings = appContext->settings; settings && currentStream) {
        settings->lastStationId = stationId;
        settings->lastStreamId = streamId;
        settings->lastSecond = PlaySecondOf(playPosition, currentStream->duration);
        settings->Save();
    }
    SendSleepGain(1.0f);
}

void MainWindow::SendSleepGain(float gain) {
    // The fade moves in steps of at least a hundredth; the full volume always comes back.
    if (gain == sleepGain || (gain != 1.0f && std::fabs(gain - sleepGain) < 0.01f))
        return;
    sleepGain = gain;
    const MySettings* settings = appContext->settings;
    const float volume = settings ? settings->volume : MySettings::kDefaultVolume;
    if (appContext->mediaHandler)
        appContext->mediaHandler->SetVolume(volume * gain, 0.0f);
}

void MainWindow::ToggleLoudnessLevelling() {
    MySettings* settings = appContext->settings;
    const bool on = !(settings && settings->HasFlag(SettingsFlag_LevelLoudness));
    if (settings) {
        settings->SetFlag(SettingsFlag_LevelLoudness, on);
        settings->Save();
    }
    if (appContext->mediaHandler)
        appContext->mediaHandler->SetLoudnessLevelling(on);
}
