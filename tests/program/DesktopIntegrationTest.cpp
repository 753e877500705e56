// The whole program on a private session bus, headless, with its desktop files in a scratch home: at
// start it registers the vantri: scheme and appears in the notification area and as an MPRIS player; closing
// hides it behind the icon with the balloon and a click on the icon shows it;
// the desktop's volume reaches the settings file, and the desktop's Quit ends the program.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "platform/DesktopBusProbe.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/LinkSchemeRegistry.h"
#include "platform/WindowMessages.h"
#include "program/MainWindowBase.h"
#include "program/Program.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

TEST(DesktopIntegration, TheProgramRegistersItsSchemeShowsItsIconAndObeysTheDesktopsMediaControls) {
    PrivateSessionBus bus;
    if (!bus.running())
        GTEST_SKIP() << "dbus-daemon could not be started";
    int code = 0;
    RunTool({"sh", "-c", "command -v playerctl"}, &code);
    if (code != 0)
        GTEST_SKIP() << "playerctl is not installed";
    ScratchFolder scratch;
    fs::create_directories(scratch.path() / "run");
    fs::permissions(scratch.path() / "run", fs::perms::owner_all);
    ScopedEnvironment home("HOME", scratch.path().string());
    ScopedEnvironment data("XDG_DATA_HOME", (scratch.path() / "data").string());
    ScopedEnvironment config("XDG_CONFIG_HOME", (scratch.path() / "config").string());
    ScopedEnvironment dataDirs("XDG_DATA_DIRS", (scratch.path() / "system").string());
    ScopedEnvironment configDirs("XDG_CONFIG_DIRS", (scratch.path() / "system-config").string());
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", (scratch.path() / "run").string());
    ScopedEnvironment directory("VANTRI_DIRECTORY", "127.0.0.1:1");
    ScopedEnvironment update("VANTRI_UPDATE_SERVER", "127.0.0.1:1");
    auto probe = platform::CreateDesktopBusProbe();
    ASSERT_TRUE(probe);
    ASSERT_TRUE(probe->ServeStatusNotifierWatcher());
    ASSERT_TRUE(probe->ServeNotifications());

    std::atomic<bool> started{false};
    std::atomic<platform::Window*> window{nullptr};
    std::atomic<int> exitCode{-1};
    ProgramOptions options;
    options.instanceName = "vantri-desktop-test";
    options.openWindowSystem = [] { return std::make_unique<platform::HeadlessWindowSystem>(); };
    options.started = [&](MainWindowBase& owner, MyAppContext&) {
        window = owner.window.get();
        started = true;
    };
    std::thread program([&] { exitCode = RunProgram("", options); });

    EXPECT_TRUE(WaitFor([&] { return started.load(); }, std::chrono::seconds(20)));
    // The link scheme now names the program (the test program stands in for it).
    const auto registered = platform::ReadLinkSchemeCommand(u"vantri");
    ASSERT_TRUE(registered);
    EXPECT_NE(registered->find(u"kpwx318"), std::u16string::npos);
    EXPECT_TRUE(fs::exists(scratch.path() / "data" / "applications" / "vantri.desktop"));
    // The notification area knows the item. Closing hides the window there with the balloon; a click on
    // the item shows it again. (The window's visibility is polled from this thread.)
    ASSERT_TRUE(WaitFor([&] { return probe->RegisteredItems().size() == 1; }));
    const std::string item = probe->RegisteredItems()[0];
    ASSERT_TRUE(window.load()->Post({platform::WM_CLOSE, 0, 0}));
    EXPECT_TRUE(WaitFor([&] { return !window.load()->visible(); }));
    ASSERT_TRUE(WaitFor([&] { return probe->Notifications().size() == 1; }));
    EXPECT_EQ(probe->Notifications()[0].summary, "Vantri is still here!");
    EXPECT_EQ(probe->Notifications()[0].body, "To quit please right click and choose exit.");
    EXPECT_EQ(probe->Notifications()[0].timeoutMilliseconds, 5000);
    ASSERT_TRUE(probe->Call(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate", true));
    EXPECT_TRUE(WaitFor([&] { return window.load()->visible(); }));

    // The desktop's volume goes the volume slider's way, into the settings file.
    EXPECT_EQ(RunTool({"playerctl", "--player=vantri", "volume", "0.3"}, &code), "");
    EXPECT_EQ(code, 0);
    const std::u16string settingsFolder = (scratch.path() / "config").u16string();
    EXPECT_TRUE(WaitFor([&] {
        MySettings saved(settingsFolder);
        return saved.volume > 0.29f && saved.volume < 0.31f;
    }));
    EXPECT_EQ(RunTool({"playerctl", "--player=vantri", "volume"}), "0.300000\n");

    // Quit ends the program as "Exit Vantri" does.
    EXPECT_TRUE(probe->Call("org.mpris.MediaPlayer2.vantri", "/org/mpris/MediaPlayer2",
                            "org.mpris.MediaPlayer2", "Quit"));
    EXPECT_TRUE(WaitFor([&] { return exitCode.load() == 0; }, std::chrono::seconds(20)));
    program.join();
}

} // namespace
