// The palettes: the default keeps the skin's look, high contrast meets 7:1 everywhere it draws text, the
// system's colours stand in when Windows gives them, and a new palette reaches the screen at once (lists
// and the focus ring included).
#include "UiFixture.h"

#include "ui/KeyboardFocus.h"
#include "ui/MyListBoxV2.h"
#include "ui/Palette.h"
#include "ui/PaletteChange.h"

using namespace uitest;

namespace {

TEST(Palette, TheContrastRatioIsTheOneOfRelativeLuminance) {
    EXPECT_DOUBLE_EQ(ContrastRatio(RGB(0, 0, 0), RGB(0xFF, 0xFF, 0xFF)), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(RGB(0xFF, 0xFF, 0xFF), RGB(0, 0, 0)), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(RGB(0x33, 0x66, 0xCC), RGB(0x33, 0x66, 0xCC)), 1.0);
    // Mid grey on white: 3.95 (channel 0x80 is 0.2158 linear).
    EXPECT_NEAR(ContrastRatio(RGB(0x80, 0x80, 0x80), RGB(0xFF, 0xFF, 0xFF)), 3.95, 0.01);
    // Green counts far more than blue.
    EXPECT_GT(ContrastRatio(RGB(0, 0xFF, 0), RGB(0, 0, 0)), ContrastRatio(RGB(0, 0, 0xFF), RGB(0, 0, 0)));
}

TEST(Palette, TheDefaultIsTheSkinsLookAndHighContrastMeetsSevenToOne) {
    const MyPalette skin;
    EXPECT_FALSE(skin.highContrast);
    EXPECT_EQ(skin.focusRing, RGB(0x33, 0x66, 0xCC));
    EXPECT_EQ(skin.focusRingWidth, 2);

    const MyPalette high = HighContrastPalette();
    EXPECT_TRUE(high.highContrast);
    EXPECT_GE(high.focusRingWidth, 3);
    for (const COLORREF fore : {high.text, high.dimText, high.link, high.border, high.focusRing})
        EXPECT_GE(ContrastRatio(fore, high.background), 7.0) << std::hex << fore;
    EXPECT_GE(ContrastRatio(high.selectionText, high.selectionBackground), 7.0);
    EXPECT_GE(ContrastRatio(high.selectionBackground, high.background), 7.0) << "a selection stands out";
}

TEST(Palette, EachChoiceGetsItsPalette) {
    platform::DesktopContrast desktop;
    EXPECT_EQ(PaletteFor(ContrastChoice{false, ContrastSource::Portal}, desktop), MyPalette{});
    EXPECT_EQ(PaletteFor(ContrastChoice{true, ContrastSource::Portal}, desktop), HighContrastPalette());
    EXPECT_EQ(PaletteFor(ContrastChoice{true, ContrastSource::Option}, desktop), HighContrastPalette());
    EXPECT_EQ(PaletteFor(ContrastChoice{true, ContrastSource::System}, desktop), HighContrastPalette())
        << "Windows said on but gave no colours";

    // Windows' "High Contrast White": black on white, white on blue for the selection.
    platform::DesktopContrast::Colours colours;
    colours.window = RGB(0xFF, 0xFF, 0xFF);
    colours.windowText = RGB(0, 0, 0);
    colours.highlight = RGB(0x37, 0x00, 0x6E);
    colours.highlightText = RGB(0xFF, 0xFF, 0xFF);
    colours.grayText = RGB(0x60, 0x00, 0x00);
    colours.hotLight = RGB(0x00, 0x00, 0x9F);
    desktop.systemColours = colours;
    const MyPalette system = PaletteFor(ContrastChoice{true, ContrastSource::System}, desktop);
    EXPECT_TRUE(system.highContrast);
    EXPECT_EQ(system.background, colours.window);
    EXPECT_EQ(system.text, colours.windowText);
    EXPECT_EQ(system.selectionBackground, colours.highlight);
    EXPECT_EQ(system.selectionText, colours.highlightText);
    EXPECT_EQ(system.link, colours.hotLight);
    EXPECT_EQ(system.focusRing, colours.highlight);
    // A link colour too faint against the window is replaced by the text's.
    colours.hotLight = RGB(0x80, 0x80, 0xFF);
    desktop.systemColours = colours;
    EXPECT_EQ(PaletteFor(ContrastChoice{true, ContrastSource::System}, desktop).link, colours.windowText);
    // The system's colours only when it was the system that said so.
    EXPECT_EQ(PaletteFor(ContrastChoice{true, ContrastSource::Environment}, desktop), HighContrastPalette());
}

class PaletteWindow : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 300);
        auto made = std::make_unique<MyListBoxV2>();
        made->Create(&owner.context, 0, 0, 300, 200);
        made->backgroundColour = RGB(0xE5, 0xE5, 0xE5);
        list = Attach(std::move(made));
        auto control = std::make_unique<SolidControl>(RGB(0xFF, 0xFF, 0x00));
        control->Create(&owner.context, 320, 20, 60, 40);
        control->tabStop = true;
        stop = Attach(std::move(control));
        root->Redraw();
    }
    MyListBoxV2* list = nullptr;
    SolidControl* stop = nullptr;
};

TEST_F(PaletteWindow, HighContrastRepaintsListsAtOnceAndWidensTheRingWithALineInside) {
    EXPECT_EQ(BackPixel(10, 10), 0xE5E5E5u) << "the list's own background by default";
    ChangePalette(owner.context, *root, HighContrastPalette());
    EXPECT_EQ(BackPixel(10, 10), 0x000000u) << "the palette's background, without waiting for a change";

    SetKeyboardFocus(&owner.context, stop);
    owner.context.focusVisible = true;
    stop->Redraw();
    const std::uint32_t cyan = ColourToPixel(HighContrastPalette().focusRing);
    const RECT b = stop->bounds;
    for (std::int32_t x = b.left; x < b.right; ++x) {
        ASSERT_EQ(BackPixel(x, b.top), cyan) << x;
        ASSERT_EQ(BackPixel(x, b.top + 2), cyan) << x;
    }
    // Inside the three cyan pixels, one of the background, then the control's own yellow.
    EXPECT_EQ(BackPixel(b.left + 10, b.top + 3), 0x000000u);
    EXPECT_EQ(BackPixel(b.left + 3, b.top + 10), 0x000000u);
    EXPECT_EQ(BackPixel(b.left + 10, b.top + 4), 0xFFFF00u);
    EXPECT_EQ(BackPixel(b.right - 1, b.top + 10), cyan);
    EXPECT_EQ(BackPixel(b.right - 3, b.bottom - 3), cyan);

    // Back to the default: the skin's look and the two-pixel blue ring again.
    ChangePalette(owner.context, *root, MyPalette{});
    stop->Redraw();
    EXPECT_EQ(BackPixel(10, 10), 0xE5E5E5u);
    const std::uint32_t blue = ColourToPixel(MyPalette{}.focusRing);
    EXPECT_EQ(BackPixel(b.left + 10, b.top + 1), blue);
    EXPECT_EQ(BackPixel(b.left + 10, b.top + 2), 0xFFFF00u);
}

} // namespace
