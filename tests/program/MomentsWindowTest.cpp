// Saved moments in the main window: Ctrl+B keeps the moment playing with its track and the chat before
// it, the station chooser lists it under "Moments" and plays it, its menu copies a link to it or forgets
// it, and the moments outlive the program.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyStationComboPanel.h"
#include "platform/HeadlessWindowSystem.h"
#include "program/Commands.h"
#include "program/FolderProgram.h"
#include "program/MainWindow.h"
#include "program/MainWindowBase.h"
#include "support/ScratchFolder.h"
#include "ui/MyPopupMenu.h"
#include "ui/MyResourceTables.h"
#include "ui/MyTextInput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

struct Program : programtest::FolderProgram {
    using FolderProgram::FolderProgram;
    MyStationComboPanel& chooser() { return *main->infoTabPanel->stationPage; }
    platform::HeadlessWindow& native() { return *dynamic_cast<platform::HeadlessWindow*>(base.window.get()); }
    void Type(std::u16string_view text) {
        native().InjectText(text);
        Pump();
    }
    void Key(int key) {
        native().InjectKey(key, true);
        native().InjectKey(key, false);
        Pump();
    }
    // Chooses item `item` of the popup menu open now with a click, as a user does.
    void ChooseFromMenu(std::int32_t item) {
        Pump();
        platform::HeadlessWindow* popup = system.OpenPopup();
        ASSERT_NE(popup, nullptr) << "no menu open";
        ASSERT_NE(base.context.popupMenu, nullptr);
        const RECT r = base.context.popupMenu->ItemRect(item);
        popup->InjectButton(0, true, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        popup->InjectButton(0, false, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Pump();
        EXPECT_EQ(system.OpenPopup(), nullptr);
    }
    MyListBoxV2ItemBase* Row(std::size_t i) {
        auto& rows = chooser().listBox->rows;
        return i < rows.size() ? rows[i].get() : nullptr;
    }
};

class MomentsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        station.stationId = 7;
        station.name = u"Night Radio";
        auto show = std::make_unique<StreamInfoData>();
        show->stationId = 7;
        show->streamId = 12;
        show->duration = 1000;
        show->text1 = u"The long show";
        stream = show.get();
        station.streams[12] = std::move(show);
        TrackInfo track;
        track.start = 100;
        track.text1 = u"Artist";
        track.text2 = u"Title";
        tracks.push_back(track);
        // One message a second from second 100 on.
        for (int t = 100; t < 200; ++t)
            rows.push_back(StreamChatRow(t, StreamChatRowKind_Message, {u"dj", u"line " + Number(t)}));
    }
    static std::u16string Number(int n) {
        const std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }
    void Play(Program& p, std::int32_t second) {
        p.main->OnStationInfo(&station);
        p.main->PlayLink(7, 12, 0);
        p.main->OnStreamInfo(&station, stream, &tracks);
        p.main->OnStreamChat(stream, &rows);
        p.main->OnPlayPos(static_cast<float>(second) / static_cast<float>(stream->duration));
        p.Pump();
    }

    testsupport::ScratchFolder folder;
    StationInfoData station;
    StreamInfoData* stream = nullptr;
    TrackInfoList tracks;
    StreamChatRowList rows;
};

TEST_F(MomentsWindow, CtrlBKeepsTheMomentWithItsContextAndTheChooserPlaysIt) {
    Program p(folder.text());
    Play(p, 150);
    const std::uint16_t command =
        FindAccelerator(LoadAcceleratorResource(115), 'B', /*control=*/true, false, false);
    ASSERT_EQ(command, kCommand_SaveMoment);
    p.Command(command);

    ASSERT_EQ(p.main->moments.moments.size(), 1u);
    const MyMoment& moment = p.main->moments.moments[0];
    EXPECT_EQ(moment.stationId, 7);
    EXPECT_EQ(moment.streamId, 12);
    EXPECT_EQ(moment.second, 150);
    EXPECT_EQ(moment.track, u"Artist - Title");
    // The chat of the ten seconds up to the moment, oldest first.
    ASSERT_EQ(moment.chat.size(), 10u);
    EXPECT_NE(moment.chat.front().find(u"line 141"), std::u16string::npos);
    EXPECT_NE(moment.chat.back().find(u"line 150"), std::u16string::npos);

    // The chooser heads its stations with "Moments"; expanded, it shows the moment.
    auto* heading = dynamic_cast<MyStationComboStationListBoxRow*>(p.Row(0));
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->stationName, u"Moments");
    auto* stationRow = dynamic_cast<MyStationComboStationListBoxRow*>(p.Row(1));
    ASSERT_NE(stationRow, nullptr);
    EXPECT_EQ(stationRow->stationName, u"Night Radio");
    p.chooser().ToggleStation({}, heading->controlId);
    auto* row = dynamic_cast<MyStationComboMomentListBoxRow*>(p.Row(1));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->DateText(), u"0:02:30");
    EXPECT_EQ(row->headline, u"Night Radio - The long show");
    EXPECT_EQ(row->detailLeft, u"Artist - Title");

    // Choosing it plays its show from its second.
    p.main->stationId = p.main->streamId = 0;
    p.chooser().PlayMoment(row->controlId);
    EXPECT_EQ(p.main->stationId, 7);
    EXPECT_EQ(p.main->streamId, 12);

    // Its menu copies a link to that second.
    p.chooser().MomentMenu(row->controlId);
    p.Command(kCommand_CopyMomentUri);
    std::u16string copied;
    ASSERT_TRUE(p.system.GetClipboardText(copied));
    EXPECT_EQ(copied, u"vantri:track-7-C-2Q"); // 150 = 2 × 62 + 26 in base 62
    EXPECT_EQ(LoadMenuResource(MyStationComboPanel::kMomentMenu).size(), 5u);
}

TEST_F(MomentsWindow, MomentsOutliveTheProgramAndForgettingOneRemovesIt) {
    {
        Program p(folder.text());
        Play(p, 120);
        p.Command(kCommand_SaveMoment);
        Play(p, 190);
        p.Command(kCommand_SaveMoment);
    }
    Program p(folder.text());
    ASSERT_EQ(p.main->moments.moments.size(), 2u);
    p.main->OnStationInfo(&station);
    p.Pump();
    auto* heading = dynamic_cast<MyStationComboStationListBoxRow*>(p.Row(0));
    ASSERT_NE(heading, nullptr);
    p.chooser().ToggleStation({}, heading->controlId);
    // Newest first.
    auto* newest = dynamic_cast<MyStationComboMomentListBoxRow*>(p.Row(1));
    auto* oldest = dynamic_cast<MyStationComboMomentListBoxRow*>(p.Row(2));
    ASSERT_TRUE(newest && oldest);
    EXPECT_EQ(newest->second, 190);
    EXPECT_EQ(oldest->second, 120);

    p.chooser().MomentMenu(newest->controlId);
    p.Command(kCommand_ForgetMoment);
    ASSERT_EQ(p.main->moments.moments.size(), 1u);
    EXPECT_EQ(p.main->moments.moments[0].second, 120);
    p.chooser().MomentMenu(dynamic_cast<MyStationComboMomentListBoxRow*>(p.Row(1))->controlId);
    p.Command(kCommand_ForgetMoment);
    EXPECT_TRUE(p.main->moments.moments.empty());
    // No moments, no heading: the stations view is as it always was.
    auto* first = dynamic_cast<MyStationComboStationListBoxRow*>(p.Row(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->stationName, u"Night Radio");
    std::ifstream file(folder.path() / "Vantri" / "moments.txt");
    EXPECT_EQ(file.peek(), std::ifstream::traits_type::eof());
}

// A note is written later in an input over the moment's row: Enter keeps it, Escape leaves the note as it
// was.
TEST_F(MomentsWindow, ANoteIsWrittenInAnInputOverTheMomentAndKept) {
    {
        Program p(folder.text());
        Play(p, 150);
        p.Command(kCommand_SaveMoment);
        p.Command(kCommand_ToggleStations); // the station chooser shows
        p.chooser().ToggleStation({}, p.Row(0)->controlId);
        auto* row = dynamic_cast<MyStationComboMomentListBoxRow*>(p.Row(1));
        ASSERT_NE(row, nullptr);
        ASSERT_FALSE(p.chooser().noteInput->visible);
        p.chooser().MomentMenu(row->controlId);
        p.ChooseFromMenu(2); // "Write a note"
        MyTextInput& input = *p.chooser().noteInput;
        ASSERT_TRUE(input.visible);
        EXPECT_TRUE(input.hasFocus());
        // Over the moment's row.
        const std::int32_t rowTop = p.chooser().listBox->y + p.chooser().listBox->RowTop(1);
        EXPECT_GE(input.y, rowTop);
        EXPECT_LE(input.y + input.height, rowTop + MyStationComboStreamListBoxRow::kHeight);
        p.Type(u"the interview, 日本語");
        p.Key(platform::VK_RETURN);
        EXPECT_FALSE(input.visible);
        ASSERT_EQ(p.main->moments.moments.size(), 1u);
        EXPECT_EQ(p.main->moments.moments[0].note, u"the interview, 日本語");
        auto* shown = dynamic_cast<MyStationComboMomentListBoxRow*>(p.Row(1));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->detailRight, u"the interview, 日本語");

        // Escape: typed, then thought better of.
        p.chooser().MomentMenu(shown->controlId);
        p.ChooseFromMenu(2);
        EXPECT_EQ(input.text(), u"the interview, 日本語");
        p.Type(u" and more");
        p.Key(platform::VK_ESCAPE);
        EXPECT_FALSE(input.visible);
        EXPECT_EQ(p.main->moments.moments[0].note, u"the interview, 日本語");
    }
    Program p(folder.text());
    ASSERT_EQ(p.main->moments.moments.size(), 1u);
    EXPECT_EQ(p.main->moments.moments[0].note, u"the interview, 日本語");
}

} // namespace
