#pragma once
// A real window on the desktop (Xvfb in CI): opening the display, pumping until the screen shows
// something, and input through xdotool.

#include "platform/ChildProcess.h"
#include "platform/Window.h"
#include "support/Deadline.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace desktoptest {

// The display's window system. The X server resets itself when its last client leaves and refuses
// connections for that moment, which a test started just then meets when the tests before it on the same
// display have ended: with a display named, it waits up to ten seconds for the server to take it.
inline std::unique_ptr<platform::WindowSystem> OpenDisplay() {
    std::unique_ptr<platform::WindowSystem> system = platform::OpenDesktopWindowSystem();
    if (system || !std::getenv("DISPLAY"))
        return system;
    testsupport::WaitFor(
        [&] {
            system = platform::OpenDesktopWindowSystem();
            return system != nullptr;
        },
        std::chrono::seconds(10));
    return system;
}

// Pumps the loop until `check` holds for what the window shows, or 15 seconds pass.
template <typename Check>
bool ScreenShows(platform::WindowSystem& system, platform::Window& window, Check check) {
    std::vector<std::uint32_t> screen;
    std::int32_t w = 0, h = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
        if (!window.ReadScreen(screen, w, h) || screen.empty())
            continue;
        auto at = [&](int x, int y) -> std::uint32_t {
            if (x < 0 || y < 0 || x >= w || y >= h)
                return 0xFF000000u;
            return screen[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF;
        };
        if (check(at))
            return true;
    }
    return false;
}

// Pumps the loop until `done` holds or `seconds` pass.
template <typename Done> bool PumpUntil(platform::WindowSystem& system, Done done, int seconds = 15) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
    }
    return done();
}

inline bool Xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto result = platform::RunChildProcess(command, {}, "/dev/null");
    return result.started && result.exitCode == 0;
}

// Sends input with xdotool until `done` holds, at most five times: other tests on the same display may
// take the keyboard focus or cover the window for a moment. Before each try `prepare` runs (focus the
// menu again).
template <typename Prepare, typename Done>
bool SendUntil(platform::WindowSystem& system, const std::vector<std::string>& input, Prepare prepare,
               Done done) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        prepare();
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
        if (!Xdotool(input))
            return false;
        if (PumpUntil(system, done, 5))
            return true;
    }
    return false;
}

} // namespace desktoptest
