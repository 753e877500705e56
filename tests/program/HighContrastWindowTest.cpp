// The main window's high contrast: off at default settings with the skin's look, the menu's option turns
// it on and off at once and is kept for the next start, and VANTRI_HIGH_CONTRAST decides over both.
#include "ProgramFixture.h"

#include "panels/MyInfoTabPanel.h"
#include "program/Commands.h"
#include "support/ScopedEnvironment.h"
#include "ui/Palette.h"

namespace programtest {
namespace {

using testsupport::ScopedEnvironment;

class HighContrastWindowTest : public ProgramFixture {
protected:
    // A pixel of the tab bar, between the tabs.
    std::uint32_t TabBarPixel() { return owner->backBuffer.bitmap->row(4)[300] & 0xFFFFFF; }
    const MyPalette& palette() { return owner->context.palette; }

    // The desktop says nothing, or off: no session bus, no theme named.
    ScopedEnvironment noBus{"DBUS_SESSION_BUS_ADDRESS", std::string("unix:path=/nonexistent/vantri-bus")};
    ScopedEnvironment noTheme{"GTK_THEME", std::nullopt};
};

TEST_F(HighContrastWindowTest, TheOptionTurnsItOnAndOffAtOnceAndIsKeptForTheNextStart) {
    ScopedEnvironment undecided("VANTRI_HIGH_CONTRAST", std::nullopt);
    Start();
    EXPECT_FALSE(main().contrast.high);
    // Windows' own switch can always be read (off here); elsewhere nothing is readable.
    EXPECT_TRUE(main().contrast.source == ContrastSource::None ||
                main().contrast.source == ContrastSource::System);
    EXPECT_EQ(palette(), MyPalette{}) << "the default look";
    const std::uint32_t skinPixel = TabBarPixel();
    ASSERT_NE(skinPixel, 0x000000u);

    EXPECT_TRUE(main().HandleCommand(kCommand_HighContrast));
    EXPECT_TRUE(Saved().HasFlag(SettingsFlag_HighContrast));
    EXPECT_EQ(main().contrast.source, ContrastSource::Option);
    EXPECT_EQ(palette(), HighContrastPalette());
    EXPECT_EQ(TabBarPixel(), ColourToPixel(HighContrastPalette().background)) << "redrawn at once";

    Restart();
    EXPECT_TRUE(main().contrast.high) << "the option was kept";
    EXPECT_EQ(TabBarPixel(), ColourToPixel(HighContrastPalette().background));

    EXPECT_TRUE(main().HandleCommand(kCommand_HighContrast));
    EXPECT_FALSE(Saved().HasFlag(SettingsFlag_HighContrast));
    EXPECT_EQ(palette(), MyPalette{});
    EXPECT_EQ(TabBarPixel(), skinPixel) << "the skin's pixels again";
}

TEST_F(HighContrastWindowTest, TheEnvironmentDecidesOverTheOption) {
    {
        ScopedEnvironment on("VANTRI_HIGH_CONTRAST", std::string("1"));
        Start();
        EXPECT_EQ(main().contrast.source, ContrastSource::Environment);
        EXPECT_TRUE(palette().highContrast);
        // The option is still saved, for a start without the variable.
        main().HandleCommand(kCommand_HighContrast);
        EXPECT_TRUE(Saved().HasFlag(SettingsFlag_HighContrast));
        EXPECT_TRUE(palette().highContrast);
    }
    ScopedEnvironment off("VANTRI_HIGH_CONTRAST", std::string("0"));
    Restart();
    EXPECT_FALSE(main().contrast.high) << "0 keeps the skin's look though the option is on";
    EXPECT_EQ(palette(), MyPalette{});
}

} // namespace
} // namespace programtest
