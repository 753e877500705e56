// The main window's listening controls: skips in the show playing and its playback speed.

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "panels/MyPlayControlPanel.h"
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
    const POINT cursor = window->ScreenToClient(instance->CursorPosition());
    OpenPopupMenu(windowContext, kSpeedMenu, cursor, MyPopupMenuAlign_Bottom);
}
