// The built program on a Wayland compositor (weston) with no X display of its own: it runs on SDL's
// Wayland driver, its window shows the skin's pixels in the compositor's screenshot (twice as large on an
// output of scale 2, with its minimum size told in points), a second start hands its command line to
// the first, and it ends when the compositor goes. Weston's headless backend has no seat, and SDL 2.26's
// Wayland driver ends the process on a compositor without one, so these compositors run on weston's x11
// backend inside the test's virtual display, whose keyboard and pointer become the seat's; the headless
// backend checks that the program then keeps to X11 instead.

#include "ProgramProcess.h"

#include "app/MySettings.h"
#include "panels/PlayControlSkin.h"
#include "platform/ChildProcess.h"
#include "platform/Environment.h"
#include "platform/Resources.h"
#include "platform/TcpListener.h"
#include "platform/WindowMessages.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"
#include "support/ScratchFolder.h"
#include "ui/BitmapFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using namespace playskin;
namespace fs = std::filesystem;

std::string Output(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool HasTool(const std::vector<std::string>& probe) {
    int code = -1;
    testsupport::RunTool(probe, &code);
    return code == 0;
}

// 0x00RRGGBB pixels, top row first.
struct Shot {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

// The skin's unmuted speaker: drawn one to one from the skin, so its pixels are on the screen as they are in
// the bitmap (each one `scale` times wider and higher on a scaled output).
Shot MutePiece() {
    DecodedImage skin;
    Shot piece;
    if (!DecodeBmp(platform::FindResource(kResource), skin))
        return piece;
    piece.width = kMuteWidth;
    piece.height = kMuteHeight;
    for (std::int32_t y = 0; y < kMuteHeight; ++y)
        for (std::int32_t x = 0; x < kMuteWidth; ++x)
            piece.pixels.push_back(
                skin.pixels[static_cast<std::size_t>(kMuteY + y) * skin.width + kMuteX + x] & 0xFFFFFF);
    return piece;
}

// Where `piece`, each pixel scaled to `scale` by `scale` pixels, lies in `shot`; nothing when it does not.
std::optional<platform::Point> Find(const Shot& shot, const Shot& piece, int scale) {
    const std::int32_t w = piece.width * scale, h = piece.height * scale;
    for (std::int32_t top = 0; top + h <= shot.height; ++top)
        for (std::int32_t left = 0; left + w <= shot.width; ++left) {
            bool same = true;
            for (std::int32_t y = 0; same && y < h; ++y)
                for (std::int32_t x = 0; same && x < w; ++x)
                    same = shot.at(left + x, top + y) == piece.at(x / scale, y / scale);
            if (same)
                return platform::Point{left, top};
        }
    return std::nullopt;
}

// A weston of the test's own, its socket in `runtime`, ended with the object.
class Compositor {
public:
    Compositor(const fs::path& runtime, const std::string& socket, const std::vector<std::string>& options,
               const fs::path& log)
        : runtime_(runtime), socket_(socket), log_(log),
          process_(Arguments(socket, options), {{"XDG_RUNTIME_DIR", runtime.string()}}, log.string()) {}

    // Whether the compositor listens within ten seconds.
    bool Ready() {
        return testsupport::WaitFor(
                   [&] { return fs::exists(runtime_ / socket_) || process_.WaitForEnd(0ms); }, 10s) &&
               !process_.ended() && fs::exists(runtime_ / socket_);
    }
    std::string display() const { return (runtime_ / socket_).string(); }
    std::string log() const { return Output(log_); }

    // The whole output as weston's screenshooter takes it (the compositor runs with --debug for it).
    std::optional<Shot> Screenshot(const fs::path& folder) const {
        fs::create_directories(folder);
        for (const auto& entry : fs::directory_iterator(folder))
            fs::remove(entry.path());
        // The screenshooter writes into its working folder.
        const auto taken = platform::RunChildProcess(
            {"sh", "-c", "cd \"$0\" && exec timeout 10 weston-screenshooter", folder.string()},
            {{"WAYLAND_DISPLAY", display()}, {"XDG_RUNTIME_DIR", runtime_.string()}}, "/dev/null");
        if (!taken.started || taken.exitCode != 0)
            return std::nullopt;
        fs::path png;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".png")
                png = entry.path();
        if (png.empty())
            return std::nullopt;
        // The size from the image header, the pixels as ffmpeg decodes them.
        std::ifstream in(png, std::ios::binary);
        unsigned char header[24] = {};
        if (!in.read(reinterpret_cast<char*>(header), sizeof header))
            return std::nullopt;
        auto be32 = [&](int at) {
            return static_cast<std::int32_t>(header[at] << 24 | header[at + 1] << 16 | header[at + 2] << 8 |
                                             header[at + 3]);
        };
        Shot shot;
        shot.width = be32(16);
        shot.height = be32(20);
        const fs::path raw = folder / "shot.rgb";
        const auto decoded =
            platform::RunChildProcess({"ffmpeg", "-loglevel", "error", "-y", "-i", png.string(), "-f",
                                       "rawvideo", "-pix_fmt", "rgb24", raw.string()},
                                      {}, "/dev/null");
        if (!decoded.started || decoded.exitCode != 0 || shot.width <= 0 || shot.height <= 0)
            return std::nullopt;
        std::ifstream bytes(raw, std::ios::binary);
        std::vector<unsigned char> rgb(static_cast<std::size_t>(shot.width) * shot.height * 3);
        if (!bytes.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size())))
            return std::nullopt;
        shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
        for (std::size_t i = 0; i < shot.pixels.size(); ++i)
            shot.pixels[i] =
                static_cast<std::uint32_t>(rgb[i * 3] << 16 | rgb[i * 3 + 1] << 8 | rgb[i * 3 + 2]);
        return shot;
    }

private:
    static std::vector<std::string> Arguments(const std::string& socket,
                                              const std::vector<std::string>& options) {
        std::vector<std::string> arguments{"/usr/bin/weston", "--socket=" + socket, "--no-config",
                                           "--idle-time=0"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }

    fs::path runtime_;
    std::string socket_;
    fs::path log_;
    testsupport::ProgramProcess process_;
};

class WaylandProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/weston") || !HasTool({"sh", "-c", "command -v weston-screenshooter"}))
            GTEST_SKIP() << "no weston (Debian's weston package) to run the program on";
        if (!platform::GetEnv("DISPLAY"))
            GTEST_SKIP() << "no X display for weston's x11 backend, whose seat the program needs (weston's "
                            "headless backend has none)";
        if (!HasTool({"xdotool", "version"}) || !HasTool({"ffmpeg", "-version"}))
            GTEST_SKIP() << "no xdotool or ffmpeg";
        ASSERT_TRUE(silentServer_.Listen(false));
        runtime_ = scratch_.path() / "run";
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
        const fs::path config = scratch_.path() / "config";
        fs::create_directories(config);
        MySettings settings(config.u16string());
        settings.flags = SettingsFlag_NoUpdateCheck;
        settings.windowRect = {30, 40, 830, 640};
        ASSERT_TRUE(settings.Save());
    }

    // The program's environment: no X display, the compositor's socket, servers that accept and never
    // answer (so no error box takes the keyboard). Under the sanitizers the leak check is off here: the
    // libraries SDL loads for Wayland (libdecor's plugin, Mesa) leave allocations that are no longer
    // attributable once they are unloaded at exit; the program's own code has its leak check in every
    // window test on X11.
    std::map<std::string, std::optional<std::string>> ProgramEnvironment(const Compositor& compositor) const {
        const std::string server = "127.0.0.1:" + std::to_string(silentServer_.port());
        return {{"DISPLAY", std::nullopt},
                {"SDL_VIDEODRIVER", std::nullopt},
                {"WAYLAND_DISPLAY", compositor.display()},
                {"HOME", scratch_.path().string()},
                {"XDG_RUNTIME_DIR", runtime_.string()},
                {"XDG_CONFIG_HOME", (scratch_.path() / "config").string()},
                {"XDG_DATA_HOME", (scratch_.path() / "data").string()},
                {"VANTRI_DIRECTORY", server},
                {"VANTRI_UPDATE_SERVER", server},
                {"VANTRI_WEB_LINK_BASE", "http://links.test/"},
                {"VANTRI_SCALE", std::nullopt},
                {"GDK_SCALE", std::nullopt},
                {"SDL_AUDIODRIVER", "dummy"},
                {"ASAN_OPTIONS", "detect_leaks=0"},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (scratch_.path() / "no-bus").string()}};
    }

    // A compositor on the test's X display, `scale` device pixels a point.
    std::unique_ptr<Compositor> NestedCompositor(int scale) {
        return std::make_unique<Compositor>(
            runtime_, "vantri-test-wayland",
            std::vector<std::string>{"--backend=x11-backend.so", "--use-pixman", "--debug", "--width=1000",
                                     "--height=800", "--scale=" + std::to_string(scale)},
            scratch_.path() / "weston.txt");
    }

    // The program's window in the compositor's screenshot: where the speaker piece lies.
    std::optional<platform::Point> WaitForSkin(const Compositor& compositor, int scale, Shot& shot) {
        const Shot piece = MutePiece();
        std::optional<platform::Point> found;
        testsupport::WaitFor(
            [&] {
                if (auto taken = compositor.Screenshot(scratch_.path() / "shots")) {
                    shot = std::move(*taken);
                    found = Find(shot, piece, scale);
                }
                return found.has_value();
            },
            20s);
        return found;
    }

    // Ends the program as a second start with "kill" asks it to; both end at once.
    void HandOverKill(const Compositor& compositor, testsupport::ProgramProcess& program) {
        testsupport::ProgramProcess second({std::string(VANTRI_BINARY_DIR) + "/vantri", "kill"},
                                           ProgramEnvironment(compositor),
                                           (scratch_.path() / "second.txt").string());
        EXPECT_EQ(second.WaitForEnd(20s), 0) << Output(scratch_.path() / "second.txt");
        EXPECT_EQ(program.WaitForEnd(20s), 0) << Output(scratch_.path() / "output.txt");
    }

    std::string ProgramOutput() const { return Output(scratch_.path() / "output.txt"); }
    std::string OutputPath() const { return (scratch_.path() / "output.txt").string(); }

    testsupport::ScratchFolder scratch_;
    fs::path runtime_;
    platform::TcpListener silentServer_;
};

TEST_F(WaylandProgram, RunsOnTheCompositorShowingTheSkinAndHandsOverToTheFirstInstance) {
    auto compositor = NestedCompositor(1);
    ASSERT_TRUE(compositor->Ready()) << compositor->log();
    testsupport::ProgramProcess program({std::string(VANTRI_BINARY_DIR) + "/vantri"},
                                        ProgramEnvironment(*compositor), OutputPath());
    Shot shot;
    const std::optional<platform::Point> speaker = WaitForSkin(*compositor, 1, shot);
    ASSERT_TRUE(speaker) << "the skin never showed on the compositor; the program "
                         << (program.ended() ? "ended" : "runs") << ", saying:\n"
                         << ProgramOutput();
    // Nothing of it is on the X display: no X window belongs to it.
    EXPECT_EQ(testsupport::RunTool({"xdotool", "search", "--pid", std::to_string(program.pid())}), "");

    HandOverKill(*compositor, program);
}

// Not run by default: in about half the runs weston's x11 backend passes none of the virtual display's
// key presses to its seat (the program's window is active, and no key event reaches any client), so this
// check would fail at random. Run it by hand with --gtest_also_run_disabled_tests.
TEST_F(WaylandProgram, DISABLED_KeysFromTheSeatReachItAndCtrlCFillsTheClipboard) {
    auto compositor = NestedCompositor(1);
    ASSERT_TRUE(compositor->Ready()) << compositor->log();
    testsupport::ProgramProcess program({std::string(VANTRI_BINARY_DIR) + "/vantri"},
                                        ProgramEnvironment(*compositor), OutputPath());
    Shot shot;
    const std::optional<platform::Point> speaker = WaitForSkin(*compositor, 1, shot);
    ASSERT_TRUE(speaker) << "the skin never showed on the compositor; the program "
                         << (program.ended() ? "ended" : "runs") << ", saying:\n"
                         << ProgramOutput();
    // Nothing of it is on the X display: no X window belongs to it.
    EXPECT_EQ(testsupport::RunTool({"xdotool", "search", "--pid", std::to_string(program.pid())}), "");

    // Keys typed on the X display reach the compositor's seat and the program: "=" speeds playing up and
    // the speed left of the speaker reads otherwise, "-" brings it back.
    const Shot before = shot;
    const platform::Rect speed{std::max(speaker->x - 60, 0), speaker->y, speaker->x,
                               speaker->y + kMuteHeight};
    auto speedArea = [&](const Shot& s) {
        std::vector<std::uint32_t> area;
        for (std::int32_t y = speed.top; y < speed.bottom; ++y)
            for (std::int32_t x = speed.left; x < speed.right; ++x)
                area.push_back(s.at(x, y));
        return area;
    };
    std::string westonWindow =
        testsupport::RunTool({"xdotool", "search", "--onlyvisible", "--class", "Weston Compositor"});
    westonWindow = westonWindow.substr(0, westonWindow.find('\n'));
    ASSERT_FALSE(westonWindow.empty());
    // The X focus to weston's window makes the display's keyboard its seat's; a click on the status text,
    // left of the speed, gives the program's window the seat's keyboard.
    auto focus = [&] {
        testsupport::RunTool({"timeout", "5", "xdotool", "windowfocus", westonWindow});
        // The pointer goes to the status text before the click, so weston reads the motion first.
        testsupport::RunTool({"timeout", "5", "xdotool", "mousemove", "--window", westonWindow,
                              std::to_string(speaker->x - 200),
                              std::to_string(speaker->y + kMuteHeight / 2)});
        testsupport::RunTool({"timeout", "5", "xdotool", "click", "1"});
    };
    auto typeUntil = [&](const std::string& key, auto done) {
        // Up to five presses: the seat takes the display's keyboard once weston's window has the X focus.
        for (int attempt = 0; attempt < 5; ++attempt) {
            focus();
            testsupport::RunTool({"timeout", "5", "xdotool", "key", "--clearmodifiers", key});
            if (testsupport::WaitFor(
                    [&] {
                        const auto now = compositor->Screenshot(scratch_.path() / "shots");
                        return now && done(*now);
                    },
                    5s))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(typeUntil("equal", [&](const Shot& now) { return speedArea(now) != speedArea(before); }))
        << "the speed never changed";
    EXPECT_TRUE(typeUntil("minus", [&](const Shot& now) { return speedArea(now) == speedArea(before); }))
        << "the speed never came back";

    // Ctrl+C puts the position's web link on the compositor's clipboard, where another client reads it.
    if (HasTool({"sh", "-c", "command -v wl-paste"})) {
        std::string pasted;
        for (int attempt = 0; attempt < 5 && pasted.rfind("http://links.test/", 0) != 0; ++attempt) {
            focus();
            testsupport::RunTool({"timeout", "5", "xdotool", "key", "--clearmodifiers", "ctrl+c"});
            testsupport::WaitFor(
                [&] {
                    pasted = testsupport::RunTool({"env", "WAYLAND_DISPLAY=" + compositor->display(),
                                                   "XDG_RUNTIME_DIR=" + runtime_.string(), "timeout", "5",
                                                   "wl-paste", "--no-newline"});
                    return pasted.rfind("http://links.test/", 0) == 0;
                },
                3s);
        }
        EXPECT_EQ(pasted.rfind("http://links.test/", 0), 0u) << "the clipboard held: " << pasted;
    } else {
        std::cout << "[ NOTE     ] no wl-paste (wl-clipboard): the clipboard was not checked\n";
    }

    HandOverKill(*compositor, program);
}

TEST_F(WaylandProgram, OnAnOutputOfScaleTwoTheSkinIsTwiceAsLargeAndTheMinimumSizeIsInPoints) {
    auto compositor = NestedCompositor(2);
    ASSERT_TRUE(compositor->Ready()) << compositor->log();
    // The protocol's log shows what the compositor is told.
    auto environment = ProgramEnvironment(*compositor);
    environment["WAYLAND_DEBUG"] = "1";
    testsupport::ProgramProcess program({std::string(VANTRI_BINARY_DIR) + "/vantri"}, environment,
                                        OutputPath());
    Shot shot;
    EXPECT_TRUE(WaitForSkin(*compositor, 2, shot)) << "the skin never showed at twice its size; the program "
                                                   << (program.ended() ? "ended" : "runs") << ", saying:\n"
                                                   << ProgramOutput();
    EXPECT_EQ(shot.width, 2000);
    // The window's smallest size, 750 x 574 logical pixels, is 1500 x 1148 device pixels: 750 x 574 points.
    EXPECT_NE(ProgramOutput().find("set_min_size(750, 574)"), std::string::npos);
    HandOverKill(*compositor, program);
}

TEST_F(WaylandProgram, WhenTheCompositorGoesTheProgramEnds) {
    auto compositor = NestedCompositor(1);
    ASSERT_TRUE(compositor->Ready()) << compositor->log();
    testsupport::ProgramProcess program({std::string(VANTRI_BINARY_DIR) + "/vantri"},
                                        ProgramEnvironment(*compositor), OutputPath());
    Shot shot;
    ASSERT_TRUE(WaitForSkin(*compositor, 1, shot)) << ProgramOutput();
    compositor.reset();
    // As a program whose X server went, it ends, and says why.
    EXPECT_TRUE(program.WaitForEnd(20s).has_value()) << ProgramOutput();
    EXPECT_NE(ProgramOutput().find("connection to the Wayland compositor failed"), std::string::npos)
        << ProgramOutput();
}

TEST_F(WaylandProgram, OnACompositorWithoutASeatItKeepsToTheXDisplay) {
    Compositor compositor(runtime_, "vantri-test-headless",
                          {"--backend=headless-backend.so", "--width=1280", "--height=1024"},
                          scratch_.path() / "weston.txt");
    ASSERT_TRUE(compositor.Ready()) << compositor.log();
    auto environment = ProgramEnvironment(compositor);
    environment["DISPLAY"] = *platform::GetEnv("DISPLAY");
    testsupport::ProgramProcess program({std::string(VANTRI_BINARY_DIR) + "/vantri"}, environment,
                                        OutputPath());
    EXPECT_TRUE(testsupport::WaitFor(
                    [&] {
                        return !testsupport::RunTool({"xdotool", "search", "--onlyvisible", "--pid",
                                                      std::to_string(program.pid())})
                                    .empty() ||
                               program.WaitForEnd(0ms);
                    },
                    20s) &&
                !program.ended())
        << "no window on the X display; the program said:\n"
        << ProgramOutput();
    EXPECT_NE(ProgramOutput().find("offers no seat"), std::string::npos) << ProgramOutput();
    HandOverKill(compositor, program);
}

} // namespace
