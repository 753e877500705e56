#pragma once
// The station chooser: a header with two view buttons over a list. The stations view lists the stations
// by name; pressing one expands it to its streams, newest first, or collapses it again. The streams view
// lists every station's streams in one list, newest first, each headed by its station's name. Clicking a
// stream plays it from the start; right-clicking one in the stations view opens the copy-link menu.
//
// The panel reads the station records the main window hands it and never owns or changes them.

#include "app/Moments.h"
#include "app/RecentShows.h"
#include "panels/MyStationComboRows.h"
#include "records/CatalogueRecords.h"
#include "records/TrackSearchResults.h"
#include "ui/MyControlBase.h"
#include "ui/MyListBoxV2.h"
#include "ui/MyPressable.h"
#include "ui/MyTextInput.h"

#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

struct MyAppContext;
class MySurface;

// One of the header's two view buttons: 0 shows the stations view, 1 the streams view.
class MyStationComboPanelButton : public MyPressable<MyControlBase> {
public:
    MyStationComboPanelButton(MySurface* skin, std::int32_t kind) : skin(skin), kind(kind) { tabStop = true; }

    void Paint() override;
    // The toggle buttons "Stations" and "Shows", checked while their view is shown.
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::ToggleButton;
        node.name = kind == 0 ? u"Stations" : u"Shows";
        node.clickable = true;
        node.states |= platform::kAccessibleCheckable | (active ? platform::kAccessibleChecked : 0u);
        return true;
    }

    MySurface* skin;
    std::int32_t kind;
    bool active = false; // the button's view is shown
};

class MyStationComboPanel : public MyControlBase {
public:
    static constexpr COLORREF kRowBackground = 0xE5E5E5;
    static constexpr int kStreamMenu = 114;
    static constexpr int kMomentMenu = 118;
    // The id of the "Moments" entry heading the stations view while any moment is kept.
    static constexpr std::int32_t kMomentsId = -1;
    static constexpr std::u16string_view kMomentsName = u"Moments";
    // The id of the "Continue listening" entry heading the stations view while any show is recorded.
    static constexpr std::int32_t kRecentId = -2;
    static constexpr std::u16string_view kRecentName = u"Continue listening";

    MyStationComboPanel(MyAppContext* appContext, MySurface* skin) : appContext(appContext), skin(skin) {}
    ~MyStationComboPanel() override;

    void OnCreate() override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;

    // Takes a station the panel does not know yet into the sorted list. The list shows it, in order, from
    // the next paint of the window on: stations that arrive one after another between two paints cost one
    // rebuild, not one each.
    void AddStation(const StationInfoData* station);
    // Refills the list for the current view at once and repaints the panel.
    void RebuildList();

    // The view buttons' clicks.
    void ShowStationsView(std::int32_t id);
    void ShowStreamsView(std::int32_t id);
    // A station row's press: expands or collapses the station, keeping the scroll offset.
    void ToggleStation(POINT point, std::int32_t id);
    // A stream row's click: plays the stream from its start.
    void PlayStream(std::int32_t id);
    // A stream row's right click in the stations view: the copy-link menu.
    void StreamMenu(std::int32_t id);
    // Shows kept for offline listening (or being kept): their stream menu offers "Forget the offline copy"
    // instead of "Keep for offline listening".
    void SetKeptOffline(std::int32_t stationId, std::int32_t streamId, bool kept);
    bool IsKeptOffline(std::int32_t stationId, std::int32_t streamId) const {
        return keptOffline_.count({stationId, streamId}) != 0;
    }
    // A moment row's click plays its show from its second; its right click opens the moment menu, for
    // which `menuLink` holds the moment's place and `menuMoment` its index.
    void PlayMoment(std::int32_t id);
    void MomentMenu(std::int32_t id);
    // Opens the note input over moment `momentIndex`'s row, holding its note; Enter tells
    // NoteWrittenCallback the moment's index (the text is the input's), Escape leaves the note as it was.
    // False when the moment has no row in view (the "Moments" entry is collapsed).
    bool EditMomentNote(std::int32_t momentIndex);
    MyTextInput* noteInput = nullptr;
    std::int32_t noteMoment = -1;
    MyCallback<std::int32_t> NoteWrittenCallback;

    // The search box in the header: while it holds a query the list shows what matches it, whatever the
    // case and accents, across every station: shows by title, host or subtitle, and the tracks (by artist
    // or title) of the track lists fetched so far, each row playing from its track. Escape empties it.
    //
    // Enter in the box also asks every station's server for the query; the hits that come back (shows and
    // tracks, including tracks of lists not fetched here) join the local results, each under its show. A
    // server that has no search or fails adds nothing, which leaves the local results. Changing the query
    // drops the answers to the one before, and answers to an older query are ignored.
    //
    // Each server is also asked for the chat lines that hold the query, a page at a time; they follow the
    // show and track results, each under its show as "[H:MM:SS] text" and playing the show from its second.
    // While a server has lines beyond the pages it gave, a last row "More results" asks it for the next
    // page, whose lines join the others under their shows.
    void OnSearchChanged(std::int32_t id);
    void OnSearchCancelled(std::int32_t id);
    void OnSearchSubmitted(std::int32_t id);
    bool Searching() const;
    // A station server's answer, from the main window.
    void OnServerSearchResults(const TrackSearchResults& results);
    // The "More results" row's press: each server with more chat lines is asked for its next page, once
    // until it answers.
    void AskForMoreChatResults(POINT point, std::int32_t id);
    static constexpr std::int32_t kMoreResultsId = -3;
    static constexpr std::u16string_view kMoreResultsName = u"More results";
    // The number of the query the servers were last asked (0: none yet).
    std::uint32_t searchGeneration() const { return searchGeneration_; }
    // At most this many rows of results.
    static constexpr std::size_t kMostResults = 500;
    MyTextInput* searchInput = nullptr;

    MyAppContext* appContext;
    MySurface* skin;
    std::map<std::int32_t, const StationInfoData*> stationsById;
    std::vector<const StationInfoData*> sortedStations;
    MyStationComboPanelButton* stationsViewButton = nullptr;
    MyStationComboPanelButton* streamsViewButton = nullptr;
    MyListBoxV2* listBox = nullptr;
    std::set<std::int32_t> expandedStations;
    std::int32_t viewMode = 0; // 0 stations, 1 streams
    // The saved moments shown under "Moments", oldest first (owned by the main window; null: none).
    const std::vector<MyMoment>* moments = nullptr;
    std::int32_t menuMoment = -1;
    // The shows listened to last, newest first, shown under "Continue listening" (owned by the main window;
    // null: none). Their rows play through PlayMoment.
    const std::vector<MyRecentShow>* recentShows = nullptr;

    // Told the station and stream a click starts (station id, stream id), before the media thread is asked
    // to play it: the main window records them as its current stream. Invoked on `callbackTarget`.
    MyCallback<std::int32_t, std::int32_t> PlayStreamCallback;
    // Told a moment row's click (station id, stream id, second); the main window plays it.
    MyCallback<std::int32_t, std::int32_t, std::int32_t> PlayMomentCallback;

    // Case-insensitive order of two names, as the station list sorts them.
    static bool NameLess(const std::u16string& a, const std::u16string& b);
    // The station's streams, newest first (start times compared as unsigned numbers; equal ones in map
    // order).
    static std::vector<const StreamInfoData*> StreamsNewestFirst(const StationInfoData& station);

    // How many times the list has been refilled.
    std::uint32_t rebuilds = 0;

    // Rows of the last rebuild by record, for the next rebuild to take back.
    using RowPool = std::unordered_map<std::uint64_t, std::unique_ptr<MyListBoxV2ItemBase>>;

private:
    std::set<std::pair<std::int32_t, std::int32_t>> keptOffline_;
    void FillList();
    void FillSearchResults(std::int32_t& n);
    void FillChatResults(std::int32_t& n);
    // A chat answer for a page after the first.
    void OnChatPage(const TrackSearchResults& results);
    // One result row of the stream, playing from `second`.
    void AddResultRow(const StreamInfoData& stream, std::u16string headline, std::u16string left,
                      std::u16string right, std::int32_t second, std::int32_t& n);
    RECT SearchInputRect() const;
    // Adds the stream's row, taken from `pool` when the last rebuild made one; `headline` null means the
    // stream's own first text.
    void AddStreamRow(RowPool& pool, const StreamInfoData& stream, const std::u16string* headline,
                      bool withMenu, std::int32_t& n);
    // The "Moments" entry and, when it is expanded, a row a moment.
    void AddMomentRows(std::int32_t& n);
    // The "Continue listening" entry and, when it is expanded, a row a show.
    void AddRecentRows(std::int32_t& n);
    // A heading of the stations view (a station row) with the id `id`.
    void AddHeadingRow(std::u16string_view name, std::int32_t id, std::int32_t& n);
    void CreateNoteInput();
    void EndNote();
    void OnNoteSubmitted(std::int32_t id);
    void OnNoteCancelled(std::int32_t id);

    // The rows' fonts; rows keep plain pointers into it and use them only to paint.
    MyStationComboFonts fonts_;
    // A rebuild asked for by AddStation and not yet done.
    bool rebuildPending_ = false;
    // Rows a rebuild took out of the list while one of their own callbacks was running. They stay alive
    // until the next rebuild outside any row callback, so no row is deleted under its own handler.
    std::vector<std::unique_ptr<MyListBoxV2ItemBase>> retiredRows_;
    int rowCallbackDepth_ = 0;
    // The view the rows in the list were made for.
    std::int32_t builtViewMode_ = 0;
    // The servers' answers to the current query, by the station whose server was asked.
    std::uint32_t searchGeneration_ = 0;
    std::map<std::int32_t, std::unique_ptr<TrackSearchResults>> serverResults_;
    std::map<std::int32_t, std::unique_ptr<TrackSearchResults>> chatResults_; // their chat lines, every page
    // The chat page to ask each server for next, while it has more lines; the servers asked and not yet
    // answered.
    std::map<std::int32_t, std::uint16_t> chatNextPage_;
    std::set<std::int32_t> chatPagesAsked_;
};
