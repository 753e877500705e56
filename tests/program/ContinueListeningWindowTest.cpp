// "Continue listening" in the main window: a show listened to enters the station chooser's list with the
// second it was left at, the list is written at a pause and outlives the program, a click on the show's
// row plays it from there, and a show only glanced at, or a fresh start, adds nothing.

#include "ProgramFixture.h"

#include "panels/MyInfoTabPanel.h"
#include "panels/MyStationComboPanel.h"
#include "program/Commands.h"
#include "program/MainWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using programtest::ProgramFixture;

class ContinueListeningWindow : public ProgramFixture {
protected:
    void SetUp() override {
        station = std::make_unique<StationInfoData>(7);
        station->name = u"Night Radio";
        for (std::int32_t id : {12, 13}) {
            auto show = std::make_unique<StreamInfoData>();
            show->stationId = 7;
            show->streamId = id;
            show->startTime = 1700000000 + id;
            show->duration = 3 * 3600;
            show->size = 3 * 3600 * 16000;
            show->text1 = id == 12 ? u"The long show" : u"The other show";
            show->text2 = u"DJ Test";
            show->SetTrackList(std::make_unique<TrackInfoList>());
            station->StoreStream(std::move(show));
        }
        Start();
        main().OnStationInfo(station.get());
        Pump();
    }

    const StreamInfoData* Show(std::int32_t id) { return station->streams.at(id).get(); }
    // Show `id` starts playing at `from` and plays `seconds` seconds, as the media thread reports it.
    void Listen(std::int32_t id, std::int32_t from, std::int32_t seconds) {
        main().PlayLink(7, id, from);
        main().OnStreamInfo(station.get(), Show(id), Show(id)->trackList());
        main().OnPlayEvent(0);
        for (std::int32_t s = from; s <= from + seconds; ++s)
            main().OnPlayPos(static_cast<float>(s) / static_cast<float>(Show(id)->duration));
        Pump();
    }
    // A menu or accelerator command, as the window receives it.
    void Command(std::uint32_t command) {
        owner->window->Send(platform::WM_COMMAND, command, 0);
        Pump();
    }
    MyStationComboPanel& chooser() { return *main().infoTabPanel->stationPage; }
    MyListBoxV2ItemBase* Row(std::size_t i) {
        auto& rows = chooser().listBox->rows;
        return i < rows.size() ? rows[i].get() : nullptr;
    }
    // A left click in the middle of row `i` of the chooser's list, through the window.
    void ClickRow(std::int32_t i) {
        MyListBoxV2& list = *chooser().listBox;
        ASSERT_LT(i, list.RowCount());
        const std::int32_t x = list.x + list.width / 2;
        const std::int32_t y = list.y + list.RowTop(i) - list.scrollOffset + list.RowHeight(i) / 2;
        window().InjectButton(0, true, x, y);
        window().InjectButton(0, false, x, y);
        Pump();
    }
    std::string RecentFile() {
        std::ifstream in(folder.path() / "Vantri" / "recent.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(ContinueListeningWindow, AShowListenedToIsOfferedWhereItWasLeftAndAClickPlaysFromThere) {
    // Heard from 1:01:50 to 1:02:03, then paused: written at once.
    Listen(12, 3710, 13);
    main().OnPlayEvent(2);
    media.WaitForLines(1);
    media.Clear();
    EXPECT_EQ(RecentFile().substr(0, 10), "7\t12\t3723\t");

    Command(kCommand_ToggleStations);
    Pump();
    auto* heading = dynamic_cast<MyStationComboStationListBoxRow*>(Row(0));
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->stationName, u"Continue listening");
    auto* stationRow = dynamic_cast<MyStationComboStationListBoxRow*>(Row(1));
    ASSERT_NE(stationRow, nullptr);
    EXPECT_EQ(stationRow->stationName, u"Night Radio");
    // Pressed, it lists the show: where it was left, of how long.
    ClickRow(0);
    auto* row = dynamic_cast<MyStationComboRecentListBoxRow*>(Row(1));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->DateText(), u"1:02:03");
    EXPECT_EQ(row->headline, u"Night Radio - The long show");
    EXPECT_EQ(row->detailLeft, u"of 3:00:00");
    EXPECT_EQ(row->detailRight, u"DJ Test");

    // Another show now; a click on the row resumes the first from where it was left.
    Listen(13, 0, 2);
    EXPECT_EQ(media.WaitForLines(1), (std::vector<std::string>{"StartPlayStream 7 13 0"}));
    media.Clear();
    ClickRow(1);
    EXPECT_EQ(media.WaitForLines(1), (std::vector<std::string>{"StartPlayStream 7 12 3723"}));
    EXPECT_EQ(main().streamId, 12);
}

TEST_F(ContinueListeningWindow, TheListOutlivesTheProgramNewestFirstOneRowAShow) {
    Listen(12, 100, 20);
    Listen(13, 500, 30);
    // Back to the first: its one entry moves up with its new second.
    Listen(12, 2000, 15);
    Restart();
    main().OnStationInfo(station.get());
    Pump();
    ASSERT_EQ(main().recentShows.shows.size(), 2u);
    EXPECT_EQ(main().recentShows.shows[0],
              (MyRecentShow{7, 12, 2015, main().recentShows.shows[0].listenedAt}));
    EXPECT_EQ(main().recentShows.shows[1].streamId, 13);
    EXPECT_EQ(main().recentShows.shows[1].second, 530) << "switching shows wrote where the other was left";
    chooser().ToggleStation({}, Row(0)->controlId);
    auto* newest = dynamic_cast<MyStationComboRecentListBoxRow*>(Row(1));
    auto* older = dynamic_cast<MyStationComboRecentListBoxRow*>(Row(2));
    ASSERT_TRUE(newest && older);
    EXPECT_EQ(newest->second, 2015);
    EXPECT_EQ(older->second, 530);
    EXPECT_EQ(older->headline, u"Night Radio - The other show");
    EXPECT_EQ(dynamic_cast<MyStationComboRecentListBoxRow*>(Row(3)), nullptr) << "one row a show";
}

TEST_F(ContinueListeningWindow, AShowOnlyGlancedAtOrAFreshStartAddsNothing) {
    // A fresh start: no entry, no file, the stations view as it always was.
    Command(kCommand_ToggleStations);
    auto* first = dynamic_cast<MyStationComboStationListBoxRow*>(Row(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->stationName, u"Night Radio");
    // A few seconds heard, a seek made while paused: not a show being listened to.
    Listen(12, 0, 5);
    main().OnPlayEvent(2);
    main().OnPlayPos(0.5f);
    Pump();
    Restart();
    EXPECT_TRUE(main().recentShows.shows.empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "recent.txt"));
    main().OnStationInfo(station.get());
    Command(kCommand_ToggleStations);
    first = dynamic_cast<MyStationComboStationListBoxRow*>(Row(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->stationName, u"Night Radio");
}

} // namespace
