// Whether the window is drawn in high contrast: the environment decides first, then the first readable of
// the desktop's sources, then the option.
#include "app/HighContrast.h"

#include <gtest/gtest.h>

namespace {

platform::DesktopContrast Desktop(std::optional<bool> system, std::optional<bool> portal,
                                  std::optional<bool> gnome, std::optional<bool> themeName) {
    platform::DesktopContrast desktop;
    desktop.system = system;
    desktop.portal = portal;
    desktop.gnome = gnome;
    desktop.themeName = themeName;
    return desktop;
}

void ExpectChoice(const ContrastChoice& choice, bool high, ContrastSource source) {
    EXPECT_EQ(choice.high, high);
    EXPECT_EQ(choice.source, source);
}

TEST(HighContrast, TheEnvironmentTakesOnlyOneAndZero) {
    EXPECT_EQ(ForcedContrast("1"), true);
    EXPECT_EQ(ForcedContrast("0"), false);
    EXPECT_EQ(ForcedContrast(std::nullopt), std::nullopt);
    for (const char* other : {"", "yes", "true", "10", " 1", "on"})
        EXPECT_EQ(ForcedContrast(std::string(other)), std::nullopt) << other;
}

TEST(HighContrast, TheEnvironmentOverridesTheDesktopAndTheOption) {
    const platform::DesktopContrast highDesktop = Desktop(true, true, true, true);
    ExpectChoice(ChooseContrast("0", highDesktop, true), false, ContrastSource::Environment);
    ExpectChoice(ChooseContrast("1", Desktop(false, false, false, false), false), true,
                 ContrastSource::Environment);
    // A value it does not know leaves the choice to the others.
    ExpectChoice(ChooseContrast("maybe", Desktop(std::nullopt, true, std::nullopt, std::nullopt), false),
                 true, ContrastSource::Portal);
}

TEST(HighContrast, TheFirstReadableDesktopSourceDecides) {
    // Windows' own switch comes before everything else.
    ExpectChoice(DesktopContrastChoice(Desktop(true, false, false, false)), true, ContrastSource::System);
    ExpectChoice(DesktopContrastChoice(Desktop(false, true, true, true)), false, ContrastSource::System);
    // The portal's contrast before GNOME's key: a portal that says "no preference" is believed.
    ExpectChoice(DesktopContrastChoice(Desktop(std::nullopt, true, false, false)), true,
                 ContrastSource::Portal);
    ExpectChoice(DesktopContrastChoice(Desktop(std::nullopt, false, true, true)), false,
                 ContrastSource::Portal);
    // Without the portal's key, GNOME's; without that, the theme's name.
    ExpectChoice(DesktopContrastChoice(Desktop(std::nullopt, std::nullopt, true, false)), true,
                 ContrastSource::Gnome);
    ExpectChoice(DesktopContrastChoice(Desktop(std::nullopt, std::nullopt, false, true)), false,
                 ContrastSource::Gnome);
    ExpectChoice(DesktopContrastChoice(Desktop(std::nullopt, std::nullopt, std::nullopt, true)), true,
                 ContrastSource::ThemeName);
    ExpectChoice(DesktopContrastChoice(platform::DesktopContrast{}), false, ContrastSource::None);
}

TEST(HighContrast, TheOptionTurnsItOnWhereTheDesktopSaysNothingOrOff) {
    ExpectChoice(ChooseContrast(std::nullopt, platform::DesktopContrast{}, true), true,
                 ContrastSource::Option);
    ExpectChoice(ChooseContrast(std::nullopt, Desktop(std::nullopt, false, std::nullopt, std::nullopt), true),
                 true, ContrastSource::Option);
    // Off, the desktop's answer stands, off or on.
    ExpectChoice(ChooseContrast(std::nullopt, platform::DesktopContrast{}, false), false,
                 ContrastSource::None);
    ExpectChoice(
        ChooseContrast(std::nullopt, Desktop(std::nullopt, false, std::nullopt, std::nullopt), false), false,
        ContrastSource::Portal);
    ExpectChoice(ChooseContrast(std::nullopt, Desktop(std::nullopt, std::nullopt, true, std::nullopt), false),
                 true, ContrastSource::Gnome);
    // The desktop saying on is kept as the reason even with the option on.
    ExpectChoice(ChooseContrast(std::nullopt, Desktop(std::nullopt, true, std::nullopt, std::nullopt), true),
                 true, ContrastSource::Portal);
}

} // namespace
