// The play control panel on a headless window: the geometry of its children, the sliders' arithmetic and
// drags, the buttons' presses, the track segments of the position bar read back from the pixels, and a
// skin that fails to load.

#include "PlayPanelsSupport.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScratchFolder.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/PlayControlSkin.h"

#include <cmath>

using namespace uitest;
using paneltest::SkinImage;

namespace {

// Records the panel's own callbacks.
class PanelRecorder : public MyCallbackTarget {
public:
    void Volume(float v) { log.push_back("volume " + std::to_string(v)); }
    void Mute(bool m) { log.push_back(m ? "mute on" : "mute off"); }
    void PosChanged(float v) { log.push_back("pos " + std::to_string(v)); }
    void PosReleased(float v) { log.push_back("released " + std::to_string(v)); }
    void Click(std::int32_t id) { log.push_back("click " + std::to_string(id)); }
    std::vector<std::string> log;
};

class PlayControlPanelTest : public UiFixture {
protected:
    void Make(std::int32_t width, std::int32_t height = 200, int skin = 104) {
        Open(width, height);
        auto made = std::make_unique<MyPlayControlPanel>(&owner.context, &app);
        made->skinResource = skin;
        made->Create(&owner.context, 0, height - MyPlayControlPanel::kHeight, width,
                     MyPlayControlPanel::kHeight);
        panel = Attach(std::move(made));
        Wire();
        root->Redraw();
        Pump();
    }
    void Wire() {
        panel->volumeBar->callbackTarget = &events;
        panel->volumeBar->VolumeChangedCallback = &PanelRecorder::Volume;
        panel->muteButton->callbackTarget = &events;
        panel->muteButton->MuteChangedCallback = &PanelRecorder::Mute;
        panel->posBar->callbackTarget = &events;
        panel->posBar->PosChangedCallback = &PanelRecorder::PosChanged;
        panel->posBar->PosReleasedCallback = &PanelRecorder::PosReleased;
        for (MyPlayButton* button : panel->playButtons) {
            button->callbackTarget = &events;
            button->controlId = button->kind;
            button->LClickCallback = &PanelRecorder::Click;
        }
    }
    void Press(std::int32_t x, std::int32_t y) {
        native->InjectButton(0, true, x, y);
        Pump();
    }
    void Release(std::int32_t x, std::int32_t y) {
        native->InjectButton(0, false, x, y);
        Pump();
    }
    void Move(std::int32_t x, std::int32_t y) {
        native->InjectMouseMove(x, y);
        Pump();
    }
    static RECT Rect(std::int32_t l, std::int32_t t, std::int32_t w, std::int32_t h) {
        return RECT{l, t, l + w, t + h};
    }

    MyAppContext app;
    PanelRecorder events;
    MyPlayControlPanel* panel = nullptr;
    SkinImage skin{104};
};

TEST_F(PlayControlPanelTest, ChildrenStandWhereTheLayoutPutsThemAtEveryWidth) {
    Make(800, 300);
    for (std::int32_t w : {800, 500}) {
        if (w != 800) {
            // The main window lays the panel out; here the test does.
            native->InjectResize(w, 300);
            Pump();
            panel->SetBounds(RECT{0, 300 - 72, w, 300});
            Pump();
        }
        SCOPED_TRACE(w);
        const std::int32_t top = 300 - 72;
        EXPECT_EQ(panel->bounds, Rect(0, top, w, 72));
        EXPECT_EQ(panel->timeTextBar->bounds, Rect(0, top, 54, 24));
        EXPECT_EQ(panel->statusTextBar->bounds, Rect(54, top, w - 152, 24));
        EXPECT_EQ(panel->volumeBar->bounds, Rect(w - 72, top, 64, 24));
        EXPECT_EQ(panel->muteButton->bounds, Rect(w - 92, top, 14, 24));
        EXPECT_EQ(panel->posBar->bounds, Rect(8, top + 32, w - 174, 32));
        EXPECT_EQ(panel->playButtons[0]->bounds, Rect(w - 149, top + 32, 36, 32));
        EXPECT_EQ(panel->playButtons[1]->bounds, Rect(w - 113, top + 32, 35, 32));
        EXPECT_EQ(panel->playButtons[2]->bounds, Rect(w - 78, top + 32, 35, 32));
        EXPECT_EQ(panel->playButtons[3]->bounds, Rect(w - 43, top + 32, 35, 32));
        // The corner image lies at the bottom right, the lower strip's left column at the left.
        EXPECT_EQ(BackPixel(w - 157 + 2, top + 24 + 2), skin.at(2, 2));
        EXPECT_EQ(BackPixel(w - 1, 299), skin.at(156, 47));
        EXPECT_EQ(BackPixel(0, top + 30), skin.at(playskin::kFrameLeftColumn, playskin::kFrame48Top + 6));
        EXPECT_EQ(native->ScreenPixel(w - 1, 299), skin.at(156, 47));
    }
}

TEST_F(PlayControlPanelTest, InitialStateComesFromTheSettings) {
    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    settings.volume = 0.5f;
    settings.SetFlag(SettingsFlag_Muted, true);
    app.settings = &settings;
    Make(600);
    EXPECT_EQ(panel->statusTextBar->text, u"Init ok.");
    EXPECT_FALSE(panel->statusTextBar->centred);
    EXPECT_EQ(panel->timeTextBar->text, u"");
    EXPECT_FLOAT_EQ(panel->volumeBar->value, 0.5f);
    EXPECT_EQ(panel->volumeBar->knobOffset, 25); // (64 - 14) / 2
    EXPECT_TRUE(panel->muteButton->muted);
    EXPECT_FALSE(panel->posBar->enabled);
    // The muted piece is on the screen.
    const RECT& m = panel->muteButton->bounds;
    for (int dx = 0; dx < playskin::kMuteWidth; ++dx) {
        for (int dy = 0; dy < playskin::kMuteHeight; ++dy)
            ASSERT_EQ(BackPixel(m.left + dx, m.top + dy),
                      skin.at(playskin::kMutedX + dx, playskin::kMuteY + dy));
    }
}

TEST_F(PlayControlPanelTest, PositionPressesAndDragsClampAtBothEnds) {
    Make(600);
    MyPlayPosBar* bar = panel->posBar;
    bar->enabled = true;
    const std::int32_t left = bar->x;
    const std::int32_t barY = bar->y + 10;
    Press(left + 3, barY);
    EXPECT_FLOAT_EQ(bar->value, 0.0f);
    EXPECT_EQ(bar->knobOffset, 0);
    Move(bar->x + bar->width - 5, barY); // more than width - 6 to the right
    EXPECT_FLOAT_EQ(bar->value, 1.0f);
    EXPECT_EQ(bar->knobOffset, bar->width - 12);
    Move(left - 40, barY); // dragged past the left end, outside the window's controls
    EXPECT_FLOAT_EQ(bar->value, 0.0f);
    const std::int32_t quarter = (bar->width - 12) / 4;
    const float inside = static_cast<float>(quarter) / static_cast<float>(bar->width - 12);
    Move(left + 6 + quarter, barY);
    EXPECT_FLOAT_EQ(bar->value, inside);
    EXPECT_EQ(bar->knobOffset, quarter);
    Release(left + 2000, barY);
    // The release reports the value the knob had; it does not move it.
    EXPECT_EQ(events.log, (std::vector<std::string>{"pos 0.000000", "pos 1.000000", "pos 0.000000",
                                                    "pos " + std::to_string(inside),
                                                    "released " + std::to_string(inside)}));
    EXPECT_FALSE(bar->dragging);
}

TEST_F(PlayControlPanelTest, APositionArrivingDuringADragWaitsForTheRelease) {
    Make(600);
    MyPlayPosBar* bar = panel->posBar;
    bar->enabled = true;
    Press(bar->x + 6, bar->y + 5);
    bar->SetPosition(0.5f);
    EXPECT_FLOAT_EQ(bar->value, 0.0f);
    EXPECT_EQ(bar->knobOffset, 0);
    Release(bar->x + 6, bar->y + 5);
    bar->SetPosition(0.5f);
    EXPECT_FLOAT_EQ(bar->value, 0.5f);
    EXPECT_EQ(bar->knobOffset, (bar->width - 12) / 2);
}

TEST_F(PlayControlPanelTest, SetPositionClampsAndTheKnobIsDrawnWithItsMask) {
    Make(600);
    MyPlayPosBar* bar = panel->posBar;
    bar->SetPosition(1.3f);
    EXPECT_FLOAT_EQ(bar->value, 1.0f);
    EXPECT_EQ(bar->knobOffset, bar->width - 12);
    bar->SetPosition(-0.2f);
    EXPECT_FLOAT_EQ(bar->value, 0.0f);
    EXPECT_EQ(bar->knobOffset, 0);
    bar->SetPosition(std::nanf(""));
    EXPECT_FLOAT_EQ(bar->value, 0.0f);

    // Disabled: no knob, the plain bar shows. Enabled: bar AND mask OR image.
    bar->SetPosition(0.5f);
    const std::int32_t knobX = bar->x + 2 + bar->knobOffset;
    const std::int32_t tx = knobX + 4 - bar->x; // bar column under the knob's fourth column
    const std::uint32_t plain = skin.at(playskin::kBarPlainMiddleColumn, playskin::kBarTop + 16);
    ASSERT_GT(tx, 12);
    EXPECT_EQ(BackPixel(knobX + 4, bar->y + 16), plain);
    bar->enabled = true;
    bar->Redraw();
    for (int row : {0, 8, 16, 31}) {
        const std::uint32_t under = skin.at(playskin::kBarPlainMiddleColumn, playskin::kBarTop + row);
        const std::uint32_t expected = (under & skin.at(playskin::kKnobMaskX + 4, playskin::kKnobY + row)) |
                                       skin.at(playskin::kKnobImageX + 4, playskin::kKnobY + row);
        EXPECT_EQ(BackPixel(knobX + 4, bar->y + row), expected) << row;
    }
}

TEST_F(PlayControlPanelTest, TrackMarksSplitTheBarIntoAlternatingSegments) {
    // A 412-pixel bar (track length 400) needs a panel of 412 + 174.
    Make(586);
    MyPlayPosBar* bar = panel->posBar;
    ASSERT_EQ(bar->width, 412);
    StreamInfoData stream;
    stream.duration = 3600;
    TrackInfoList tracks(3);
    tracks[0].start = 0;
    tracks[1].start = 900;
    tracks[2].start = 2700;
    EXPECT_EQ(MyPlayPosBar::MarkAt(900, 3600, 400), 100);
    EXPECT_EQ(MyPlayPosBar::MarkAt(2700, 3600, 400), 300);
    bar->marks = &tracks;
    bar->markStream = &stream;
    bar->DropCache();
    bar->Redraw();

    using namespace playskin;
    const std::int32_t middle[2] = {kBarMiddleColumn, kBarMiddleColumn + kBarStyleStep};
    // A row where the two styles' middle columns differ tells the segments apart.
    std::int32_t row = -1;
    for (std::int32_t r = 0; r < kBarHeight && row < 0; ++r) {
        if (skin.at(middle[0], kBarTop + r) != skin.at(middle[1], kBarTop + r))
            row = r;
    }
    ASSERT_GE(row, 0) << "the skin draws both segment styles alike";
    auto styleAt = [&](std::int32_t t) {
        const std::uint32_t p = BackPixel(bar->x + t + 6, bar->y + row);
        if (p == skin.at(middle[0], kBarTop + row))
            return 0;
        if (p == skin.at(middle[1], kBarTop + row))
            return 1;
        return -1;
    };
    for (std::int32_t t : {6, 50, 99})
        EXPECT_EQ(styleAt(t), 0) << t;
    for (std::int32_t t : {100, 200, 299})
        EXPECT_EQ(styleAt(t), 1) << t;
    for (std::int32_t t : {300, 350, 393})
        EXPECT_EQ(styleAt(t), 0) << t;
    // The zones at both ends of the track and the right end, all of style 0.
    for (std::int32_t r = 0; r < kBarHeight; ++r) {
        EXPECT_EQ(BackPixel(bar->x + 6 + 2, bar->y + r), skin.at(kBarLeftZoneColumn + 2, kBarTop + r));
        EXPECT_EQ(BackPixel(bar->x + 6 + 398, bar->y + r), skin.at(kBarRightZoneColumn + 4, kBarTop + r));
        EXPECT_EQ(BackPixel(bar->x + 412 - 6 + 3, bar->y + r), skin.at(kBarRightEndX + 3, kBarTop + r));
        EXPECT_EQ(BackPixel(bar->x + 1, bar->y + r), skin.at(kBarPlainLeftX + 1, kBarTop + r));
    }
}

TEST_F(PlayControlPanelTest, OddTrackListsStayInsideTheBar) {
    Make(586);
    MyPlayPosBar* bar = panel->posBar;
    StreamInfoData stream; // no duration
    TrackInfoList tracks(2);
    tracks[1].start = 500;
    bar->marks = &tracks;
    bar->markStream = &stream;
    bar->DropCache();
    bar->Redraw();
    EXPECT_EQ(MyPlayPosBar::MarkAt(500, 0, 400), 0);
    EXPECT_EQ(MyPlayPosBar::MarkAt(7200, 3600, 400), 400); // past the end: held at the end
    EXPECT_EQ(MyPlayPosBar::MarkAt(-1, 3600, 400), 400);   // starts are unsigned
}

TEST_F(PlayControlPanelTest, MuteTogglesOnThePressOncePerClick) {
    Make(600);
    const RECT& m = panel->muteButton->bounds;
    Press(m.left + 3, m.top + 3);
    EXPECT_TRUE(panel->muteButton->muted);
    Release(m.left + 3, m.top + 3);
    EXPECT_TRUE(panel->muteButton->muted);
    Press(m.left + 3, m.top + 3);
    Release(m.left + 300, m.top + 3);
    EXPECT_FALSE(panel->muteButton->muted);
    EXPECT_EQ(events.log, (std::vector<std::string>{"mute on", "mute off"}));
}

TEST_F(PlayControlPanelTest, AButtonClicksOnlyWhenReleasedInside) {
    Make(600);
    MyPlayButton* play = panel->playButtons[2];
    play->lit = true;
    play->Redraw();
    const RECT& b = play->bounds;
    Press(b.left + 5, b.top + 5);
    EXPECT_TRUE(play->pressed);
    // Pressed and lit: the piece from row 80 + 64.
    EXPECT_EQ(BackPixel(b.left + 5, b.top + 5), skin.at(playskin::ButtonX(2) + 5, 80 + 64 + 5));
    Release(b.right + 10, b.top + 5);
    EXPECT_FALSE(play->pressed);
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(BackPixel(b.left + 5, b.top + 5), skin.at(playskin::ButtonX(2) + 5, 48 + 64 + 5));
    Press(b.left + 5, b.top + 5);
    Release(b.right - 1, b.bottom - 1);
    EXPECT_EQ(events.log, (std::vector<std::string>{"click 2"}));
}

TEST_F(PlayControlPanelTest, VolumePressAndDragReportTheValue) {
    Make(600);
    MyPlayVolumeBar* volume = panel->volumeBar;
    Press(volume->x + 7 + 25, volume->y + 10);
    EXPECT_FLOAT_EQ(volume->value, 0.5f);
    Move(volume->x + 200, volume->y + 10);
    EXPECT_FLOAT_EQ(volume->value, 1.0f);
    Release(volume->x + 200, volume->y + 10);
    Move(volume->x + 7, volume->y + 10); // no drag once released
    EXPECT_EQ(events.log, (std::vector<std::string>{"volume 0.500000", "volume 1.000000"}));
    // The knob stands 4 + offset into the bar.
    EXPECT_EQ(BackPixel(volume->x + 4 + 50 + 2, volume->y + 3 + 5),
              skin.at(playskin::kVolumeKnobX + 2, playskin::kVolumeKnobY + 5));
    volume->SetVolumeValue(0.2f);
    EXPECT_EQ(volume->knobOffset, 10);
}

TEST_F(PlayControlPanelTest, TheSameTextWithAnotherAlignmentChangesNothing) {
    Make(600);
    MyPlayTextBar* status = panel->statusTextBar;
    status->SetTextBarText(u"Artist - Title", false);
    Pump();
    const auto presented = native->presented().size();
    status->SetTextBarText(u"Artist - Title", true);
    EXPECT_FALSE(status->centred);
    Pump();
    EXPECT_EQ(native->presented().size(), presented); // nothing was redrawn
    status->SetTextBarText(u"0:01:02", true);
    EXPECT_TRUE(status->centred);
}

TEST_F(PlayControlPanelTest, ASkinThatFailsToLoadShowsOneBoxAndDrawsNothing) {
    testsupport::RecordingMessageBoxes boxes;
    Make(600, 200, 9999);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.texts()[0], u"PanelGraphics->LoadBitmap FAILED!");
    EXPECT_EQ(boxes.captions()[0], u"Fel!");
    // Corner, buttons, bar and knob: only the window's white background.
    panel->posBar->enabled = true;
    panel->posBar->Redraw();
    for (std::int32_t x = 0; x < 600; x += 7) {
        EXPECT_EQ(BackPixel(x, 200 - 72 + 40), 0xFFFFFFu) << x;
        EXPECT_EQ(BackPixel(x, 199), 0xFFFFFFu) << x;
    }
}

} // namespace
