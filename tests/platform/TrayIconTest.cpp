// The notification-area icon and its balloon on a private session bus, against a watcher and a
// notification server played by the test: registration, clicks as the window's tray messages, the
// balloon's texts and time, removal, and the no-tray path when no watcher is there.

#include "platform/TrayIcon.h"
#include "platform/DesktopBusProbe.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr std::uint32_t kTrayMessage = 1025;
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";

platform::IconImage Icon() {
    platform::IconImage icon;
    icon.width = 2;
    icon.height = 2;
    icon.pixels = {0xFF102030, 0x80405060, 0, 0xFFFFFFFF};
    return icon;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started";
        probe = platform::CreateDesktopBusProbe();
        ASSERT_TRUE(probe);
    }
    // The lParam of the next tray message the window receives; 0 when none came in time.
    std::intptr_t NextClick() {
        platform::WindowMessage message;
        if (!window.Take(message, 5000))
            return 0;
        EXPECT_EQ(message.message, kTrayMessage);
        return message.lParam;
    }

    PrivateSessionBus bus;
    std::unique_ptr<platform::DesktopBusProbe> probe;
    platform::MessageQueue window;
};

TEST_F(TrayIconTest, WithoutAWatcherThereIsNoNotificationAreaUntilOneComes) {
    auto tray = platform::CreateTrayIcon();
    EXPECT_FALSE(tray->available());
    EXPECT_FALSE(tray->Balloon(u"early", u"before the icon was added", 5000));
    // The item waits for a watcher: the program must not hide its window meanwhile (available() is false).
    ASSERT_TRUE(tray->Add(Icon(), u"Vantri", &window, kTrayMessage));
    EXPECT_FALSE(tray->available());
    // A panel that starts after the program gets the item, and its clicks reach the window.
    ASSERT_TRUE(probe->ServeStatusNotifierWatcher());
    ASSERT_TRUE(WaitFor([&] { return probe->RegisteredItems().size() == 1; }));
    EXPECT_TRUE(tray->available());
    const std::string item = probe->RegisteredItems()[0];
    ASSERT_TRUE(probe->Call(item, kItemPath, kItemInterface, "ContextMenu", true));
    EXPECT_EQ(NextClick(), 516);
    tray->Remove();
}

TEST(TrayIconWithoutBus, WithoutASessionBusNothingIsShown) {
    testsupport::ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS",
                                         "unix:path=/nonexistent/vantri-test-bus");
    auto tray = platform::CreateTrayIcon();
    EXPECT_FALSE(tray->available());
    platform::MessageQueue window;
    EXPECT_FALSE(tray->Add(Icon(), u"Vantri", &window, kTrayMessage));
}

TEST_F(TrayIconTest, TheItemRegistersAndItsClicksReachTheWindow) {
    ASSERT_TRUE(probe->ServeStatusNotifierWatcher());
    auto tray = platform::CreateTrayIcon();
    ASSERT_TRUE(tray->available());
    ASSERT_TRUE(tray->Add(Icon(), u"Vantri", &window, kTrayMessage));
    ASSERT_TRUE(WaitFor([&] { return probe->RegisteredItems().size() == 1; }));
    const std::string item = probe->RegisteredItems()[0];
    EXPECT_EQ(item.rfind("org.kde.StatusNotifierItem-", 0), 0u) << item;
    EXPECT_EQ(probe->StringProperty(item, kItemPath, kItemInterface, "Title"), "Vantri");
    EXPECT_EQ(probe->StringProperty(item, kItemPath, kItemInterface, "Status"), "Active");
    EXPECT_EQ(probe->StringProperty(item, kItemPath, kItemInterface, "IconName"), "vantri");

    ASSERT_TRUE(probe->Call(item, kItemPath, kItemInterface, "Activate", true));
    EXPECT_EQ(NextClick(), 513); // show the window
    ASSERT_TRUE(probe->Call(item, kItemPath, kItemInterface, "ContextMenu", true));
    EXPECT_EQ(NextClick(), 516); // the tray menu
    ASSERT_TRUE(probe->Call(item, kItemPath, kItemInterface, "SecondaryActivate", true));
    EXPECT_EQ(NextClick(), 516);

    tray->Remove();
    EXPECT_FALSE(probe->Call(item, kItemPath, kItemInterface, "Activate", true));
}

TEST_F(TrayIconTest, TheBalloonIsADesktopNotificationWithItsTextsAndTime) {
    ASSERT_TRUE(probe->ServeStatusNotifierWatcher());
    ASSERT_TRUE(probe->ServeNotifications());
    auto tray = platform::CreateTrayIcon();
    EXPECT_FALSE(tray->Balloon(u"early", u"before the icon was added", 5000));
    ASSERT_TRUE(tray->Add(Icon(), u"Vantri", &window, kTrayMessage));
    ASSERT_TRUE(
        tray->Balloon(u"Vantri is still here!", u"To quit please right click and choose exit.", 5000));
    ASSERT_TRUE(WaitFor([&] { return probe->Notifications().size() == 1; }));
    const auto shown = probe->Notifications()[0];
    EXPECT_EQ(shown.appName, "Vantri");
    EXPECT_EQ(shown.icon, "vantri");
    EXPECT_EQ(shown.summary, "Vantri is still here!");
    EXPECT_EQ(shown.body, "To quit please right click and choose exit.");
    EXPECT_EQ(shown.timeoutMilliseconds, 5000);
}

} // namespace

namespace {

TEST_F(TrayIconTest, AWatcherThatRestartsGetsTheItemAgainAndNoneMeansNoNotificationArea) {
    ASSERT_TRUE(probe->ServeStatusNotifierWatcher());
    auto tray = platform::CreateTrayIcon();
    ASSERT_TRUE(tray->Add(Icon(), u"Vantri", &window, kTrayMessage));
    ASSERT_TRUE(WaitFor([&] { return probe->RegisteredItems().size() == 1; }));
    probe->StopServingStatusNotifierWatcher();
    EXPECT_TRUE(WaitFor([&] { return !tray->available(); }));
    ASSERT_TRUE(probe->ServeStatusNotifierWatcher());
    EXPECT_TRUE(WaitFor([&] { return probe->RegisteredItems().size() == 1; }));
    EXPECT_TRUE(tray->available());
    const std::string item = probe->RegisteredItems()[0];
    ASSERT_TRUE(probe->Call(item, kItemPath, kItemInterface, "Activate", true));
    EXPECT_EQ(NextClick(), 513);
}

} // namespace
