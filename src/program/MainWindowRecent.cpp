// The main window's side of "Continue listening": where each show was left, recorded as it plays and
// written at a pause, at another show, at the exit and every few seconds of playing, and handed to the
// station chooser, whose rows play a show from there.

#include "panels/MyInfoTabPanel.h"
#include "panels/MyStationComboPanel.h"
#include "program/MainWindow.h"

#include <chrono>

MainWindow::ListeningChange MainWindow::TakeListening() {
    if (!currentStream || !secondOfShow_ || playSecond < 0)
        return ListeningChange::None;
    const auto [station, stream] = listenedShow_;
    // A show only glanced at (a click, a seek, a few seconds) is not one being listened to.
    const MyRecentShow* kept = recentShows.Find(station, stream);
    if (!kept && heardSeconds_ < kHeardBeforeRecorded)
        return ListeningChange::None;
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    // Where the show was left, not the time of listening, is what a row shows: the time alone changing
    // makes no write.
    const bool first = kept && kept == &recentShows.shows.front();
    if (first && kept->second == playSecond)
        return ListeningChange::None;
    if (!recentShows.Update(station, stream, playSecond, now))
        return ListeningChange::None;
    recentUnsaved_ = true;
    return first ? ListeningChange::Second : ListeningChange::Order;
}

void MainWindow::SaveListening() {
    if (!recentUnsaved_)
        return;
    recentShows.Save();
    recentUnsaved_ = false;
    unsavedSeconds_ = 0;
}

void MainWindow::NoteListening(bool save) {
    // A show that joins the list or moves to its head shows there at once.
    if (TakeListening() == ListeningChange::Order) {
        save = true;
        recentOrderChanged_ = true;
    }
    if (!save || !recentUnsaved_)
        return;
    SaveListening();
    ShowRecentShows();
}

void MainWindow::ShowRecentShows() {
    MyStationComboPanel* page = infoTabPanel ? infoTabPanel->stationPage : nullptr;
    if (!page)
        return;
    page->recentShows = &recentShows.shows;
    // The rows show the list as it is whenever they are made; they are made again now only when they are
    // in view and differ: a new show at the head, or a new second under the open entry. The listener's
    // place in the list stays.
    if (page->viewMode != 0 || page->Searching() ||
        (!recentOrderChanged_ && !page->expandedStations.count(MyStationComboPanel::kRecentId)))
        return;
    recentOrderChanged_ = false;
    const std::int32_t offset = page->listBox ? page->listBox->scrollOffset : 0;
    page->RebuildList();
    if (page->listBox)
        page->listBox->SetScrollOffset(offset);
}
