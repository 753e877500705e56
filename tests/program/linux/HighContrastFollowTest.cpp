// The main window follows the desktop's high-contrast setting while it runs: a settings portal played
// by the test on a private session bus changes its "contrast", and the window's palette follows.
#include "program/ProgramFixture.h"

#include "platform/DesktopBusProbe.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "ui/Palette.h"

namespace programtest {
namespace {

using Setting = platform::DesktopBusProbe::PortalSetting;
using testsupport::ScopedEnvironment;

class HighContrastFollowTest : public ProgramFixture {
protected:
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started";
        probe = platform::CreateDesktopBusProbe();
        ASSERT_TRUE(probe);
    }
    void TearDown() override { owner.reset(); }
    // Pumps the window's messages until its palette is `palette`.
    bool PaletteBecomes(const MyPalette& palette) {
        return testsupport::WaitFor([&] {
            Pump();
            return owner->context.palette == palette;
        });
    }

    ScopedEnvironment undecided{"VANTRI_HIGH_CONTRAST", std::nullopt};
    ScopedEnvironment noTheme{"GTK_THEME", std::nullopt};
    testsupport::PrivateSessionBus bus;
    std::unique_ptr<platform::DesktopBusProbe> probe;
};

TEST_F(HighContrastFollowTest, TheWindowFollowsThePortalsContrastWhileItRuns) {
    ASSERT_TRUE(
        probe->ServeSettingsPortal({Setting{"org.freedesktop.appearance", "contrast", 0u, std::nullopt}},
                                   /*readOne=*/true));
    Start();
    EXPECT_EQ(main().contrast.source, ContrastSource::Portal);
    EXPECT_FALSE(main().contrast.high);
    ASSERT_TRUE(owner->contrastWatch) << "a session bus is there to follow";

    ASSERT_TRUE(
        probe->ChangePortalSetting(Setting{"org.freedesktop.appearance", "contrast", 1u, std::nullopt}));
    EXPECT_TRUE(PaletteBecomes(HighContrastPalette())) << "the window never followed the change to high";
    EXPECT_EQ(main().contrast.source, ContrastSource::Portal);

    // A key that is not about contrast changes nothing; back to no preference, the skin's look.
    ASSERT_TRUE(
        probe->ChangePortalSetting(Setting{"org.freedesktop.appearance", "color-scheme", 1u, std::nullopt}));
    ASSERT_TRUE(
        probe->ChangePortalSetting(Setting{"org.freedesktop.appearance", "contrast", 0u, std::nullopt}));
    EXPECT_TRUE(PaletteBecomes(MyPalette{})) << "the window never followed the change back";
}

TEST_F(HighContrastFollowTest, WhileTheEnvironmentDecidesNothingIsFollowed) {
    ScopedEnvironment on("VANTRI_HIGH_CONTRAST", std::string("1"));
    ASSERT_TRUE(
        probe->ServeSettingsPortal({Setting{"org.freedesktop.appearance", "contrast", 0u, std::nullopt}},
                                   /*readOne=*/true));
    Start();
    EXPECT_FALSE(owner->contrastWatch);
    EXPECT_EQ(probe->PortalCalls(), 0) << "the desktop is not even asked";
    EXPECT_TRUE(owner->context.palette.highContrast);
}

} // namespace
} // namespace programtest
