// The desktop's high-contrast setting read from a settings portal played by the test on a private
// session bus: both portal versions, GNOME's key through the portal, keys it lacks, a portal that does
// not answer in time, no session bus at all, and the theme named by GTK_THEME.
#include "platform/DesktopContrast.h"
#include "platform/DesktopBusProbe.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

using namespace testsupport;
using Setting = platform::DesktopBusProbe::PortalSetting;

namespace {

const Setting kContrastHigh{"org.freedesktop.appearance", "contrast", 1u, std::nullopt};
const Setting kContrastNone{"org.freedesktop.appearance", "contrast", 0u, std::nullopt};
const Setting kGnomeOn{"org.gnome.desktop.a11y.interface", "high-contrast", std::nullopt, true};
const Setting kGnomeOff{"org.gnome.desktop.a11y.interface", "high-contrast", std::nullopt, false};

class DesktopContrastTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started";
        probe = platform::CreateDesktopBusProbe();
        ASSERT_TRUE(probe);
    }
    PrivateSessionBus bus;
    ScopedEnvironment theme{"GTK_THEME", std::nullopt};
    std::unique_ptr<platform::DesktopBusProbe> probe;
};

TEST_F(DesktopContrastTest, AVersionTwoPortalAnswersBothKeysThroughReadOne) {
    ASSERT_TRUE(probe->ServeSettingsPortal({kContrastHigh, kGnomeOff}, /*readOne=*/true));
    const platform::DesktopContrast read = platform::ReadDesktopContrast();
    EXPECT_EQ(read.portal, true);
    EXPECT_EQ(read.gnome, false);
    EXPECT_EQ(read.themeName, std::nullopt);
    EXPECT_EQ(read.system, std::nullopt) << "only Windows has a system switch";
}

TEST_F(DesktopContrastTest, AVersionOnePortalIsReadThroughReadAndItsWrappedValues) {
    ASSERT_TRUE(probe->ServeSettingsPortal({kContrastNone, kGnomeOn}, /*readOne=*/false));
    const platform::DesktopContrast read = platform::ReadDesktopContrast();
    EXPECT_EQ(read.portal, false) << "0 is no preference";
    EXPECT_EQ(read.gnome, true);
}

TEST_F(DesktopContrastTest, AKeyThePortalLacksIsNotReadable) {
    ASSERT_TRUE(probe->ServeSettingsPortal({kGnomeOn}, /*readOne=*/true));
    const platform::DesktopContrast read = platform::ReadDesktopContrast();
    EXPECT_EQ(read.portal, std::nullopt);
    EXPECT_EQ(read.gnome, true) << "the other key is still asked for";
}

// Without a session bus (a private bus would start the system's own portal on demand, where one is
// installed), only the theme's name can be read.
TEST(DesktopContrast, WithoutASessionBusOnlyTheThemeNameIsReadable) {
    ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", std::string("unix:path=/nonexistent/vantri-bus"));
    {
        ScopedEnvironment unnamed("GTK_THEME", std::nullopt);
        const platform::DesktopContrast read = platform::ReadDesktopContrast();
        EXPECT_EQ(read.portal, std::nullopt);
        EXPECT_EQ(read.gnome, std::nullopt);
        EXPECT_EQ(read.themeName, std::nullopt);
    }
    {
        ScopedEnvironment named("GTK_THEME", std::string("HighContrastInverse"));
        const platform::DesktopContrast read = platform::ReadDesktopContrast();
        EXPECT_EQ(read.portal, std::nullopt);
        EXPECT_EQ(read.themeName, true);
    }
    {
        ScopedEnvironment named("GTK_THEME", std::string("highcontrast"));
        EXPECT_EQ(platform::ReadDesktopContrast().themeName, true) << "in any case";
    }
    {
        ScopedEnvironment named("GTK_THEME", std::string("Adwaita:dark"));
        EXPECT_EQ(platform::ReadDesktopContrast().themeName, false);
    }
}

TEST_F(DesktopContrastTest, APortalThatDoesNotAnswerInTimeIsAskedOnceAndGivesNothing) {
    ASSERT_TRUE(probe->ServeSettingsPortal({kContrastHigh, kGnomeOn}, /*readOne=*/true,
                                           platform::kDesktopContrastTimeoutMilliseconds + 1000));
    const platform::DesktopContrast read = platform::ReadDesktopContrast();
    EXPECT_EQ(read.portal, std::nullopt);
    EXPECT_EQ(read.gnome, std::nullopt);
    // A call the portal does not have comes back only after every call sent before it was taken.
    EXPECT_FALSE(probe->Call("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                             "org.freedesktop.portal.Settings", "ReadAll"));
    EXPECT_EQ(probe->PortalCalls(), 1) << "the second key is not asked of a portal that did not answer";
}

} // namespace
