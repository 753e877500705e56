// High contrast on the desktop (under Xvfb in CI): the station chooser above the play controls in a real
// window, drawn with the high-contrast palette. What the display server shows is plain black behind
// white text at 7:1 or more (list rows, headings, the text bars) and a three-pixel cyan focus ring with a
// black line inside; the buttons keep their skin.

#include "ChooserAndControlsWindow.h"
#include "PlayPanelsSupport.h"
#include "support/DesktopSupport.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyStationComboPanel.h"
#include "panels/PlayControlSkin.h"
#include "ui/Palette.h"

#include <map>

using namespace uitest;
using paneltest::ChooserAndControlsWindow;
using paneltest::SkinImage;
using namespace desktoptest;

namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;
constexpr std::int32_t kListY = 49; // the chooser's list, below its header

// What a rectangle of the screen holds: how many pixels of each colour.
template <typename At> std::map<std::uint32_t, int> Colours(At at, const RECT& rect) {
    std::map<std::uint32_t, int> counts;
    for (std::int32_t y = rect.top; y < rect.bottom; ++y)
        for (std::int32_t x = rect.left; x < rect.right; ++x)
            ++counts[at(x, y)];
    return counts;
}

// True when `rect` is mostly `background`, holds text of `text` (some pixels exactly that colour) and
// nothing but the two and the blends between them (the text's smoothed edges).
template <typename At>
bool ShowsTextOn(At at, const RECT& rect, std::uint32_t background, std::uint32_t text) {
    const std::map<std::uint32_t, int> counts = Colours(at, rect);
    const int total = (rect.right - rect.left) * (rect.bottom - rect.top);
    const auto count = [&](std::uint32_t colour) {
        const auto found = counts.find(colour);
        return found == counts.end() ? 0 : found->second;
    };
    if (count(background) * 2 < total || count(text) < 10)
        return false;
    // Every other pixel lies between the two, channel by channel.
    for (const auto& [colour, n] : counts) {
        for (int shift : {0, 8, 16}) {
            const std::uint32_t c = (colour >> shift) & 0xFF, b = (background >> shift) & 0xFF,
                                t = (text >> shift) & 0xFF;
            if (c < std::min(b, t) || c > std::max(b, t))
                return false;
        }
    }
    return true;
}

TEST(ContrastDesktop, TextRowsAndTheFocusRingReachTheScreenInHighContrast) {
    auto system = OpenDisplay();
    if (!system)
        GTEST_SKIP() << "no display";
    TestOwner owner;
    ASSERT_TRUE(
        owner.Create(system.get(), u"VantriContrast", u"Vantri contrast", nullptr, 40, 40, kWidth, kHeight));
    const MyPalette palette = HighContrastPalette();
    owner.context.palette = palette;
    ChooserAndControlsWindow panels;
    ASSERT_TRUE(panels.Build(owner, system.get(), kWidth, kHeight, palette.background, u"Radio Contrast"));
    MyPlayControlPanel* play = panels.play;
    MyWindowBase* root = panels.root;
    play->timeTextBar->SetTextBarText(u"1:23:45", true);
    // The keyboard's focus on the mute button, its ring shown.
    SetKeyboardFocus(&owner.context, play->muteButton);
    owner.context.focusVisible = true;
    root->Redraw();

    const std::uint32_t black = ColourToPixel(palette.background);
    const std::uint32_t white = ColourToPixel(palette.text);
    const std::uint32_t ring = ColourToPixel(palette.focusRing);
    ASSERT_GE(ContrastRatio(palette.text, palette.background), 7.0);
    ASSERT_GE(ContrastRatio(palette.focusRing, palette.background), 7.0);

    // The station's heading and the stream's two lines, each a row of 32 pixels in the list.
    const RECT heading{1 + 8, kListY, 300, kListY + 31};
    const RECT streamRow{1 + 10, kListY + 32, 300, kListY + 64};
    const RECT time = play->timeTextBar->bounds;
    const RECT timeInside{time.left + 2, time.top + 2, time.right - 2, time.bottom - 2};
    const RECT mute = play->muteButton->bounds;
    const SkinImage panel(104);
    const std::int32_t top = kHeight - 72;
    const bool shown = ScreenShows(*system, *owner.window, [&](auto at) {
        return ShowsTextOn(at, heading, black, white) && ShowsTextOn(at, streamRow, black, white) &&
               ShowsTextOn(at, timeInside, black, white) &&
               // The ring: three cyan pixels deep along the top and the left, then one black.
               at(mute.left + 6, mute.top) == ring && at(mute.left + 6, mute.top + 2) == ring &&
               at(mute.left + 6, mute.top + 3) == black && at(mute.left, mute.top + 8) == ring &&
               at(mute.left + 2, mute.top + 8) == ring && at(mute.left + 3, mute.top + 8) == black &&
               at(mute.right - 1, mute.bottom - 1) == ring &&
               // The play buttons keep their skin.
               at(kWidth - 78 + 5, top + 32 + 5) == panel.at(playskin::ButtonX(2) + 5, 48 + 5);
    });
    EXPECT_TRUE(shown) << "the screen never showed the high-contrast rows, text bar and ring";
}

} // namespace
