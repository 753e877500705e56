// The main window's side of saved moments: Ctrl+B keeps the moment playing with its context, the station
// chooser lists them under "Moments" and plays them, and the moment menu copies or forgets one. Times
// written in the chat are moments too: a click on one seeks there.

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "net/ServerAddresses.h"
#include "panels/ChatLine.h"
#include "panels/MyChatPanel.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyStationComboPanel.h"
#include "platform/Utf.h"
#include "program/Commands.h"
#include "program/MainWindow.h"

#include <algorithm>
#include <chrono>

void MainWindow::SaveMoment() {
    if (!currentStream || playSecond < 0)
        return;
    MyMoment moment;
    moment.stationId = stationId;
    moment.streamId = streamId;
    moment.second = playSecond;
    moment.savedAt =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    if (trackList && trackIndex >= 0 && static_cast<std::size_t>(trackIndex) < trackList->size()) {
        const TrackInfo& track = (*trackList)[static_cast<std::size_t>(trackIndex)];
        moment.track = track.text1 + u" - " + track.text2;
    }
    // The chat the listener saw: the rows of the seconds before the chat second shown now.
    if (const StreamChatRowList* rows = CurrentShowChat()) {
        const std::int32_t chatSecond = ChatSecondFor(playSecond);
        const auto end =
            std::upper_bound(rows->begin(), rows->end(), chatSecond,
                             [](std::int32_t s, const StreamChatRow& row) { return s < row.time; });
        auto begin = end;
        while (begin != rows->begin() &&
               std::prev(begin)->time > chatSecond - MyMoments::kChatContextSeconds &&
               end - begin < static_cast<std::ptrdiff_t>(MyMoments::kMaxChatLines))
            --begin;
        for (auto row = begin; row != end; ++row)
            moment.chat.push_back(CleanChatText(ComposeChatLine(*row).text, MyMoments::kMaxTextLength));
    }
    moments.Add(std::move(moment));
    ShowMoments();
}

void MainWindow::ShowMoments() {
    MyStationComboPanel* page = infoTabPanel ? infoTabPanel->stationPage : nullptr;
    if (!page)
        return;
    page->moments = &moments.moments;
    page->RebuildList();
}

void MainWindow::OnChatTimeClicked(std::int32_t second, std::int32_t) {
    // A time written in the chat is a time of the show, as the listeners heard it.
    if (!currentStream || currentStream->duration == 0 || second < 0 ||
        static_cast<std::uint32_t>(second) > currentStream->duration)
        return;
    SendSetPlayPos(
        static_cast<float>(static_cast<double>(second) / static_cast<double>(currentStream->duration)));
}

void MainWindow::OnMomentChosen(std::int32_t station, std::int32_t stream, std::int32_t second) {
    PlayLink(station, stream, second);
}

void MainWindow::HandleMomentCommand(std::uint32_t command) {
    const MyLinkValue link = appContext->menuLink.Get();
    const std::u16string place = MakeTrackLink(link.stationId, link.streamId, link.seconds);
    switch (command) {
    case kCommand_CopyMomentUri:
        CopyToClipboard(std::u16string(kLinkScheme) + place);
        break;
    case kCommand_CopyMomentWebLink:
        CopyToClipboard(Utf8ToUtf16(WebLinkBase()) + place);
        break;
    case kCommand_ForgetMoment: {
        MyStationComboPanel* page = infoTabPanel ? infoTabPanel->stationPage : nullptr;
        if (page && page->menuMoment >= 0 && moments.Remove(static_cast<std::size_t>(page->menuMoment))) {
            page->menuMoment = -1;
            ShowMoments();
        }
        break;
    }
    case kCommand_WriteMomentNote: {
        MyStationComboPanel* page = infoTabPanel ? infoTabPanel->stationPage : nullptr;
        if (page)
            page->EditMomentNote(page->menuMoment);
        break;
    }
    default:
        break;
    }
}

void MainWindow::OnMomentNoteWritten(std::int32_t index) {
    MyStationComboPanel* page = infoTabPanel ? infoTabPanel->stationPage : nullptr;
    if (!page || !page->noteInput || index < 0 ||
        !moments.SetNote(static_cast<std::size_t>(index), page->noteInput->text()))
        return;
    ShowMoments();
}
