// The built program at twice the desktop's scale (VANTRI_SCALE=2) on the virtual display: its window is
// the saved logical rectangle times two on the screen, and what it saves after the display moves and
// resizes it is logical again, so the settings file means the same on a screen of another scale.

#include "ProgramProcess.h"

#include "app/MySettings.h"
#include "platform/Environment.h"
#include "platform/InstanceChannel.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// xdotool's "getwindowgeometry --shell" of `window`: X, Y, WIDTH and HEIGHT in device pixels.
std::map<std::string, int> Geometry(const std::string& window) {
    std::map<std::string, int> values;
    std::istringstream lines(testsupport::RunTool({"xdotool", "getwindowgeometry", "--shell", window}));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && line.substr(0, equals) != "SCREEN")
            values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
    }
    return values;
}

std::string Output(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScaledProgram, TheWindowIsTheLogicalRectangleTimesTheScaleAndIsSavedLogical) {
    if (!platform::GetEnv("DISPLAY"))
        GTEST_SKIP() << "no display";
    int code = 0;
    testsupport::RunTool({"xdotool", "version"}, &code);
    if (code != 0)
        GTEST_SKIP() << "no xdotool";
    testsupport::ScratchFolder scratch;
    fs::create_directories(scratch.path() / "run");
    fs::permissions(scratch.path() / "run", fs::perms::owner_all, fs::perm_options::replace);
    const fs::path config = scratch.path() / "config";
    fs::create_directories(config);
    {
        MySettings settings(config.u16string());
        settings.flags = SettingsFlag_NoUpdateCheck;
        settings.windowRect = {30, 40, 830, 640}; // 800 x 600, the smallest the window may be
        ASSERT_TRUE(settings.Save());
    }
    auto saved = [&] { return MySettings(config.u16string()).windowRect; };
    const std::map<std::string, std::optional<std::string>> environment{
        {"HOME", scratch.path().string()},
        {"XDG_RUNTIME_DIR", (scratch.path() / "run").string()},
        {"XDG_CONFIG_HOME", config.string()},
        {"XDG_DATA_HOME", (scratch.path() / "data").string()},
        {"VANTRI_DIRECTORY", "127.0.0.1:1"},
        {"VANTRI_UPDATE_SERVER", "127.0.0.1:1"},
        {"VANTRI_SCALE", "2"},
        {"SDL_AUDIODRIVER", "dummy"},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (scratch.path() / "no-bus").string()}};
    testsupport::ProgramProcess program({std::string(VANTRI_BINARY_DIR) + "/vantri"}, environment,
                                        (scratch.path() / "output.txt").string());

    std::string window;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            std::istringstream found(
                testsupport::RunTool({"xdotool", "search", "--pid", std::to_string(program.pid())}));
            std::string id;
            while (std::getline(found, id)) {
                if (!id.empty() && Geometry(id)["WIDTH"] > 0)
                    window = id;
            }
            return !window.empty();
        },
        20s))
        << "the program's window never appeared; it " << (program.ended() ? "ended" : "runs") << ", saying:\n"
        << Output(scratch.path() / "output.txt");
    // Twice the saved logical size on the screen, at twice its place.
    ASSERT_TRUE(testsupport::WaitFor([&] { return Geometry(window)["WIDTH"] == 1600; }, 10s));
    std::map<std::string, int> geometry = Geometry(window);
    EXPECT_EQ(geometry["HEIGHT"], 1200);
    EXPECT_EQ(geometry["X"], 60);
    EXPECT_EQ(geometry["Y"], 80);

    // The display resizes and moves it in device pixels; the settings keep logical pixels. A program still
    // settling its window (slow under the sanitizers) may set its own size over the first request, so
    // each is made again until the display shows it.
    EXPECT_TRUE(testsupport::WaitFor(
        [&, again = std::chrono::steady_clock::time_point()]() mutable {
            std::map<std::string, int> now = Geometry(window);
            if (now["WIDTH"] == 1700 && now["HEIGHT"] == 1300)
                return true;
            if (std::chrono::steady_clock::now() >= again) {
                testsupport::RunTool({"xdotool", "windowsize", window, "1700", "1300"});
                again = std::chrono::steady_clock::now() + 500ms;
            }
            return false;
        },
        10s));
    EXPECT_TRUE(testsupport::WaitFor(
        [&] {
            return saved() == MySettings::Rect{30, 40, 880, 690};
        },
        10s))
        << "saved " << saved().left << "," << saved().top << "," << saved().right << "," << saved().bottom;
    EXPECT_TRUE(testsupport::WaitFor(
        [&, again = std::chrono::steady_clock::time_point()]() mutable {
            std::map<std::string, int> now = Geometry(window);
            if (now["X"] == 200 && now["Y"] == 100)
                return true;
            if (std::chrono::steady_clock::now() >= again) {
                testsupport::RunTool({"xdotool", "windowmove", window, "200", "100"});
                again = std::chrono::steady_clock::now() + 500ms;
            }
            return false;
        },
        10s));
    EXPECT_TRUE(testsupport::WaitFor(
        [&] {
            return saved() == MySettings::Rect{100, 50, 950, 700};
        },
        10s))
        << "saved " << saved().left << "," << saved().top << "," << saved().right << "," << saved().bottom;

    testsupport::ScopedEnvironment runtime("XDG_RUNTIME_DIR", (scratch.path() / "run").string());
    ASSERT_TRUE(platform::InstanceChannel::Send("vantri", "kill"));
    EXPECT_EQ(program.WaitForEnd(20s), 0);
}

} // namespace
