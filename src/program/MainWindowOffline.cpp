// Shows kept for offline listening, as the main window handles them: the stream menu's two commands, and
// the progress line in the status text while a show is being kept.
#include "app/MyAppContext.h"
#include "net/MyNetworkHandler.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyStationComboPanel.h"
#include "platform/Utf.h"
#include "program/MainWindow.h"

#include <string>

void MainWindow::KeepOffline() {
    const MyLinkValue link = appContext->menuLink.Get();
    MyStationComboPanel* chooser = infoTabPanel ? infoTabPanel->stationPage : nullptr;
    if (!chooser || !appContext->networkHandler)
        return;
    auto station = chooser->stationsById.find(link.stationId);
    if (station == chooser->stationsById.end() || !station->second)
        return;
    auto stream = station->second->streams.find(link.streamId);
    if (stream == station->second->streams.end() || !stream->second)
        return;
    chooser->SetKeptOffline(link.stationId, link.streamId, true);
    appContext->networkHandler->KeepShow(*stream->second, station->second->name);
}

void MainWindow::ForgetOffline() {
    const MyLinkValue link = appContext->menuLink.Get();
    if (appContext->networkHandler)
        appContext->networkHandler->ForgetShow(link.stationId, link.streamId);
}

void MainWindow::OnKeepProgress(std::int32_t stationId, std::int32_t streamId, std::int32_t percent) {
    if (infoTabPanel && infoTabPanel->stationPage)
        infoTabPanel->stationPage->SetKeptOffline(stationId, streamId, percent >= 0);
    // Shows already whole at the start say nothing; the one being kept shows how far it has come.
    if (percent < 0) {
        SetStatusText(u"Offline copy forgotten");
        return;
    }
    if (percent == 100 && !keepingShown_)
        return;
    keepingShown_ = percent < 100;
    SetStatusText(percent < 100
                      ? u"Keeping for offline listening: " + Utf8ToUtf16(std::to_string(percent)) + u" %"
                      : std::u16string(u"Kept for offline listening"));
}
