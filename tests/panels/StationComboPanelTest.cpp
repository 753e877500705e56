// The station chooser on a headless window: sorting, both views, expanding stations by pressing them
// (the pressed row is rebuilt away under its own press), the scroll offset across toggles and view
// switches, playing a stream and the copy-link menu, and pixels checked against the skin.

#include "PlayPanelsSupport.h"
#include "support/Deadline.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "media/MyMediaHandlerMessages.h"
#include "net/MyNetworkHandler.h"
#include "net/MyNetworkHandlerMessages.h"
#include "panels/MyStationComboPanel.h"
#include "ui/MyPopupMenu.h"

#include <mutex>
#include <tuple>

using namespace uitest;
using paneltest::SkinImage;

namespace {

// A media thread that only records the StartPlayStream messages it receives.
class RecordingMediaHandler : public MyMediaHandler {
public:
    explicit RecordingMediaHandler(MyAppContext* context) : MyMediaHandler(context) {}
    ~RecordingMediaHandler() override {
        Stop();
        WaitForEnd(5000);
    }
    void OnThreadStart() override {}
    void OnThreadStop() override {}
    void HandleMessage(MyMessageBase* message) override {
        if (message->type != MediaHandlerMessageType_StartPlayStream)
            return;
        auto* start = static_cast<MyMediaHandlerMessage_StartPlayStream*>(message);
        std::lock_guard guard(lock);
        started.push_back({start->stationId, start->streamId, start->startFraction, start->startSeconds});
    }
    struct Started {
        std::int32_t station;
        std::int32_t stream;
        float fraction;
        std::uint32_t seconds;
    };
    std::vector<Started> Starts() {
        std::lock_guard guard(lock);
        return started;
    }
    std::mutex lock;
    std::vector<Started> started;
};

// A network thread that only records the searches it is asked for.
class RecordingNetworkHandler : public MyNetworkHandler {
public:
    explicit RecordingNetworkHandler(MyAppContext* context) : MyNetworkHandler(context) {}
    ~RecordingNetworkHandler() override {
        Stop();
        WaitForEnd(5000);
    }
    void OnThreadStart() override {}
    void HandleMessage(MyMessageBase* message) override {
        if (message->type != NetworkHandlerMessageType_SearchTracks)
            return;
        auto* search = static_cast<MyNetworkHandlerMessage_SearchTracks*>(message);
        std::lock_guard guard(lock);
        searches.push_back({search->stationId, search->query, search->generation});
    }
    struct Search {
        std::int32_t station;
        std::u16string query;
        std::uint32_t generation;
    };
    std::vector<Search> Searches() {
        std::lock_guard guard(lock);
        return searches;
    }
    std::mutex lock;
    std::vector<Search> searches;
};

// A network thread that only records the chat searches it is asked for.
class ChatRecordingNetworkHandler : public MyNetworkHandler {
public:
    explicit ChatRecordingNetworkHandler(MyAppContext* context) : MyNetworkHandler(context) {}
    ~ChatRecordingNetworkHandler() override {
        Stop();
        WaitForEnd(5000);
    }
    void OnThreadStart() override {}
    void HandleMessage(MyMessageBase* message) override {
        const auto* network = dynamic_cast<MyNetworkHandlerMessage*>(message);
        const auto* search = network ? SearchMessageOf(*network) : nullptr;
        if (!search || !search->chat)
            return;
        std::lock_guard guard(lock);
        stations.push_back(search->stationId);
        generations.push_back(search->generation);
        pages.push_back(search->page);
    }
    std::size_t Count() {
        std::lock_guard guard(lock);
        return stations.size();
    }
    std::mutex lock;
    std::vector<std::int32_t> stations;
    std::vector<std::uint32_t> generations;
    std::vector<std::uint16_t> pages;
};

class ChoiceRecorder : public MyCallbackTarget {
public:
    void Chosen(std::int32_t station, std::int32_t stream) { chosen.emplace_back(station, stream); }
    std::vector<std::pair<std::int32_t, std::int32_t>> chosen;
};

class StationComboPanelTest : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 500);
        ASSERT_TRUE(skin.LoadSkin(&owner.backBuffer.dc, 106, &system));
        auto made = std::make_unique<MyStationComboPanel>(&app, &skin);
        made->Create(&owner.context, 0, 0, 400, 500);
        panel = Attach(std::move(made));
        panel->callbackTarget = &choices;
        panel->PlayStreamCallback = &ChoiceRecorder::Chosen;
        list = panel->listBox;
        root->Redraw();
        Pump();
    }

    StationInfoData* Station(std::int32_t id, const std::u16string& name, int streams = 0,
                             std::int32_t firstStart = 1000000000) {
        auto station = std::make_unique<StationInfoData>(id);
        station->name = name;
        for (int i = 0; i < streams; ++i) {
            auto stream = std::make_unique<StreamInfoData>();
            stream->stationId = id;
            stream->streamId = id * 100 + i;
            stream->startTime = firstStart + i * 3600;
            stream->text1 = u"Show " + std::u16string(1, static_cast<char16_t>(u'A' + i));
            stream->text2 = u"left";
            stream->text3 = u"right";
            station->StoreStream(std::move(stream));
        }
        stations.push_back(std::move(station));
        return stations.back().get();
    }
    void Add(StationInfoData* station) {
        panel->AddStation(station);
        Pump();
    }
    // The names (or headlines) the list shows, in order.
    std::vector<std::u16string> Shown() const {
        std::vector<std::u16string> out;
        for (const auto& row : list->rows) {
            if (auto* s = dynamic_cast<MyStationComboStationListBoxRow*>(row.get()))
                out.push_back(s->stationName);
            else if (auto* r = dynamic_cast<MyStationComboStreamListBoxRow*>(row.get()))
                out.push_back(r->headline);
        }
        return out;
    }
    // The window y of the middle of list row `index` with the list scrolled to `scrollOffset`.
    std::int32_t RowY(std::int32_t index) const { return list->y + index * 32 + 16 - list->scrollOffset; }
    void Click(int button, std::int32_t x, std::int32_t y) {
        native->InjectButton(button, true, x, y);
        native->InjectButton(button, false, x, y);
        Pump();
    }

    MyAppContext app;
    MySurface skin;
    MyStationComboPanel* panel = nullptr;
    MyListBoxV2* list = nullptr;
    ChoiceRecorder choices;
    std::vector<std::unique_ptr<StationInfoData>> stations;
};

TEST_F(StationComboPanelTest, StationsSortByNameIgnoringCaseAndKeepArrivalOrderForEqualNames) {
    Add(Station(1, u"beta"));
    Add(Station(2, u"Alpha"));
    Add(Station(3, u"alpha2"));
    Add(Station(4, u"ALPHA"));
    Add(Station(5, u"Ärlig"));
    Add(Station(6, u"alpha"));
    Add(Station(7, u"äRLIG"));
    Add(Station(2, u"Zulu, the same id again")); // ignored
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Alpha", u"ALPHA", u"alpha", u"alpha2", u"beta",
                                                    u"Ärlig", u"äRLIG"}));
    EXPECT_EQ(panel->stationsById.size(), 7u);
    for (std::size_t i = 0; i < list->rows.size(); ++i) {
        EXPECT_EQ(list->rows[i]->controlId, static_cast<std::int32_t>(i));
        EXPECT_EQ(list->rows[i]->index, static_cast<std::int32_t>(i));
    }
}

TEST_F(StationComboPanelTest, StationsArrivingBetweenTwoPaintsAreRebuiltOnceBeforeThePaint) {
    panel->AddStation(Station(1, u"b"));
    panel->AddStation(Station(2, u"a"));
    EXPECT_TRUE(list->rows.empty()); // nothing rebuilt yet
    Pump();
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"a", u"b"}));
    // What the screen shows is the list with both stations: the first row's bar at the left edge.
    EXPECT_EQ(native->ScreenPixel(list->x + 3, RowY(1)), SkinImage(106).at(38 + 3, 64 + 16));
}

TEST_F(StationComboPanelTest, PressingAStationExpandsAndCollapsesItNewestFirst) {
    Add(Station(1, u"One", 3));
    Add(Station(2, u"Two", 0));
    const std::uint32_t rebuilds = panel->rebuilds;
    native->InjectButton(0, true, 50, RowY(0));
    Pump();
    // Expanded on the press; the list was rebuilt under the pressed row, and the release that follows does
    // nothing.
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"One", u"Show C", u"Show B", u"Show A", u"Two"}));
    EXPECT_EQ(panel->rebuilds, rebuilds + 1);
    EXPECT_EQ(list->leftPressedRow, nullptr);
    native->InjectButton(0, false, 50, RowY(0));
    Pump();
    auto* stream = dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows[1].get());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->streamId, 102);
    EXPECT_EQ(stream->DateText(), u"2001-09-09 03:46"); // 1000007200 in UTC
    EXPECT_EQ(stream->detailLeft, u"left");
    EXPECT_EQ(stream->detailRight, u"right");
    EXPECT_TRUE(choices.chosen.empty());

    // A station without streams expands to nothing, and collapses again.
    Click(0, 50, RowY(4));
    EXPECT_EQ(list->rows.size(), 5u);
    EXPECT_EQ(panel->expandedStations.count(2), 1u);
    Click(0, 50, RowY(4));
    EXPECT_EQ(panel->expandedStations.count(2), 0u);
    Click(0, 50, RowY(0));
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"One", u"Two"}));
}

TEST_F(StationComboPanelTest, EqualStartTimesKeepTheirOrder) {
    StationInfoData* station = Station(1, u"One", 3);
    for (auto& entry : station->streams)
        entry.second->startTime = 5;
    Add(station);
    panel->expandedStations.insert(1);
    panel->RebuildList();
    std::vector<std::int32_t> ids;
    for (const auto& row : list->rows) {
        if (auto* r = dynamic_cast<MyStationComboStreamListBoxRow*>(row.get()))
            ids.push_back(r->streamId);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{100, 101, 102}));
}

TEST_F(StationComboPanelTest, TheStreamsViewListsEveryStreamNewestFirstUnderItsStationsName) {
    Add(Station(1, u"One", 2, 1000));
    Add(Station(2, u"Two", 2, 2000));
    const std::uint32_t rebuilds = panel->rebuilds;
    Click(0, panel->stationsViewButton->x + 5, panel->stationsViewButton->y + 5); // already active
    EXPECT_EQ(panel->rebuilds, rebuilds);                                         // not rebuilt
    Click(0, panel->streamsViewButton->x + 5, panel->streamsViewButton->y + 5);
    EXPECT_EQ(panel->viewMode, 1);
    EXPECT_TRUE(panel->streamsViewButton->active);
    EXPECT_FALSE(panel->stationsViewButton->active);
    // Start times: One 1000, 4600; Two 2000, 5600.
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Two - Show B", u"One - Show B", u"Two - Show A",
                                                    u"One - Show A"}));
    // The active button's piece is on the screen.
    SkinImage image(106);
    const MyStationComboPanelButton* b = panel->streamsViewButton;
    EXPECT_EQ(native->ScreenPixel(b->x + 10, b->y + 10), image.at(35 + 10, 186 + 10));
    EXPECT_EQ(native->ScreenPixel(panel->stationsViewButton->x + 10, b->y + 10), image.at(8 + 10, 114 + 10));

    // A right click in this view does nothing.
    Click(1, 60, RowY(0));
    EXPECT_EQ(system.OpenPopup(), nullptr);
    EXPECT_TRUE(app.menuLink.empty());
}

TEST_F(StationComboPanelTest, ClickingAStreamPlaysItAndTellsTheMainWindow) {
    RecordingMediaHandler media(&app);
    ASSERT_TRUE(media.Start());
    app.mediaHandler = &media;
    Add(Station(7, u"Seven", 2));
    Click(0, 50, RowY(0));
    Click(0, 60, RowY(2)); // "Show A", stream 700
    ASSERT_EQ(choices.chosen.size(), 1u);
    EXPECT_EQ(choices.chosen[0], std::make_pair(7, 700));
    ASSERT_TRUE(testsupport::WaitFor([&] { return media.Starts().size() == 1; }));
    const auto started = media.Starts()[0];
    EXPECT_EQ(started.station, 7);
    EXPECT_EQ(started.stream, 700);
    EXPECT_EQ(started.fraction, 0.0f);
    EXPECT_EQ(started.seconds, 0u);
    app.mediaHandler = nullptr;
}

TEST_F(StationComboPanelTest, ReleasingOutsideAPressedStreamDoesNotPlay) {
    Add(Station(7, u"Seven", 2));
    Click(0, 50, RowY(0));
    auto* row = dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows[1].get());
    ASSERT_NE(row, nullptr);
    native->InjectButton(0, true, 60, RowY(1));
    Pump();
    EXPECT_TRUE(row->pressed);
    SkinImage image(106);
    // The pressed plate: its stretched middle from row 32 of the skin.
    EXPECT_EQ(BackPixel(list->x + 30, RowY(1) - 16 + 2), image.at(58, 32 + 2));
    native->InjectMouseMove(60, 10);
    native->InjectButton(0, false, 60, 10);
    Pump();
    EXPECT_FALSE(row->pressed);
    EXPECT_EQ(BackPixel(list->x + 30, RowY(1) - 16 + 2), image.at(58, 0 + 2));
    EXPECT_TRUE(choices.chosen.empty());
}

TEST_F(StationComboPanelTest, AStationArrivingDuringAPressLeavesNoRowPressed) {
    Add(Station(7, u"Seven", 2));
    Click(0, 50, RowY(0));
    auto* row = dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows[1].get());
    ASSERT_NE(row, nullptr);
    native->InjectButton(0, true, 60, RowY(1));
    Pump();
    ASSERT_TRUE(row->pressed);
    Add(Station(8, u"Eight", 1));        // rebuilt before the paint; the rows of Seven are kept
    EXPECT_EQ(list->rows[2].get(), row); // Eight sorts first
    EXPECT_FALSE(row->pressed);
    native->InjectButton(0, false, 60, RowY(1));
    Pump();
    EXPECT_TRUE(choices.chosen.empty());
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Eight", u"Seven", u"Show B", u"Show A"}));
}

TEST_F(StationComboPanelTest, RightClickingAStreamOpensTheCopyMenuWithItsLink) {
    Add(Station(7, u"Seven", 2));
    Click(0, 50, RowY(0));
    system.SetCursorPosition({100 + 70, 50 + RowY(1)});
    Click(1, 70, RowY(1));
    EXPECT_EQ(app.menuLink.Get().stationId, 7);
    EXPECT_EQ(app.menuLink.Get().streamId, 701);
    EXPECT_EQ(app.menuLink.Get().seconds, 0);
    platform::HeadlessWindow* popup = system.OpenPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->WindowRect().left, 100 + 70);
    EXPECT_EQ(popup->WindowRect().top, 50 + RowY(1));
    ASSERT_NE(owner.context.popupMenu, nullptr);
    ASSERT_EQ(owner.context.popupMenu->items.size(), 4u);
    EXPECT_EQ(owner.context.popupMenu->items[0].command, 40007);
    EXPECT_EQ(owner.context.popupMenu->items[1].command, 40008);
    EXPECT_EQ(owner.context.popupMenu->items[3].command, 40037) << "a show not kept offers to keep it";

    // Once kept (or while being kept), the menu offers to forget the copy instead.
    panel->SetKeptOffline(7, 701, true);
    owner.context.popupMenu->Close();
    Pump();
    Click(1, 70, RowY(1));
    ASSERT_NE(owner.context.popupMenu, nullptr);
    ASSERT_EQ(owner.context.popupMenu->items.size(), 4u);
    EXPECT_EQ(owner.context.popupMenu->items[3].command, 40038);
    panel->SetKeptOffline(7, 701, false);
    EXPECT_FALSE(panel->IsKeptOffline(7, 701));
}

TEST_F(StationComboPanelTest, TogglingKeepsTheScrollOffsetAndSwitchingViewsResetsIt) {
    for (int i = 0; i < 40; ++i)
        panel->AddStation(
            Station(i + 1, u"Station " + std::u16string(1, static_cast<char16_t>(u'A' + i)), 2));
    Pump();
    native->InjectWheel(100, 200, -120 * 3); // three notches down: 72 pixels
    Pump();
    ASSERT_EQ(list->scrollOffset, 72);
    const std::int32_t index = 5;
    Click(0, 50, RowY(index));
    EXPECT_EQ(list->scrollOffset, 72);
    EXPECT_EQ(panel->expandedStations.size(), 1u);
    // The row at the top is the same one as before the toggle.
    EXPECT_EQ(list->FindRowAt(72)->index, 2);
    Click(0, panel->streamsViewButton->x + 5, panel->streamsViewButton->y + 5);
    EXPECT_EQ(list->scrollOffset, 0);
    Click(0, panel->stationsViewButton->x + 5, panel->stationsViewButton->y + 5);
    EXPECT_EQ(list->scrollOffset, 0);
    EXPECT_EQ(list->rows.size(), 42u); // the expansion survives the switches
}

TEST_F(StationComboPanelTest, FrameHeaderAndRowsAreDrawnFromTheSkin) {
    Add(Station(1, u"A station name long enough to be cut with an ellipsis before the right edge", 1));
    SkinImage image(106);
    // Header pieces and the edges.
    EXPECT_EQ(native->ScreenPixel(3, 3), image.at(3, 106 + 3));
    EXPECT_EQ(native->ScreenPixel(200, 40), image.at(85, 106 + 40));
    EXPECT_EQ(native->ScreenPixel(399, 20), image.at(86, 106 + 20));
    EXPECT_EQ(native->ScreenPixel(0, 300), 0xFAFAFAu);
    EXPECT_EQ(native->ScreenPixel(399, 300), 0xB4B4B4u);
    EXPECT_EQ(native->ScreenPixel(200, 499), 0xB4B4B4u);
    // The list's background below the rows.
    EXPECT_EQ(native->ScreenPixel(100, 400), 0xE5E5E5u);
    // The station row's right end is not covered by its long name.
    const std::int32_t rowRight = list->x + list->width - 24;
    for (int dx = 1; dx <= 3; ++dx)
        EXPECT_EQ(native->ScreenPixel(rowRight - dx, RowY(0)), image.at(52 + 13 - dx, 64 + 16)) << dx;
}

// The search box: shows and fetched tracks of every station, whatever the case and accents; a found
// track plays from its start; Escape brings the stations back.
TEST_F(StationComboPanelTest, TheSearchBoxFindsShowsAndFetchedTracksAndPlaysFromTheTrack) {
    RecordingMediaHandler media(&app);
    ASSERT_TRUE(media.Start());
    app.mediaHandler = &media;
    StationInfoData* seven = Station(7, u"Seven", 2);
    StationInfoData* nine = Station(9, u"Nine", 1);
    // Stream 900 has its track list fetched; the others have none yet.
    auto tracks = std::make_unique<TrackInfoList>();
    for (const auto& [start, artist, title] :
         {std::tuple{0, u"Intro", u"Welcome"}, std::tuple{120, u"Björk", u"Jóga"},
          std::tuple{300, u"Ana", u"Show B"}}) {
        TrackInfo track;
        track.start = start;
        track.text1 = artist;
        track.text2 = title;
        tracks->push_back(track);
    }
    nine->streams.at(900)->SetTrackList(std::move(tracks));
    Add(seven);
    Add(nine);
    ASSERT_NE(panel->searchInput, nullptr);
    // The box lies in the header, right of the view buttons.
    EXPECT_GT(panel->searchInput->x, panel->streamsViewButton->x + 35);
    EXPECT_LT(panel->searchInput->bounds.bottom, list->y);

    Click(0, panel->searchInput->x + 20, panel->searchInput->y + 10);
    ASSERT_TRUE(panel->searchInput->hasFocus());
    native->InjectText(u"BJORK");
    Pump();
    ASSERT_EQ(Shown(), (std::vector<std::u16string>{u"Nine - Show A"}));
    auto* hit = dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows[0].get());
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->detailLeft, u"Björk - Jóga");
    EXPECT_EQ(hit->detailRight, u"at 0:02:00");
    Click(0, 60, RowY(0));
    ASSERT_TRUE(testsupport::WaitFor([&] { return media.Starts().size() == 1; }));
    const auto started = media.Starts()[0];
    EXPECT_EQ(started.station, 9);
    EXPECT_EQ(started.stream, 900);
    EXPECT_EQ(started.fraction, -1.0f) << "a start at a time";
    EXPECT_EQ(started.seconds, 120u);

    // "show b": the show titled so on station 7 and the track titled so on station 9, newest first in
    // station order.
    panel->searchInput->SetText(u"show b");
    panel->OnSearchChanged(0);
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Nine - Show A", u"Seven - Show B"}));
    // Nothing found: an empty list.
    panel->searchInput->SetText(u"zzz");
    panel->OnSearchChanged(0);
    EXPECT_TRUE(list->rows.empty());
    // Escape in the box (the click on the row took the keyboard away) empties it and the stations show
    // again.
    Click(0, panel->searchInput->x + 20, panel->searchInput->y + 10);
    native->InjectKey(platform::VK_ESCAPE, true);
    Pump();
    EXPECT_TRUE(panel->searchInput->text().empty());
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Nine", u"Seven"}));
    app.mediaHandler = nullptr;
}

// Enter asks every station's server; their hits join the local ones under their shows and play from
// their second; answers to an older query, and servers that did not answer, change nothing.
TEST_F(StationComboPanelTest, EnterAsksEveryStationsServerAndTheirHitsJoinTheLocalResults) {
    RecordingMediaHandler media(&app);
    ASSERT_TRUE(media.Start());
    app.mediaHandler = &media;
    RecordingNetworkHandler network(&app);
    ASSERT_TRUE(network.Start());
    app.networkHandler = &network;
    StationInfoData* seven = Station(7, u"Seven", 2);
    Add(seven);
    Add(Station(9, u"Nine", 1));
    auto tracks = std::make_unique<TrackInfoList>();
    TrackInfo track;
    track.start = 30;
    track.text1 = u"Local";
    track.text2 = u"Tune";
    tracks->push_back(track);
    seven->streams.at(700)->SetTrackList(std::move(tracks));

    Click(0, panel->searchInput->x + 20, panel->searchInput->y + 10);
    native->InjectText(u"tune");
    Pump();
    // Typing searches locally only.
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show A"}));
    EXPECT_TRUE(network.Searches().empty());
    native->InjectKey(platform::VK_RETURN, true);
    Pump();
    ASSERT_TRUE(testsupport::WaitFor([&] { return network.Searches().size() == 2; }));
    const std::uint32_t generation = panel->searchGeneration();
    for (const auto& search : network.Searches()) {
        EXPECT_TRUE(search.station == 7 || search.station == 9);
        EXPECT_EQ(search.query, u"tune");
        EXPECT_EQ(search.generation, generation);
    }

    auto answer = [&](std::uint32_t g, bool answered) {
        TrackSearchResults results;
        results.generation = g;
        results.stationId = 9;
        results.answered = answered;
        // The local hit again, a track of a list not fetched here, a show, and a stream unknown here.
        results.hits.push_back({7, 700, 30, false, u"Local", u"Tune"});
        results.hits.push_back({9, 900, 4000, false, u"Far", u"Tune"});
        results.hits.push_back({7, 701, 0, true, u"Show B", u"host"});
        results.hits.push_back({9, 12345, 5, false, u"Lost", u"Tune"});
        return results;
    };
    panel->OnServerSearchResults(answer(generation - 1, true));
    panel->OnServerSearchResults(answer(generation, false));
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show A"}));

    panel->OnServerSearchResults(answer(generation, true));
    Pump();
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Nine - Show A", u"Seven - Show B", u"Seven - Show A"}));
    auto* far = dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows[0].get());
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->detailLeft, u"Far - Tune");
    EXPECT_EQ(far->detailRight, u"at 1:06:40");
    auto* show = dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows[1].get());
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->startSecond, 0);
    Click(0, 60, RowY(0));
    ASSERT_TRUE(testsupport::WaitFor([&] { return media.Starts().size() == 1; }));
    EXPECT_EQ(media.Starts()[0].station, 9);
    EXPECT_EQ(media.Starts()[0].stream, 900);
    EXPECT_EQ(media.Starts()[0].seconds, 4000u);

    // A changed query drops the servers' hits until Enter asks again.
    panel->searchInput->SetText(u"tun");
    panel->OnSearchChanged(0);
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show A"}));
    panel->OnServerSearchResults(answer(generation, true));
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show A"}));
    app.networkHandler = nullptr;
    app.mediaHandler = nullptr;
}

TEST_F(StationComboPanelTest,
       EnterAlsoAsksForChatLinesWhichFollowTheResultsUnderTheirShowAndPlayFromTheirSecond) {
    RecordingMediaHandler media(&app);
    ASSERT_TRUE(media.Start());
    app.mediaHandler = &media;
    ChatRecordingNetworkHandler network(&app);
    ASSERT_TRUE(network.Start());
    app.networkHandler = &network;
    Add(Station(7, u"Seven", 2));
    Add(Station(9, u"Nine", 1));

    Click(0, panel->searchInput->x + 20, panel->searchInput->y + 10);
    native->InjectText(u"show b");
    Pump();
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show B"}));
    native->InjectKey(platform::VK_RETURN, true);
    Pump();
    ASSERT_TRUE(testsupport::WaitFor([&] { return network.Count() == 2; }));
    const std::uint32_t generation = panel->searchGeneration();
    {
        std::lock_guard guard(network.lock);
        std::vector<std::int32_t> asked = network.stations;
        std::sort(asked.begin(), asked.end());
        EXPECT_EQ(asked, (std::vector<std::int32_t>{7, 9}));
        EXPECT_EQ(network.generations, (std::vector<std::uint32_t>{generation, generation}));
    }

    auto lines = [&](std::uint32_t g) {
        TrackSearchResults results;
        results.generation = g;
        results.stationId = 7;
        results.chat = true;
        results.answered = true;
        // Out of the show's order, a line with only a sender, and a stream unknown here.
        results.hits.push_back({9, 900, 3725, false, u"alice", u"loved show b"});
        results.hits.push_back({7, 700, 90, false, u"bob", u"show b next?"});
        results.hits.push_back({9, 900, 12, false, u"carol", u""});
        results.hits.push_back({7, 12345, 5, false, u"lost", u"show b"});
        return results;
    };
    panel->OnServerSearchResults(lines(generation - 1));
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show B"}));

    panel->OnServerSearchResults(lines(generation));
    Pump();
    EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Seven - Show B", u"Nine - Show A", u"Nine - Show A",
                                                    u"Seven - Show A"}));
    auto row = [&](std::size_t i) {
        return dynamic_cast<MyStationComboStreamListBoxRow*>(list->rows.at(i).get());
    };
    ASSERT_NE(row(1), nullptr);
    EXPECT_EQ(row(1)->detailLeft, u"[0:00:12] carol");
    EXPECT_EQ(row(1)->detailRight, u"");
    ASSERT_NE(row(2), nullptr);
    EXPECT_EQ(row(2)->detailLeft, u"[1:02:05] loved show b");
    EXPECT_EQ(row(2)->detailRight, u"alice");
    EXPECT_EQ(row(2)->startSecond, 3725);
    ASSERT_NE(row(3), nullptr);
    EXPECT_EQ(row(3)->detailLeft, u"[0:01:30] show b next?");

    Click(0, 60, RowY(2));
    ASSERT_TRUE(testsupport::WaitFor([&] { return media.Starts().size() == 1; }));
    EXPECT_EQ(media.Starts()[0].station, 9);
    EXPECT_EQ(media.Starts()[0].stream, 900);
    EXPECT_EQ(media.Starts()[0].seconds, 3725u);

    // A changed query drops the lines, and an answer to the query before stays out.
    panel->searchInput->SetText(u"show");
    panel->OnSearchChanged(0);
    panel->OnServerSearchResults(lines(generation));
    EXPECT_FALSE(list->rows.empty());
    for (const auto& r : list->rows) {
        if (auto* s = dynamic_cast<MyStationComboStreamListBoxRow*>(r.get())) {
            EXPECT_EQ(s->detailLeft.find(u"["), std::u16string::npos);
        }
    }
    app.networkHandler = nullptr;
    app.mediaHandler = nullptr;
}

// Chat lines past a server's first page come a page at a time through a last row "More results": one
// request a press while none is on its way, the page's lines among the others, a page out of turn or twice
// left out, and the row gone once the counts show no more.
TEST_F(StationComboPanelTest, ChatLinesPastTheFirstPageComeThroughMoreResultsEachOnce) {
    ChatRecordingNetworkHandler network(&app);
    ASSERT_TRUE(network.Start());
    app.networkHandler = &network;
    Add(Station(7, u"Seven", 1));
    panel->searchInput->SetText(u"hello");
    panel->OnSearchChanged(0);
    panel->OnSearchSubmitted(0);
    ASSERT_TRUE(testsupport::WaitFor([&] { return network.Count() == 1; }));
    const std::uint32_t generation = panel->searchGeneration();
    // Five lines in all, two a page.
    auto page = [&](std::uint16_t number, std::vector<std::int32_t> seconds) {
        TrackSearchResults results;
        results.generation = generation;
        results.stationId = 7;
        results.chat = true;
        results.answered = true;
        results.total = 5;
        results.page = number;
        results.perPage = 2;
        for (std::int32_t second : seconds)
            results.hits.push_back(
                {7, 700, second, false, u"a", u"hello " + std::u16string(1, u'0' + second)});
        return results;
    };
    auto lines = [&] {
        std::vector<std::u16string> out;
        for (const auto& row : list->rows)
            if (auto* r = dynamic_cast<MyStationComboStreamListBoxRow*>(row.get()))
                out.push_back(r->detailLeft);
        return out;
    };
    auto lastIsMore = [&] {
        auto* row = dynamic_cast<MyStationComboStationListBoxRow*>(list->rows.back().get());
        return row && row->stationName == u"More results";
    };
    panel->OnServerSearchResults(page(0, {4, 1}));
    Pump();
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"[0:00:01] hello 1", u"[0:00:04] hello 4"}));
    ASSERT_TRUE(lastIsMore());

    // Pressed twice before the answer: one request, for page 1.
    Click(0, 60, RowY(2));
    Click(0, 60, RowY(2));
    ASSERT_TRUE(testsupport::WaitFor([&] { return network.Count() == 2; }));
    // A page out of turn changes nothing.
    panel->OnServerSearchResults(page(2, {9}));
    EXPECT_EQ(lines().size(), 2u);
    panel->OnServerSearchResults(page(1, {2, 5}));
    Pump();
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"[0:00:01] hello 1", u"[0:00:02] hello 2",
                                                    u"[0:00:04] hello 4", u"[0:00:05] hello 5"}));
    ASSERT_TRUE(lastIsMore());
    // The same page again is not asked for and not taken.
    panel->OnServerSearchResults(page(1, {2, 5}));
    EXPECT_EQ(lines().size(), 4u);

    // The last page: one line, and no more row.
    Click(0, 60, RowY(4));
    ASSERT_TRUE(testsupport::WaitFor([&] { return network.Count() == 3; }));
    panel->OnServerSearchResults(page(2, {3}));
    Pump();
    EXPECT_EQ(lines().size(), 5u);
    EXPECT_FALSE(lastIsMore());
    {
        std::lock_guard guard(network.lock);
        EXPECT_EQ(network.pages, (std::vector<std::uint16_t>{0, 1, 2}));
        EXPECT_EQ(network.generations, (std::vector<std::uint32_t>{generation, generation, generation}));
    }
    app.networkHandler = nullptr;
}

} // namespace
