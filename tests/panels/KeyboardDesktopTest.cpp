// The play controls in a real window on the desktop, worked from the display's keyboard (xdotool): Tab
// brings the focus ring to the screen and Space presses the control that has it.

#include "support/DesktopSupport.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"

using namespace uitest;
using namespace desktoptest;

namespace {

class MuteRecorder : public MyCallbackTarget {
public:
    void Changed(bool muted) { changes.push_back(muted); }
    std::vector<bool> changes;
};

TEST(KeyboardDesktop, TabRingsTheControlsOnScreenAndSpacePressesTheOneRinged) {
    if (!Xdotool({"version"}))
        GTEST_SKIP() << "no xdotool";
    auto system = OpenDisplay();
    if (!system)
        GTEST_SKIP() << "no display";
    TestOwner owner;
    ASSERT_TRUE(owner.Create(system.get(), u"VantriKeys", u"Vantri keys", nullptr, 60, 700, 640, 72));
    auto base = std::make_unique<MyWindowBase>();
    base->backgroundColour = 0xFFFFFF;
    MyWindowBase* root = base.get();
    owner.root = std::move(base);
    root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    MyAppContext app;
    auto controls = std::make_unique<MyPlayControlPanel>(&owner.context, &app);
    controls->Create(&owner.context, 0, 0, 640, 72);
    MyPlayControlPanel* play = root->AddChild(std::move(controls));
    MuteRecorder recorder;
    play->muteButton->callbackTarget = &recorder;
    play->muteButton->MuteChangedCallback = &MuteRecorder::Changed;
    root->Redraw();
    PumpUntil(*system, [&] { return !owner.window->destroyed() && owner.window->visible(); });

    const std::uint32_t ring = ColourToPixel(owner.context.palette.focusRing);
    const RECT mute = play->muteButton->bounds;
    const RECT next = play->playButtons[3]->bounds;
    // The ring is two pixels of its colour along the whole upper edge of the control.
    auto ringed = [&](const RECT& rect) {
        return [&, rect](auto at) {
            for (std::int32_t x = rect.left; x < rect.right; ++x) {
                if (at(x, rect.top) != ring || at(x, rect.top + 1) != ring)
                    return false;
            }
            return true;
        };
    };
    auto bringToFront = [&] { owner.window->BringToFront(); };
    EXPECT_TRUE(ScreenShows(*system, *owner.window, [&](auto at) {
        return at(mute.left + 4, mute.top) != ring;
    })) << "nothing is ringed before a key";

    // The first Tab goes to the mute button, the first stop of the panel.
    ASSERT_TRUE(SendUntil(*system, {"key", "Tab"}, bringToFront,
                          [&] { return owner.context.keyboardFocus == play->muteButton; }));
    EXPECT_TRUE(ScreenShows(*system, *owner.window, ringed(mute))) << "the mute button's ring never showed";

    EXPECT_TRUE(
        SendUntil(*system, {"key", "space"}, bringToFront, [&] { return !recorder.changes.empty(); }));
    EXPECT_EQ(recorder.changes, (std::vector<bool>{true}));
    EXPECT_TRUE(play->muteButton->muted);

    // Shift+Tab from the first stop goes round to the last: the next-track button.
    ASSERT_TRUE(SendUntil(*system, {"key", "shift+Tab"}, bringToFront,
                          [&] { return owner.context.keyboardFocus == play->playButtons[3]; }));
    EXPECT_TRUE(ScreenShows(*system, *owner.window, ringed(next)));
    EXPECT_TRUE(ScreenShows(*system, *owner.window, [&](auto at) { return !ringed(mute)(at); }))
        << "the ring left the mute button";
}

} // namespace
