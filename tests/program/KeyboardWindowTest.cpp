// The main window without a mouse: Tab reaches every control in order, and the keys work each control
// as its mouse use does.
#include "ProgramFixture.h"

#include "panels/MyChatPanel.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MySettingsPanel.h"
#include "panels/MyStationComboPanel.h"
#include "panels/MyStreamInfoPanel.h"
#include "platform/WindowMessages.h"
#include "ui/KeyboardFocus.h"

#include <cmath>

namespace programtest {
namespace {

using Lines = std::vector<std::string>;
using namespace platform;

class KeyboardWindowTest : public ProgramFixture {
protected:
    void Key(int key, bool shift = false) {
        system.SetKeyDown(VK_SHIFT, shift);
        window().InjectKey(key, true);
        window().InjectKey(key, false);
        Pump();
        system.SetKeyDown(VK_SHIFT, false);
    }
    MyControlBase* Focus() { return owner->context.keyboardFocus; }
    // Tabs until `control` has the focus; false when a whole round never reaches it.
    bool TabTo(const MyControlBase* control) {
        for (int i = 0; i < 64 && Focus() != control; ++i)
            Key(VK_TAB);
        return Focus() == control;
    }
    MyInfoTabPanel& tabs() { return *main().infoTabPanel; }
    MyPlayControlPanel& play() { return *main().playControlPanel; }
};

TEST_F(KeyboardWindowTest, TabVisitsTheTabsThePageTheSettingsOrTheListsThenThePlayControls) {
    Start();
    PlayStream7();
    main().OnPlayEvent(0); // playing: the position slider takes part
    // The chat page: the tab buttons, the chat, then mute, volume, position and the four play buttons.
    std::vector<MyControlBase*> expected{
        tabs().stationsTab, tabs().settingsTab, tabs().aboutTab, tabs().chatPage->listBox,
        play().muteButton,  play().volumeBar,   play().posBar};
    for (MyPlayButton* button : play().playButtons)
        expected.push_back(button);
    std::vector<MyControlBase*> walked;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Key(VK_TAB);
        walked.push_back(Focus());
    }
    EXPECT_EQ(walked, expected);
    Key(VK_TAB);
    EXPECT_EQ(Focus(), tabs().stationsTab) << "round the end";
    Key(VK_TAB, true);
    EXPECT_EQ(Focus(), play().playButtons[3]) << "Shift+Tab goes back";

    // Every control the walk reaches can be seen: none is empty or hidden.
    for (MyControlBase* control : CollectTabStops(*owner->root))
        EXPECT_TRUE(control->IsShown() && !IsRectEmpty(control->bounds));
}

TEST_F(KeyboardWindowTest, SpaceOnATabButtonOpensItsPageAndTheWalkThenRunsThroughThePage) {
    Start();
    ASSERT_TRUE(TabTo(tabs().settingsTab));
    Key(VK_SPACE);
    ASSERT_TRUE(tabs().settingsPage->IsShown());
    MySettingsPanelButton* box = tabs().settingsPage->buttons[0];
    ASSERT_TRUE(TabTo(box));
    const bool before = box->ticked;
    Key(VK_SPACE);
    EXPECT_NE(box->ticked, before) << "Space toggles the box";
    EXPECT_EQ(Saved().flags, settings->flags) << "and the setting is saved as a click saves it";
    Key(VK_RETURN);
    EXPECT_EQ(box->ticked, before);

    // F7 (the stations page) puts the station list in the walk.
    ASSERT_TRUE(TabTo(tabs().stationsTab));
    Key(VK_RETURN);
    ASSERT_TRUE(tabs().stationPage->IsShown());
    EXPECT_TRUE(TabTo(tabs().stationPage->listBox));
}

TEST_F(KeyboardWindowTest, TheSlidersMoveByKeys) {
    Start();
    PlayStream7();
    main().OnPlayEvent(0);
    At(100.0f);
    ASSERT_TRUE(TabTo(play().volumeBar));
    const float volume = play().volumeBar->value;
    Key(VK_RIGHT);
    EXPECT_NEAR(play().volumeBar->value, std::min(1.0f, std::round(volume * 20 + 1) / 20), 1e-6);
    Key(VK_HOME);
    EXPECT_EQ(play().volumeBar->value, 0.0f);
    Key(VK_UP);
    EXPECT_NEAR(play().volumeBar->value, 0.05f, 1e-6);
    Key(VK_SPACE); // no press in the middle of the slider
    EXPECT_NEAR(play().volumeBar->value, 0.05f, 1e-6);
    const Lines lines = media.WaitForLines(3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "SetVolume 0 0");
    EXPECT_EQ(lines[2], "SetVolume 0.05 0");

    media.Clear();
    ASSERT_TRUE(TabTo(play().posBar));
    Key(VK_RIGHT);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"SetPlayPos 0.366667"})); // 110 of 300 seconds
    Key(VK_LEFT);
    EXPECT_EQ(media.WaitForLines(2).back(), "SetPlayPos 0.333333");
}

TEST_F(KeyboardWindowTest, EnterOnATrackPlaysFromItAndThePlayButtonsPressByKeys) {
    Start();
    PlayStream7();
    ASSERT_TRUE(TabTo(tabs().stationsTab));
    Key(VK_F1 + 7); // F8: the track list
    ASSERT_TRUE(tabs().tracksPage->IsShown());
    MyListBoxV2* tracks = tabs().tracksPage->listBox;
    ASSERT_TRUE(TabTo(tracks));
    media.Clear();
    Key(VK_HOME);
    Key(VK_DOWN);
    Key(VK_RETURN);
    const Lines lines = media.WaitForLines(1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "SetPlayPos 0.333333") << "the second track starts at 100 of 300 seconds";

    media.Clear();
    ASSERT_TRUE(TabTo(play().playButtons[1]));
    Key(VK_SPACE);
    EXPECT_EQ(media.WaitForLines(1), (Lines{"Pause"}));
}

} // namespace
} // namespace programtest
